// frmRipDialog: the rip loop of the CD window's Rip button, one track at a time, yielding to the
// user interface after every chunk so that Cancel is seen.
#include "cdripper/frmRipDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "cdripper/TrackRip.h"
#include "media/MediaChannel.h"
#include "ui/Prompt.h"

using brisko::cdripper::cTocEntry;

frmRipDialog::frmRipDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmRipDialog"));
    setWindowTitle(QStringLiteral("CD Rip in Progress"));
    prgSelected = new QProgressBar(this);
    prgSelected->setObjectName(QStringLiteral("prgSelected"));
    prgTrack = new QProgressBar(this);
    prgTrack->setObjectName(QStringLiteral("prgTrack"));
    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addWidget(prgTrack);
    layout->addWidget(prgSelected);
    layout->addWidget(cmdCancel, 0, Qt::AlignRight);
    resize(480, 150);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmRipDialog::setOutputDir(const QString& dir) {
    outputDir_ = dir;
    if (!outputDir_.endsWith(QLatin1Char('/'))) outputDir_ += QLatin1Char('/');
}

void frmRipDialog::setRipTrack(int lIndex, bool) {
    if (std::find(tracks_.begin(), tracks_.end(), lIndex) == tracks_.end()) tracks_.push_back(lIndex);
}

void frmRipDialog::showEvent(QShowEvent* event) {
    if (!loaded_) Form_Load();
    QDialog::showEvent(event);
}

void frmRipDialog::Form_Load() {
    loaded_ = true;
    prgSelected->setRange(0, static_cast<int>(tracks_.size()));
    prgSelected->setValue(0);
    prgTrack->setRange(0, 100);
    prgTrack->setValue(0);
    lblInfo->setText(QStringLiteral("Preparing to rip %1tracks...").arg(tracks_.size()));
}

void frmRipDialog::RipSelected() {
    ripping_ = true;
    try {
        for (std::size_t i = 0; i < tracks_.size(); ++i) {
            if (!cancelled_) ripTrack(tracks_[i]);
            prgSelected->setValue(static_cast<int>(i) + 1);
        }
    } catch (...) {
        ripping_ = false;
        throw;
    }
    ripping_ = false;
    close();
}

void frmRipDialog::ripTrack(int n) {
    prgTrack->setValue(0);
    const QString file = outputDir_ + (rowText_ ? rowText_(n) : QString()) + QStringLiteral(".wav");
    if (brisko::FileHasContent(file.toStdString()) == 1) {
        const auto answer = brisko::ui::message(
            this, {QStringLiteral("The file %1 already exists. Overwrite? ").arg(file), QStringLiteral("Brisko"),
                   brisko::ui::PromptButtons::YesNo, brisko::ui::PromptIcon::Question});
        if (answer != brisko::ui::PromptAnswer::Yes) return;
    }
    const cTocEntry& entry = toc_.Entry(n);
    lblInfo->setText(QStringLiteral("Ripping track %1 (%2 of %3) to %4...")
                         .arg(entry.TrackNumber())
                         .arg(prgSelected->value() + 1)
                         .arg(prgSelected->maximum())
                         .arg(file));
    brisko::cdripper::ripTrackToWav(entry, file.toStdString(), [this](int percent) {
        prgTrack->setValue(percent);
        QApplication::processEvents();  // where Cancel is seen
        return !cancelled_;
    });
    if (cancelled_) {
        lblInfo->setText(QStringLiteral("Cancelled"));
        QFile::remove(file);
        ripping_ = false;
    } else {
        lblInfo->setText(QStringLiteral("Completed track %1").arg(entry.TrackNumber()));
    }
}

void frmRipDialog::cmdCancel_Click() {
    if (!ripping_) {
        close();
        return;
    }
    cancelled_ = true;
}

void frmRipDialog::closeEvent(QCloseEvent* event) {
    // Closing while a rip runs is a Cancel; the dialog stays until the rip has stopped.
    if (ripping_) {
        cancelled_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
