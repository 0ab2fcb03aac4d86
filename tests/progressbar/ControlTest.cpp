// The control's contract with its host: error 380 on crossing bounds, property writes by name,
// the events passed on from real mouse and key input, and the About window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QMetaMethod>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "LumaError.h"
#include "LumaProgressBar.h"
#include "SystemInfoTool.h"
#include "tests/progressbar/BarTestSupport.h"
#include "tests/support/TempDir.h"

using lumabar::test::app;

namespace {

int errorNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const lumabar::LumaError& error) {
        return error.number();
    }
    return 0;
}

}  // namespace

TEST(Control, Error380RefusesACrossingBoundAndLeavesBothUnchanged) {
    app();
    LumaProgressBar bar;
    EXPECT_EQ(errorNumber([&] { bar.setMin(150); }), 380);
    EXPECT_EQ(errorNumber([&] { bar.setMax(-0.5); }), 380);
    EXPECT_EQ(errorNumber([&] { bar.setRange(7, 6); }), 380);
    EXPECT_EQ(bar.min(), 0.0F);
    EXPECT_EQ(bar.max(), 100.0F);
    // Equal bounds are allowed from either side.
    EXPECT_EQ(errorNumber([&] { bar.setMin(100); }), 0);
    EXPECT_EQ(errorNumber([&] { bar.setMax(100); }), 0);
    EXPECT_EQ(bar.min(), 100.0F);

    // Written by name once shown (Designer's property editor): refused without an exception.
    LumaProgressBar shown;
    shown.show();
    shown.setProperty("Min", 500.0);
    EXPECT_EQ(shown.min(), 0.0F);
    ASSERT_TRUE(shown.lastRefusal().has_value());
    EXPECT_EQ(*shown.lastRefusal(), QStringLiteral("Min"));
    // A border style the surface does not have is refused without an exception (uic calls it).
    bar.setBorderStyle(7);
    EXPECT_EQ(bar.borderStyle(), 1);
    EXPECT_EQ(bar.lastRefusal(), QStringLiteral("BorderStyle"));
}

TEST(Control, PropertiesWrittenByNameBeforeShowingRestoreSavedPairsInEitherOrder) {
    app();
    LumaProgressBar first;
    first.setProperty("Min", 150.0);
    first.setProperty("Max", 250.0);
    EXPECT_EQ(first.min(), 150.0F);
    EXPECT_EQ(first.max(), 250.0F);

    LumaProgressBar second;
    second.setProperty("Max", -200.0);
    second.setProperty("Min", -300.0);
    EXPECT_EQ(second.min(), -300.0F);
    EXPECT_EQ(second.max(), -200.0F);

    // A bound that never finds its partner is refused when the control appears.
    LumaProgressBar lone;
    lone.setProperty("Min", 400.0);
    lone.show();
    EXPECT_EQ(lone.min(), 0.0F);
    EXPECT_TRUE(lone.lastRefusal().has_value());

    // A form restores the size first, then Orientation by name: the saved size stays. Once shown,
    // a write by name (Designer's property editor) turns the control.
    LumaProgressBar upright;
    upright.resize(40, 200);
    upright.setProperty("Orientation", 1);
    EXPECT_EQ(upright.size(), QSize(40, 200));
    EXPECT_EQ(upright.orientation(), 1);
    upright.show();
    upright.setProperty("Orientation", 0);
    EXPECT_EQ(upright.size(), QSize(200, 40));
}

TEST(Control, EventsAreDeclaredInOrderAndPassedOnFromRealInput) {
    app();
    const QMetaObject& meta = LumaProgressBar::staticMetaObject;
    const QList<QByteArray> expected{"Click()",
                                     "DblClick()",
                                     "KeyDown(short,short)",
                                     "KeyPress(short)",
                                     "KeyUp(short,short)",
                                     "MouseDown(short,short,float,float)",
                                     "MouseMove(short,short,float,float)",
                                     "MouseUp(short,short,float,float)"};
    QList<QByteArray> declared;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        if (meta.method(i).methodType() == QMetaMethod::Signal &&
            meta.method(i).name() != "propertyChanged")
            declared << meta.method(i).methodSignature();
    EXPECT_EQ(declared, expected);

    LumaProgressBar bar;
    bar.resize(200, 20);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QWidget* surface = bar.findChild<QWidget*>(QStringLiteral("Picture1"));
    ASSERT_NE(surface, nullptr);

    QStringList seen;
    QObject::connect(&bar, &LumaProgressBar::MouseDown, [&](qint16 b, qint16 s, float x, float y) {
        seen << QStringLiteral("MouseDown %1 %2 %3 %4").arg(b).arg(s).arg(x).arg(y);
    });
    QObject::connect(&bar, &LumaProgressBar::MouseUp, [&](qint16 b, qint16, float, float) {
        seen << QStringLiteral("MouseUp %1").arg(b);
    });
    QObject::connect(&bar, &LumaProgressBar::Click, [&] { seen << QStringLiteral("Click"); });
    QObject::connect(&bar, &LumaProgressBar::DblClick, [&] { seen << QStringLiteral("DblClick"); });
    QObject::connect(&bar, &LumaProgressBar::KeyDown, [&](qint16 k, qint16 s) {
        seen << QStringLiteral("KeyDown %1 %2").arg(k).arg(s);
    });
    QObject::connect(&bar, &LumaProgressBar::KeyPress,
                     [&](qint16 a) { seen << QStringLiteral("KeyPress %1").arg(a); });
    QObject::connect(&bar, &LumaProgressBar::KeyUp, [&](qint16 k, qint16 s) {
        seen << QStringLiteral("KeyUp %1 %2").arg(k).arg(s);
    });

    // The surface has a two-pixel border: (12, 7) on it is (10, 5) inside, 150 × 75 twips.
    // A double click as the platform delivers it: press, release, press with double click, release.
    QTest::mouseClick(surface, Qt::LeftButton, Qt::ShiftModifier, QPoint(12, 7));
    QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, QPoint(12, 7));
    QTest::mouseDClick(surface, Qt::LeftButton, Qt::NoModifier, QPoint(12, 7));
    QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, QPoint(12, 7));
    EXPECT_EQ(seen, (QStringList{"MouseDown 1 1 150 75", "MouseUp 1", "Click",
                                 "MouseDown 1 0 150 75", "DblClick", "MouseUp 1"}));

    // Moves with no button held reach the host too.
    QObject::connect(&bar, &LumaProgressBar::MouseMove, [&](qint16 b, qint16 s, float x, float y) {
        seen << QStringLiteral("MouseMove %1 %2 %3 %4").arg(b).arg(s).arg(x).arg(y);
    });
    seen.clear();
    QTest::mouseMove(surface, QPoint(30, 9));
    EXPECT_EQ(seen, (QStringList{"MouseMove 0 0 420 105"}));

    seen.clear();
    QTest::keyClick(surface, Qt::Key_A);
    EXPECT_EQ(seen, (QStringList{"KeyDown 65 0", "KeyPress 97", "KeyUp 65 0"}));
}

TEST(Control, AboutWindowShowsTheLibraryAndStartsTheSystemInformationTool) {
    app();
    brisko::test::TempDir dir("lumabar-about");
    const QString marker = QString::fromStdString(dir.path()) + QStringLiteral("/started");
    const QString tool = QString::fromStdString(dir.path()) + QStringLiteral("/sysinfo");
    {
        QFile script(tool);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho started > '%1'\n").arg(marker).toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QByteArray());  // no known tool to be found
    qunsetenv(lumabar::SystemInfoTool::PathVariable);

    LumaProgressBar bar;
    QString caption;
    QStringList labels;
    QString message;
    QTimer::singleShot(0, [&] {
        QWidget* about = QApplication::activeModalWidget();
        ASSERT_NE(about, nullptr);
        caption = about->windowTitle();
        for (const QLabel* label : about->findChildren<QLabel*>()) labels << label->text();
        auto* sysInfo = about->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"));
        ASSERT_NE(sysInfo, nullptr);
        EXPECT_EQ(sysInfo->text(), QStringLiteral("&System Info..."));
        // No tool: the message, answered at once.
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            message = box->text();
            box->accept();
        });
        sysInfo->click();
        // A configured tool is started.
        qputenv(lumabar::SystemInfoTool::PathVariable, tool.toUtf8());
        sysInfo->click();
        about->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
    bar.ShowAbout();
    qputenv("PATH", savedPath);
    qunsetenv(lumabar::SystemInfoTool::PathVariable);

    EXPECT_EQ(caption, QStringLiteral("About Luma ProgressBar"));
    EXPECT_TRUE(labels.contains(QStringLiteral("Version %1.%2.%3")
                                    .arg(LumaProgressBar::versionMajor())
                                    .arg(LumaProgressBar::versionMinor())
                                    .arg(LumaProgressBar::versionRevision())));
    EXPECT_TRUE(labels.contains(
        QStringLiteral("This control displays a Setup-like progress bar. The percent completed is "
                       "printed in the middle of the bar and it changes color as the status bar "
                       "passes over it.")));
    EXPECT_EQ(message, QStringLiteral("System Information Is Unavailable At This Time"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 5000));
}
