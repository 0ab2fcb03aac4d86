// The Functions window and the small drive/folder/file lists it shares with the default-directory
// window.
#include "console/frmFunc.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "console/frmMain.h"
#include "console/frmSelDefault.h"
#include "ui/AccessibleNames.h"
#include "ui/Prompt.h"

namespace brisko::console {

// The message shown when the settings writer failed without saying why.
static QString settingsNotWritten() {
    return QStringLiteral("The settings file brisko.ini could not be written; it keeps its "
                          "earlier contents.");
}

bool saveSettingsOrWarn(QWidget* owner, frmMain* main) {
    QString error;
    if (main == nullptr || main->WriteSettings(&error)) return true;
    brisko::ui::message(owner, {error.isEmpty() ? settingsNotWritten() : error,
                                QStringLiteral("Brisko"), brisko::ui::PromptButtons::Ok,
                                brisko::ui::PromptIcon::Warning});
    return false;
}

}  // namespace brisko::console

// ---- the Functions window ---------------------------------------------------------------------

namespace {

struct SliderSpec {
    const char* caption;
    const char* tooltip;
    int minimum;
    int maximum;
    int value;
    int largeStep;
};

// Descriptive captions, tooltips, ranges, design values and large steps of Slider1 .. Slider8.
constexpr SliderSpec kSliders[8] = {
    {"Fade Speed (1 to 10)", "Slide Fader Speed", 0, 10, 5, 5},
    {"Volume Down Speed", "Slide Volume Down Speed", 0, 10, 2, 5},
    {"Volume Up Speed", "Slide Volume Up Speed", 0, 10, 2, 5},
    {"Advance Speed", "Slide Advance Speed", 100, 10000, 100, 5},
    {"Auto fade time (1-5)", "Slide Auto Fader time", 1, 5, 3, 1},
    {"Post Fade to level 1 -100", "", 1, 100, 1, 5},
    {"Pause between segued clips", "Select default blank pause between clips that are segued..", 0,
     10, 0, 5},
    {"Duct Level (0=full duct)", "", 0, 99, 20, 5},
};

}  // namespace

frmFunc::frmFunc(QWidget* parent) : QWidget(parent, Qt::Window) {
    using namespace brisko::console;
    setWindowTitle(QStringLiteral("Functions"));

    auto* sliders = new QGridLayout;
    QSlider** sliderSlots[8] = {&Slider1, &Slider2, &Slider3, &Slider4,
                                &Slider5, &Slider6, &Slider7, &Slider8};
    QLabel** labelSlots[8] = {&Label12, &Label13, &Label14, &Label15,
                              &Label16, &Label17, &Label18, &Label19};
    for (int k = 0; k < 8; ++k) {
        const SliderSpec& spec = kSliders[k];
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(QStringLiteral("Slider%1").arg(k + 1));
        slider->setRange(spec.minimum, spec.maximum);
        slider->setSingleStep(1);
        slider->setPageStep(spec.largeStep);
        slider->setValue(spec.value);
        if (spec.tooltip[0] != '\0') slider->setToolTip(QString::fromUtf8(spec.tooltip));
        brisko::ui::nameControl(slider, QString::fromUtf8(spec.caption));
        auto* value = new QLabel(QStringLiteral("0"), this);
        value->setObjectName(QStringLiteral("Label%1").arg(12 + k));
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("100000")));
        // A move shows the slider's new value; the label is connected only after the design
        // value is set, so it reads "0" until the slider first changes.
        connect(slider, &QSlider::valueChanged, value,
                [value](int v) { value->setText(QString::number(v)); });
        sliders->addWidget(new QLabel(QString::fromUtf8(spec.caption), this), k, 0);
        sliders->addWidget(slider, k, 1);
        sliders->addWidget(value, k, 2);
        *sliderSlots[k] = slider;
        *labelSlots[k] = value;
    }

    Check3 = new QCheckBox(QStringLiteral("Auto Segue"), this);
    Check3->setObjectName(QStringLiteral("Check3"));
    Check3->setToolTip(QStringLiteral("Auto Segue Check"));
    Check4 = new QCheckBox(QStringLiteral("Check for &Advanced Layout"), this);
    Check4->setObjectName(QStringLiteral("Check4"));
    Check4->setToolTip(QStringLiteral("Advanced Layout Check"));
    connect(Check3, &QCheckBox::toggled, this, &frmFunc::autoSegueChanged);
    connect(Check4, &QCheckBox::toggled, this, &frmFunc::advancedLayoutChanged);

    Check5 = new QCheckBox(QStringLiteral("Default Editor"), this);
    Check5->setObjectName(QStringLiteral("Check5"));
    Check5->setChecked(true);
    Check6 = new QCheckBox(QStringLiteral("Temp Directory"), this);
    Check6->setObjectName(QStringLiteral("Check6"));
    // Only the operator's click runs the pairing; unchecking the partner in code does not.
    connect(Check5, &QCheckBox::clicked, this, [this] { Check5_Click(); });
    connect(Check6, &QCheckBox::clicked, this, [this] { Check6_Click(); });

    Frame1 = new QGroupBox(QStringLiteral("Default Editor"), this);
    Drive1 = new DriveBox(Frame1);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Dir1 = new FolderList(Frame1);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    File1 = new FileList(Frame1);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setPath(Dir1->path());
    Command4 = new QPushButton(QStringLiteral("Select Editor"), Frame1);
    brisko::ui::nameControl(Drive1, QStringLiteral("Editor or temp drive"));
    brisko::ui::nameControl(Dir1, QStringLiteral("Editor or temp folders"));
    brisko::ui::nameControl(File1, QStringLiteral("Editor files"));
    Command4->setObjectName(QStringLiteral("Command4"));
    Drive1->setDrive(Dir1->path());
    connect(Drive1, &DriveBox::driveChanged, this, [this] { Drive1_Change(); });
    connect(Dir1, &FolderList::pathChanged, this, [this] { Dir1_Change(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });

    auto* frameLayout = new QGridLayout(Frame1);
    frameLayout->addWidget(Drive1, 0, 0);
    frameLayout->addWidget(Dir1, 1, 0);
    frameLayout->addWidget(File1, 0, 1, 2, 1);
    frameLayout->addWidget(Command4, 2, 0, 1, 2);

    Label8 = new QLabel(this);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label9 = new QLabel(this);
    Label9->setObjectName(QStringLiteral("Label9"));

    cmdSetDefault = new QPushButton(QStringLiteral("Set Default Directory and File Types"), this);
    cmdSetDefault->setObjectName(QStringLiteral("cmdSetDefault"));
    Command5 = new QPushButton(QStringLiteral("Wave to MP3 Encoder"), this);
    Command5->setObjectName(QStringLiteral("Command5"));
    Command1 = new QPushButton(QStringLiteral("&Close"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    connect(cmdSetDefault, &QPushButton::clicked, this, [this] { cmdSetDefault_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    auto* boxes = new QHBoxLayout;
    boxes->addWidget(Check3);
    boxes->addWidget(Check4);
    boxes->addWidget(Check5);
    boxes->addWidget(Check6);
    auto* stored = new QGridLayout;
    stored->addWidget(new QLabel(QStringLiteral("Editor:"), this), 0, 0);
    stored->addWidget(Label8, 0, 1);
    stored->addWidget(new QLabel(QStringLiteral("Temp:"), this), 1, 0);
    stored->addWidget(Label9, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSetDefault);
    buttons->addWidget(Command5);
    buttons->addStretch();
    buttons->addWidget(Command1);

    auto* main = new QVBoxLayout(this);
    main->addLayout(sliders);
    main->addLayout(boxes);
    main->addWidget(Frame1);
    main->addLayout(stored);
    main->addLayout(buttons);
}

void frmFunc::Check5_Click() {
    File1->setVisible(true);
    Check6->setChecked(false);
    Frame1->setTitle(QStringLiteral("Default Editor"));
    Command4->setText(QStringLiteral("Select Editor"));
}

void frmFunc::Check6_Click() {
    File1->setVisible(false);
    Check5->setChecked(false);
    Frame1->setTitle(QStringLiteral("Default Temp Directory"));
    Command4->setText(QStringLiteral("Select Default Directory"));
}

void frmFunc::Drive1_Change() { brisko::console::openSelectedDrive(this, Drive1, Dir1); }

void frmFunc::Dir1_Change() { File1->setPath(Dir1->path()); }

void frmFunc::Command4_Click() {
    frmMain* main = frmMain::instance();
    if (main != nullptr) {
        if (Check5->isChecked()) {
            // Folder and file name joined by one separator; with no file selected the value ends
            // in the separator.
            QString folder = Dir1->path();
            if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
            main->DefaultEditor = folder + File1->fileName();
        }
        if (Check6->isChecked()) main->TempDir = Dir1->path();
        // The file is rewritten whether or not anything changed; a failed write leaves the old
        // file as it was and is reported.
        brisko::console::saveSettingsOrWarn(this, main);
    }
    showStoredValues();
    update();
}

void frmFunc::cmdSetDefault_Click() {
    frmSelDefault* window = selDefaultWindow();
    window->show();
    window->raise();
}

void frmFunc::Command5_Click() {
    if (frmMain* main = frmMain::instance()) main->cmdEncoder_Click();
}

void frmFunc::Command1_Click() { hide(); }

frmSelDefault* frmFunc::selDefaultWindow() {
    if (selDefault_ == nullptr) selDefault_ = new frmSelDefault(this);
    return selDefault_;
}

void frmFunc::showStoredValues() {
    const frmMain* main = frmMain::instance();
    if (main == nullptr) return;
    Label8->setText(main->DefaultEditor);
    Label9->setText(main->TempDir);
}

void frmFunc::showEvent(QShowEvent* event) {
    if (!loaded_) {
        loaded_ = true;
        showStoredValues();
    }
    QWidget::showEvent(event);
}
