// The encoder window: pick a 16-bit stereo WAV and a new MP3 name, choose one of sixteen presets,
// encode with a progress bar and a Cancel button. Unloaded when closed; starts afresh each time.
#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "encoder/ProgressBarDrawing.h"
#include "encoder/cLameEncoder.h"

// A picture surface: shows the bitmap it was given, whole, whether enabled or not (the window
// disables it while it lets input through).
class PictureBox : public QFrame {
    Q_OBJECT
public:
    using QFrame::QFrame;
    void setPixmap(const QPixmap& pixmap);
    const QPixmap& pixmap() const { return pixmap_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Enabling or disabling changes nothing on screen: no repaint (it happens at every chunk).
    void changeEvent(QEvent* event) override;

private:
    QPixmap pixmap_;
};

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmVBLame : public QWidget {
    Q_OBJECT
public:
    explicit frmVBLame(QWidget* parent = nullptr);
    ~frmVBLame() override;

    // Shows the window, loading it first when it is not loaded.
    static frmVBLame* showWindow();

    QLabel* lblSourceFile = nullptr;
    QLineEdit* txtSourceFile = nullptr;
    QPushButton* cmdPickSource = nullptr;
    QLabel* lblMp3File = nullptr;
    QLineEdit* txtOutputMp3File = nullptr;
    QPushButton* cmdPickMp3File = nullptr;
    QLabel* lblPreset = nullptr;
    QComboBox* cboOption = nullptr;
    QLabel* lblEncode = nullptr;
    PictureBox* picEncode = nullptr;  // the surface the progress bar is copied onto
    QPushButton* cmdEncode = nullptr;

    std::unique_ptr<cLameEncoder> m_cEncoder;
    ProgressBarDrawing progressBar;
    bool Cancelled = false;

    void cmdPickSource_Click();
    void cmdPickMp3File_Click();
    void cmdEncode_Click();
    void cboOption_Click();
    void m_cEncoder_Progress(int64_t done, int64_t total, bool& cancel);

    // The name check: true when both boxes name usable files (and the encoder has them). During a
    // run it only notes the edit; the check runs when the run is over.
    bool checkNames();
    bool encoding() const { return encoding_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void drawProgress();

    // How often a run lets pending input through, at most.
    static constexpr qint64 kInputIntervalMs = 10;

    bool encoding_ = false;
    bool namesEditedDuringRun_ = false;
    bool closeAfterRun_ = false;
    QElapsedTimer lastInput_;  // when the run last let input through
    QString drawnText_;
    int drawnFill_ = -1;
};
