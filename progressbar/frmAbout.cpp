// The About window: the library's title and own version, what the control does, and a button
// that starts the machine's system-information tool.
#include "frmAbout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "LumaProgressBar.h"
#include "SystemInfoTool.h"

namespace lumabar {

QString frmAbout::versionText() {
    return QStringLiteral("Version %1.%2.%3")
        .arg(LumaProgressBar::versionMajor())
        .arg(LumaProgressBar::versionMinor())
        .arg(LumaProgressBar::versionRevision());
}

QString frmAbout::description() {
    return QStringLiteral(
        "This control displays a Setup-like progress bar. The percent completed is printed in the "
        "middle of "
        "the bar and it changes color as the status bar passes over it.");
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + title());
    setModal(true);

    lblTitle = new QLabel(title(), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    lblTitle->setFont(big);
    lblVersion = new QLabel(versionText(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription = new QLabel(description(), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();
    auto* texts = new QVBoxLayout;
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addWidget(lblDescription);
    texts->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(texts, 1);
    layout->addLayout(buttons);
    resize(420, 170);
}

void frmAbout::cmdOK_Click() {
    accept();
}

void frmAbout::cmdSysInfo_Click() {
    if (!SystemInfoTool::start())
        QMessageBox::information(this, windowTitle(), SystemInfoTool::unavailableMessage());
}

}  // namespace lumabar
