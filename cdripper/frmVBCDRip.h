// The CD window ("Brisko CD Ripper"): plays audio CDs through the "cd" alias of the media control
// interface and lists the selected drive's tracks, from the ripping library, to tick and rip.
#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "cdripper/CdWindowLock.h"
#include "cdripper/cCDRip.h"
#include "cdripper/cToc.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class frmRipDialog;
namespace brisko::console {
class DriveBox;
class FolderList;
}  // namespace brisko::console

class frmVBCDRip : public QWidget {
    Q_OBJECT
public:
    explicit frmVBCDRip(QWidget* parent = nullptr);
    ~frmVBCDRip() override;

    // The start-up sequence of the window's first showing. Returns false when the window must
    // not open because another running copy of the program has its CD window open (the operator
    // has been told); the caller then discards it.
    bool Form_Load();

    QComboBox* cboDrives;
    QTreeWidget* lvwTracks;
    QPushButton* play;
    QPushButton* pause;
    QPushButton* stopbtn;
    QPushButton* btrack;
    QPushButton* ftrack;
    QPushButton* rew;
    QPushButton* ff;
    QPushButton* eject;
    QLineEdit* timeWindow;
    QLabel* tracktime;
    QLabel* totalplay;
    QPushButton* cmdRip;
    QPushButton* cmdConfigure;
    QPushButton* cmdRefresh;
    QPushButton* cmdExit;
    brisko::console::DriveBox* Drive1;
    brisko::console::FolderList* Dir1;
    QFrame* pnlCommands;
    QTimer* Timer1;

    // State read by tests and the rip.
    bool playing() const { return playing_; }
    bool loaded() const { return loaded_; }
    int trackCount() const { return trackCount_; }
    int currentTrack() const { return currentTrack_; }
    const std::optional<brisko::cdripper::cToc>& toc() const { return toc_; }
    brisko::cdripper::cCDRip& library() { return library_; }
    // The rip dialog while a rip runs (null otherwise).
    frmRipDialog* ripDialog() const { return ripDialog_; }

    // The status update of the timer tick.
    void StatusUpdate();
    void LoadTracks();
    // The library drive (1-based) the "cd" device plays; 0 when it is not open.
    int cdDrive() const { return cdDrive_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void LoadDrives();
    void cboDrives_Click();
    void OpenCdDrive(int index);
    bool HasAudioTrack();
    bool SendCdCommand(const QString& command, bool showErrors);
    QString query(const QString& command) const;

    void play_Click();
    void pause_Click();
    void stopbtn_Click();
    void eject_Click();
    void ftrack_Click();
    void btrack_Click();
    void ff_Click();
    void rew_Click();
    void step(int direction);
    void lvwTracks_Click();
    void cmdRip_Click();
    void cmdConfigure_Click();
    void cmdExit_Click();
    void Drive1_Change();
    void setPlayerEnabled(bool enabled);
    void ForgetDisc();

    brisko::cdripper::cCDRip library_;
    std::optional<brisko::cdripper::cToc> toc_;
    bool playing_ = false;
    // The track the as-run log has on air (0 = none); see logCdState.
    int loggedTrack_ = 0;
    void logCdState();
    bool loaded_ = false;
    int trackCount_ = 0;
    int currentTrack_ = 0;
    int currentMinute_ = 0;
    int currentSecond_ = 0;
    std::vector<QString> trackLengths_;  // 1-based; slot 0 unused
    int stepSeconds_ = 5;
    QString lastCommand_;
    unsigned lastMciError_ = 0;
    frmRipDialog* ripDialog_ = nullptr;
    brisko::cdripper::CdWindowLock cdLock_{brisko::cdripper::defaultLockFolder()};
    int cdDrive_ = 0;
    int loadGeneration_ = 0;  // counts LoadTracks runs; an older run that waited stops
};

// Reads the leading whole number of TEXT (after blanks), 0 when there is none.
int leadingNumber(const QString& text);
