// The Set Index dialog.
#include "console/frmSetIndex.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdint>
#include <limits>

#include "console/DeckMath.h"
#include "ui/AccessibleNames.h"

frmSetIndex::frmSetIndex(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Set Index"));
    Label1 = new QLabel(QStringLiteral("Set Index to what slot"), this);
    Label2 = new QLabel(QStringLiteral("Set this number to the deck number you want to start the "
                                       "next time the SPACE bar is pressed"),
                        this);
    Label2->setWordWrap(true);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    brisko::ui::nameControl(Text1, QStringLiteral("Deck the Space bar starts next"));
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(Text1);
    layout->addWidget(Command1, 0, Qt::AlignRight);
}

void frmSetIndex::Command1_Click() { accept(); }

std::optional<int> frmSetIndex::chosenIndex() const {
    // The index is a whole number (halves to the even neighbour) that fits a 16-bit index.
    const auto index =
        brisko::console::roundToInt32(brisko::console::leadingValue(Text1->text()) - 1.0);
    if (!index || *index < std::numeric_limits<int16_t>::min() ||
        *index > std::numeric_limits<int16_t>::max())
        return std::nullopt;
    return *index;
}
