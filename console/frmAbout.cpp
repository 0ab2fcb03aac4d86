// The About box.
#include "console/frmAbout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Brisko"));
    lblTitle = new QLabel(QStringLiteral("Brisko"), this);
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblTitle->setFont(big);
    lblVersion = new QLabel(QStringLiteral("Version 0.1"), this);
    lblDescription = new QLabel(
        QStringLiteral("A playout program for radio: twelve decks fired by mouse or keyboard, "
                       "a clip player, a CD player and ripper, and a WAV to MP3 encoder."),
        this);
    lblDescription->setWordWrap(true);
    // The description is text only: clicking it does nothing.
    lblDescription->setTextInteractionFlags(Qt::NoTextInteraction);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addWidget(lblVersion);
    layout->addWidget(lblDescription);
    layout->addLayout(buttons);
}
