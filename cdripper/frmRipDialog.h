// The rip progress dialog ("CD Rip in Progress"): rips the chosen tracks one after another into
// WAV files with an overall and a per-track bar, asks before overwriting, and stops on Cancel.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "cdripper/cToc.h"

class QLabel;
class QProgressBar;
class QPushButton;

class frmRipDialog : public QDialog {
    Q_OBJECT
public:
    explicit frmRipDialog(QWidget* parent = nullptr);

    // The folder the files go to; a trailing "/" is added when missing.
    void setOutputDir(const QString& dir);
    void setRipTOC(const brisko::cdripper::cToc& toc) { toc_ = toc; }
    // Adds TOC entry LINDEX (1-based) unless it is already listed; the value is not consulted.
    void setRipTrack(int lIndex, bool value = true);
    // The CD window's row text of entry N: the file name without ".wav".
    void setRowText(std::function<QString(int)> rowText) { rowText_ = std::move(rowText); }

    // Runs the whole rip and closes the dialog. Numbered errors propagate (the rip ends).
    void RipSelected();

    bool ripping() const { return ripping_; }
    bool cancelled() const { return cancelled_; }
    const std::vector<int>& tracks() const { return tracks_; }

    QProgressBar* prgSelected;
    QProgressBar* prgTrack;
    QLabel* lblInfo;
    QPushButton* cmdCancel;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void cmdCancel_Click();
    void ripTrack(int n);

    brisko::cdripper::cToc toc_;
    std::vector<int> tracks_;
    QString outputDir_;
    std::function<QString(int)> rowText_;
    bool ripping_ = false;
    bool cancelled_ = false;
    bool loaded_ = false;
};
