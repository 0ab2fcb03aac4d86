// The control's persisted properties: defaults left out, every changed property back after a
// round trip through a form's entries and through a settings file, saved bounds and an upright
// control restored as they were saved.
#include <gtest/gtest.h>

#include <QSettings>

#include "LumaProgressBar.h"
#include "PropertyBag.h"
#include "tests/progressbar/BarTestSupport.h"
#include "tests/support/TempDir.h"

using lumabar::FormPropertyBag;
using lumabar::SettingsPropertyBag;
using lumabar::test::app;
using lumabar::test::grabBar;

namespace {

void expectSameControl(LumaProgressBar& restored, LumaProgressBar& saved) {
    EXPECT_EQ(restored.backColor(), saved.backColor());
    EXPECT_EQ(restored.foreColor(), saved.foreColor());
    EXPECT_EQ(restored.font(), saved.font());
    EXPECT_EQ(restored.value(), saved.value());
    EXPECT_EQ(restored.min(), saved.min());
    EXPECT_EQ(restored.max(), saved.max());
    EXPECT_EQ(restored.barText(), saved.barText());
    EXPECT_EQ(restored.orientation(), saved.orientation());
    EXPECT_EQ(restored.borderStyle(), saved.borderStyle());
    EXPECT_EQ(restored.size(), saved.size());
    EXPECT_EQ(grabBar(restored), grabBar(saved));
}

}  // namespace

TEST(Persistence, ANewControlStoresNothingAndReloadsIdentically) {
    app();
    QWidget host;
    LumaProgressBar saved(&host);
    saved.resize(200, 20);
    FormPropertyBag form;
    saved.writeProperties(form);
    EXPECT_TRUE(form.entries().isEmpty());

    brisko::test::TempDir dir("lumabar-settings");
    QSettings settings(QString::fromStdString(dir.file("host.ini")), QSettings::IniFormat);
    SettingsPropertyBag bag(settings, QStringLiteral("ProgressBar1"));
    saved.writeProperties(bag);
    EXPECT_TRUE(settings.allKeys().isEmpty());

    QWidget otherHost;
    LumaProgressBar restored(&otherHost);
    restored.resize(200, 20);
    restored.setValue(3);
    restored.readProperties(form);
    expectSameControl(restored, saved);
}

TEST(Persistence, ChangedPropertiesComeBackInOrderThroughAFormAndASettingsFile) {
    app();
    brisko::test::TempDir dir("lumabar-settings");
    const QString iniFile = QString::fromStdString(dir.file("host.ini"));

    // Each saved pair of bounds is valid, yet neither can be set alone on a control at 0 .. 100.
    for (const auto& [min, max] : {std::pair{150.0F, 250.0F}, std::pair{-300.0F, -200.0F}}) {
        SCOPED_TRACE(min);
        QWidget host;
        LumaProgressBar saved(&host);
        saved.resize(200, 40);
        saved.setBackColor(65535);  // yellow
        saved.setForeColor(255);    // red
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPixelSize(17);
        font.setBold(true);
        saved.setFont(font);
        saved.setRange(min, max);
        saved.setValue(min + 37.5F);
        saved.setBarText(QStringLiteral(" done"));
        host.show();
        saved.setOrientation(1);  // turned upright in the host: now 40 × 200
        saved.setBorderStyle(0);
        ASSERT_EQ(saved.size(), QSize(40, 200));

        FormPropertyBag form;
        saved.writeProperties(form);
        EXPECT_EQ(form.names(), (QStringList{"BackColor", "ForeColor", "Font", "Value", "Min",
                                             "Max", "BarText", "Orientation", "BorderStyle"}));
        {
            QSettings settings(iniFile, QSettings::IniFormat);
            SettingsPropertyBag bag(settings, QStringLiteral("ProgressBar1"));
            saved.writeProperties(bag);
        }

        // The host restores the control's size first, then its properties (shown or not).
        LumaProgressBar fromForm(&host);
        fromForm.resize(40, 200);
        fromForm.show();
        fromForm.readProperties(form);
        expectSameControl(fromForm, saved);

        QSettings reopened(iniFile, QSettings::IniFormat);
        LumaProgressBar fromSettings(&host);
        fromSettings.resize(40, 200);
        fromSettings.readProperties(SettingsPropertyBag(reopened, QStringLiteral("ProgressBar1")));
        expectSameControl(fromSettings, saved);
    }

    // Writing a default again removes the stored entry; an unreadable entry reads as its default.
    QSettings settings(iniFile, QSettings::IniFormat);
    SettingsPropertyBag bag(settings, QStringLiteral("ProgressBar1"));
    QWidget host;
    LumaProgressBar bar(&host);
    bar.readProperties(bag);
    bar.setValue(50);
    bar.writeProperties(bag);
    EXPECT_FALSE(settings.contains(QStringLiteral("ProgressBar1/Value")));
    EXPECT_TRUE(settings.contains(QStringLiteral("ProgressBar1/Min")));
    settings.setValue(QStringLiteral("ProgressBar1/Value"), QStringLiteral("lots"));
    bar.setValue(10);
    bar.readProperties(bag);
    EXPECT_EQ(bar.value(), 50.0F);
}
