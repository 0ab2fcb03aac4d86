// frmVBLame: the handlers follow the window's algorithm step by step; the encoding itself is
// cLameEncoder's, which calls back after every chunk; the window lets input (Cancel) through from
// there every few milliseconds.
#include "encoder/frmVBLame.h"

#include "ui/AccessibleNames.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <filesystem>
#include <system_error>
#include <utility>

#include "encoder/cWavReader.h"
#include "platform/common/NumberedError.h"
#include "ui/Prompt.h"

namespace {

const QString kCaption = QStringLiteral("Brisko LAME MP3 Encoder");
const QString kEncode = QStringLiteral("&Encode");
const QString kCancel = QStringLiteral("Cancel");

struct Preset {
    const char* caption;
    int code;
};
const Preset kPresets[16] = {
    {"(Defaults)", -1},
    {"Voice Quality (VBR 32kHz, 100-140kbps)", 3},
    {"R3 Mix Quality (VBR 44.1kHz, 190-200kbps)", 4},
    {"Standard (VBR 44.1kHz, 170-210kbps)", 6},
    {"Standard Fast (VBR 44.1kHz, 170-210kbps)", 7},
    {"Extreme (VBR 44.1kHz 200-240kbps)", 8},
    {"Extreme Fast (VBR 44.1kHz 200-240kbps)", 9},
    {"Insane (CBR 44.1kHz 320kbps)", 10},
    {"Normal Quality (CBR 44.1kHz, 128kbps)", 0},
    {"Low Quality (CBR 44.1kHz, 128kbps)", 1},
    {"Medium Quality (CBR 44.1kHz, 128kbps)", 13},
    {"Medium Fast (CBR 44.1kHz, 128kbps)", 14},
    {"High Quality (CBR 44.1kHz, 128kbps)", 2},
    {"Very High Quality (CBR 44.1kHz, 128kbps, very slow)", 5},
    {"ABR (Must set bit rate)", 11},
    {"CBR (Must set bit rate)", 12},
};

QPointer<frmVBLame>& loaded() {
    static QPointer<frmVBLame> window;
    return window;
}

void removeQuietly(const QString& name) {
    if (name.isEmpty()) return;
    std::error_code ec;
    std::filesystem::remove(name.toStdString(), ec);
}

}  // namespace

void PictureBox::setPixmap(const QPixmap& pixmap) {
    pixmap_ = pixmap;
    update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (pixmap_.isNull()) return;
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.drawPixmap(area.left() + (area.width() - pixmap_.width()) / 2,
                       area.top() + (area.height() - pixmap_.height()) / 2, pixmap_);
}

void PictureBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) return;
    QFrame::changeEvent(event);
}

frmVBLame* frmVBLame::showWindow() {
    if (!loaded()) loaded() = new frmVBLame;
    loaded()->show();
    loaded()->raise();
    loaded()->activateWindow();
    return loaded();
}

frmVBLame::frmVBLame(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kCaption);

    lblSourceFile = new QLabel(QStringLiteral("Source Wave File:"), this);
    txtSourceFile = new QLineEdit(this);
    cmdPickSource = new QPushButton(QStringLiteral("Browse"), this);
    brisko::ui::nameControl(txtSourceFile, QStringLiteral("Source WAV file"));
    brisko::ui::nameControl(cmdPickSource, QStringLiteral("Choose the WAV file"));
    lblMp3File = new QLabel(QStringLiteral("Output Mp3 File:"), this);
    txtOutputMp3File = new QLineEdit(this);
    cmdPickMp3File = new QPushButton(QStringLiteral("Browse"), this);
    brisko::ui::nameControl(txtOutputMp3File, QStringLiteral("Output MP3 file"));
    brisko::ui::nameControl(cmdPickMp3File, QStringLiteral("Choose the MP3 file"));
    lblPreset = new QLabel(QStringLiteral("Encoding Option:"), this);
    cboOption = new QComboBox(this);
    brisko::ui::nameControl(cboOption, QStringLiteral("Encoding option"));
    lblEncode = new QLabel(QStringLiteral(" Encode:"), this);
    picEncode = new PictureBox(this);
    picEncode->setFrameShape(QFrame::StyledPanel);
    picEncode->setFrameShadow(QFrame::Sunken);
    picEncode->setMinimumHeight(24);
    cmdEncode = new QPushButton(kEncode, this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblSourceFile, 0, 0);
    grid->addWidget(txtSourceFile, 0, 1);
    grid->addWidget(cmdPickSource, 0, 2);
    grid->addWidget(lblMp3File, 1, 0);
    grid->addWidget(txtOutputMp3File, 1, 1);
    grid->addWidget(cmdPickMp3File, 1, 2);
    grid->addWidget(lblPreset, 2, 0);
    grid->addWidget(cboOption, 2, 1, 1, 2);
    grid->addWidget(lblEncode, 3, 0);
    grid->addWidget(picEncode, 3, 1);
    grid->addWidget(cmdEncode, 3, 2);
    grid->setColumnStretch(1, 1);
    resize(560, 170);

    connect(cmdPickSource, &QPushButton::clicked, this, [this] { cmdPickSource_Click(); });
    connect(cmdPickMp3File, &QPushButton::clicked, this, [this] { cmdPickMp3File_Click(); });
    connect(cmdEncode, &QPushButton::clicked, this, [this] { cmdEncode_Click(); });
    connect(txtSourceFile, &QLineEdit::textChanged, this, [this] { checkNames(); });
    connect(txtOutputMp3File, &QLineEdit::textChanged, this, [this] { checkNames(); });

    // Load: the encoder, the bar (window and highlight colours are its defaults), the presets.
    m_cEncoder = std::make_unique<cLameEncoder>();
    m_cEncoder->Progress = [this](int64_t done, int64_t total, bool& cancel) { m_cEncoder_Progress(done, total, cancel); };
    progressBar.ShowText = true;
    for (const Preset& p : kPresets) cboOption->addItem(QString::fromUtf8(p.caption), p.code);
    connect(cboOption, &QComboBox::currentIndexChanged, this, [this] { cboOption_Click(); });
    cboOption->setCurrentIndex(3);
    checkNames();
}

frmVBLame::~frmVBLame() = default;

bool frmVBLame::checkNames() {
    // During a run the run's own output exists, so the check would grey out Cancel: it waits
    // until the run is over.
    if (encoding_) {
        namesEditedDuringRun_ = true;
        return cmdEncode->isEnabled();
    }
    const QString source = txtSourceFile->text();
    const QFileInfo sourceInfo(source);
    const bool sourceValid = !source.isEmpty() && sourceInfo.exists() && !sourceInfo.isDir();

    const QString output = txtOutputMp3File->text();
    const qsizetype slash = output.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash >= 0 ? output.left(slash) : QString();
    const QString name = slash >= 0 ? output.mid(slash + 1) : QString();
    const bool outputValid = !output.isEmpty() && !QFileInfo::exists(output) && slash >= 0 && !folder.isEmpty() &&
                             QFileInfo(folder).isDir() && name.size() >= 3;

    if (sourceValid && outputValid) {
        m_cEncoder->setWavFile(source.toStdString());
        m_cEncoder->setMp3File(output.toStdString());
        // The encoder takes the samples at the rate it is told: a 48 kHz file encoded as 44.1 kHz
        // would play slow and low. Tell it the file's own rate (a file that cannot be read keeps
        // the current rate; Encode reports what is wrong with it).
        try {
            cWavReader probe;
            if (probe.OpenFile(source.toStdString()) && probe.sampleRate() > 0) m_cEncoder->setSampleRate(probe.sampleRate());
        } catch (const brisko::NumberedError&) {
        }
    }
    cmdEncode->setEnabled(sourceValid && outputValid);
    return sourceValid && outputValid;
}

void frmVBLame::cboOption_Click() {
    if (cboOption->currentIndex() < 0) return;
    m_cEncoder->setEncodingPreset(cboOption->currentData().toInt());
}

// Linux names are case-sensitive: the filters list both spellings of the extension.
void frmVBLame::cmdPickSource_Click() {
    const QString name = brisko::ui::chooseOpenFile(this, QStringLiteral("Open"), QString(),
                                                    QStringLiteral("Wave Files (*.WAV *.wav);;All Files (*)"));
    if (name.isEmpty()) return;
    txtSourceFile->setText(name);
    checkNames();
}

void frmVBLame::cmdPickMp3File_Click() {
    QString name = brisko::ui::chooseSaveFile(this, QStringLiteral("Save As"), QString(),
                                              QStringLiteral("MP3 Files (*.MP3 *.mp3);;All Files (*)"));
    if (name.isEmpty()) return;
    if (QFileInfo(name).suffix().isEmpty()) {
        // The default extension; the dialog asked about the name without it, so ask again.
        name += QStringLiteral(".MP3");
        if (QFileInfo::exists(name) &&
            brisko::ui::message(this, {QFileInfo(name).fileName() + QStringLiteral(" already exists.\nDo you want to replace it?"),
                                       QStringLiteral("Save As"), brisko::ui::PromptButtons::YesNo,
                                       brisko::ui::PromptIcon::Warning}) != brisko::ui::PromptAnswer::Yes)
            return;
    }
    // The file chosen is replaced, but never the one a run is writing now: that would lose the
    // run's sound while it still reports success.
    const bool runsOutput =
        encoding_ && QFileInfo(name).absoluteFilePath() ==
                         QFileInfo(QString::fromStdString(m_cEncoder->Mp3File())).absoluteFilePath();
    if (!runsOutput) removeQuietly(name);
    txtOutputMp3File->setText(name);
    checkNames();
}

void frmVBLame::cmdEncode_Click() {
    if (cmdEncode->text() != kCancel) {
        Cancelled = false;
        cmdEncode->setText(kCancel);
        removeQuietly(QString::fromStdString(m_cEncoder->Mp3File()));
        encoding_ = true;
        namesEditedDuringRun_ = false;
        lastInput_.invalidate();  // the first chunk lets input through
        try {
            m_cEncoder->Encode();
        } catch (const brisko::NumberedError& e) {
            brisko::ui::message(this, {QString::fromStdString(e.description()), kCaption, brisko::ui::PromptButtons::Ok,
                                       brisko::ui::PromptIcon::Critical});
        }
        encoding_ = false;
        cmdEncode->setText(kEncode);
        if (std::exchange(namesEditedDuringRun_, false)) checkNames();
    } else {
        Cancelled = true;
    }
    removeQuietly(QDir::current().filePath(QStringLiteral("temp-save.wav")));
    if (closeAfterRun_ && !encoding_) {
        closeAfterRun_ = false;
        close();
    }
}

void frmVBLame::m_cEncoder_Progress(int64_t done, int64_t total, bool& cancel) {
    cancel = Cancelled;
    if (Cancelled) {
        progressBar.Text = QStringLiteral("Encoding Cancelled");
        progressBar.Max = static_cast<double>(total);
        progressBar.Value = static_cast<double>(total);
    } else {
        progressBar.Max = static_cast<double>(total);
        progressBar.Value = static_cast<double>(done);
        // Pending input goes through every few milliseconds, not after every chunk: a chunk takes
        // well under a millisecond, and handling events between every two of them slowed the
        // encoder itself down to half its speed.
        if (!lastInput_.isValid() || lastInput_.hasExpired(kInputIntervalMs)) {
            picEncode->setEnabled(false);
            QApplication::processEvents();
            picEncode->setEnabled(true);
            lastInput_.start();
        }
        progressBar.Text = QStringLiteral("Encoding ") + QString::number(progressBar.Percent(), 'f', 1) + QLatin1Char('%');
    }
    drawProgress();
}

// Draws the bar onto picEncode, filling its client area less a small margin. A chunk that changes
// neither the text nor a pixel of the bar is not drawn again.
void frmVBLame::drawProgress() {
    const int margin = 2;
    const QSize size = picEncode->contentsRect().size() - QSize(2 * margin, 2 * margin);
    const int fill = static_cast<int>(size.width() * progressBar.Percent() / 100.0 + 0.5);
    if (fill == drawnFill_ && progressBar.Text == drawnText_ && picEncode->pixmap().size() == size) return;
    drawnFill_ = fill;
    drawnText_ = progressBar.Text;
    picEncode->setPixmap(progressBar.render(size));
}

// Closing during a run would unload the window under its own running handler: the run is
// cancelled first and the window closes when it has stopped.
void frmVBLame::closeEvent(QCloseEvent* event) {
    if (encoding_) {
        Cancelled = true;
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
