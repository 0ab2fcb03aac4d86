// The About window of the progress-bar library: title, version, description, OK and
// "&System Info...".
#pragma once

#include <QDialog>

#include "LumabarExport.h"

class QLabel;
class QPushButton;

namespace lumabar {

class LUMABAR_EXPORT frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    static QString title() { return QStringLiteral("Luma ProgressBar"); }
    static QString versionText();
    static QString description();

private:
    void cmdOK_Click();
    void cmdSysInfo_Click();

    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;
};

}  // namespace lumabar
