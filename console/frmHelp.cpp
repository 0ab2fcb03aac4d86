// The Help window's texts and its one button.
#include "console/frmHelp.h"

#include "ui/AccessibleNames.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmHelp::frmHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Help"));
    static const char* const kLines[9] = {
        "Shift and function key plays deck again pauses the deck",
        "Control and function key stops the deck",
        "ALT and function key sets focus to the deck and reads time and clip name.",
        "Shift and control sets the deck segue check box, again unsets it",
        "ALT Shift and Function key fades the clip out",
        "CTRL ALT and Function key sets focus to time remaining",
        "Function keys reduce volume of clip and number keys increase volume. Use - and = for "
        "decks 11 and 12.",
        "Press the T Key to duck the audio on the currently palying deck, press again to return to "
        "previous volume",
        "",
    };
    QLineEdit** boxSlots[9] = {&Text1, &Text2, &Text3, &Text4, &Text5,
                            &Text6, &Text7, &Text8, &Text9};
    auto* layout = new QVBoxLayout(this);
    for (int k = 0; k < 9; ++k) {
        auto* box = new QLineEdit(QString::fromUtf8(kLines[k]), this);
        box->setObjectName(QStringLiteral("Text%1").arg(k + 1));
        box->setReadOnly(true);
        brisko::ui::nameControl(box, QStringLiteral("Help line %1").arg(k + 1));
        box->setCursorPosition(0);
        box->setMinimumWidth(box->fontMetrics().horizontalAdvance(box->text()) + 16);
        layout->addWidget(box);
        *boxSlots[k] = box;
    }
    txtPreListen = new QLineEdit(
        QStringLiteral("With a cue output: keypad Enter pre-listens the file under the cursor there, "
                       "again stops it; right-click a file or a deck for Pre-listen"),
        this);
    txtPreListen->setObjectName(QStringLiteral("txtPreListen"));
    txtPreListen->setReadOnly(true);
    txtPreListen->setCursorPosition(0);
    txtPreListen->setMinimumWidth(txtPreListen->fontMetrics().horizontalAdvance(txtPreListen->text()) + 16);
    brisko::ui::nameControl(txtPreListen, QStringLiteral("Help line, pre-listen keys"));
    layout->addWidget(txtPreListen);
    // The readout keys, in a box of their own below the keyboard lines.
    readoutKeys = new QLineEdit(
        QStringLiteral("Control ALT and R reads the time left, E the time played, H the time to the "
                       "top of the hour, N the next deck"),
        this);
    readoutKeys->setObjectName(QStringLiteral("readoutKeys"));
    readoutKeys->setReadOnly(true);
    readoutKeys->setCursorPosition(0);
    readoutKeys->setMinimumWidth(readoutKeys->fontMetrics().horizontalAdvance(readoutKeys->text()) + 16);
    brisko::ui::nameControl(readoutKeys, QStringLiteral("Help line, readout keys"));
    layout->addWidget(readoutKeys);
    Command1 = new QPushButton(QStringLiteral("E&xit Window"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    layout->addWidget(Command1, 0, Qt::AlignRight);
}

void frmHelp::Command1_Click() { hide(); }
