// The Qt Designer plugin as Designer loads it, and a form with the widget saved and loaded the
// way Designer and form loaders do it.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QUiLoader>
#include <QXmlStreamReader>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include "ColorCode.h"
#include "LumaProgressBar.h"
#include "tests/progressbar/BarTestSupport.h"
#include "ui_UprightBarForm.h"

using lumabar::test::app;

TEST(DesignerPlugin, LoadsAndCreatesTheWidgetWithItsHelpStrings) {
    app();
    QPluginLoader loader(QStringLiteral(LUMABAR_PLUGIN_FILE));
    ASSERT_TRUE(loader.load()) << loader.errorString().toStdString();
    auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->name(), QStringLiteral("LumaProgressBar"));
    EXPECT_EQ(plugin->group(), QStringLiteral("Lumabar"));
    EXPECT_EQ(plugin->toolTip(), QStringLiteral("Luma ProgressBar Control"));
    EXPECT_TRUE(plugin->whatsThis().startsWith(
        QStringLiteral("This control displays a Setup-like progress bar.")));
    EXPECT_EQ(plugin->includeFile(), QStringLiteral("LumaProgressBar.h"));
    EXPECT_FALSE(plugin->icon().isNull());

    QWidget form;
    auto* bar = qobject_cast<LumaProgressBar*>(plugin->createWidget(&form));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->parentWidget(), &form);
    EXPECT_EQ(bar->value(), 50.0F);
    EXPECT_EQ(bar->foreColor(), lumabar::BlueColor);

    const QString xml = plugin->domXml();
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) reader.readNext();
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_TRUE(
        xml.contains(QStringLiteral("<tooltip name=\"Value\">Returns/sets a number that specifies "
                                    "the value of the ProgressBar control.</tooltip>")));
    EXPECT_TRUE(xml.contains(
        QStringLiteral("<tooltip name=\"BackColor\"> Returns/sets the background color used to "
                       "display text and graphics in an object.</tooltip>")));
    EXPECT_TRUE(
        xml.contains(QStringLiteral("<tooltip name=\"Orientation\">Returns or sets a value that "
                                    "determines the orientation (horizontal or vertical) of the "
                                    "object.</tooltip>")));
}

// A form saved with a 40 × 200 upright bar whose bounds (150 .. 250) cannot be set one at a time
// on a new control, as Designer writes it: the bounds and Orientation by name (their writers are
// not setMin, setMax and setOrientation, so Designer marks them stdset="0"), the geometry first.
TEST(DesignerPlugin, AFormWithAnUprightBarAndRaisedBoundsLoadsAsSaved) {
    app();
    const QMetaObject& meta = LumaProgressBar::staticMetaObject;
    EXPECT_FALSE(meta.property(meta.indexOfProperty("Min")).hasStdCppSet());
    EXPECT_FALSE(meta.property(meta.indexOfProperty("Max")).hasStdCppSet());
    EXPECT_FALSE(meta.property(meta.indexOfProperty("Orientation")).hasStdCppSet());

    const auto expectAsSaved = [](QWidget& form) {
        auto* bar = form.findChild<LumaProgressBar*>(QStringLiteral("ProgressBar1"));
        ASSERT_NE(bar, nullptr);
        form.show();  // a bound left waiting would be refused now
        EXPECT_EQ(bar->min(), 150.0F);
        EXPECT_EQ(bar->max(), 250.0F);
        EXPECT_EQ(bar->value(), 175.0F);
        EXPECT_EQ(bar->orientation(), 1);
        EXPECT_EQ(bar->size(), QSize(40, 200));
        EXPECT_FALSE(bar->lastRefusal().has_value());
    };

    QWidget compiled;  // through the code uic generated
    Ui::UprightBarForm().setupUi(&compiled);
    expectAsSaved(compiled);

    QUiLoader loader;  // through the plugin, as a form loader at run time
    loader.clearPluginPaths();
    loader.addPluginPath(QFileInfo(QStringLiteral(LUMABAR_PLUGIN_FILE)).absolutePath());
    QFile file(QStringLiteral(UPRIGHT_BAR_FORM));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::unique_ptr<QWidget> loaded(loader.load(&file));
    ASSERT_NE(loaded, nullptr) << loader.errorString().toStdString();
    expectAsSaved(*loaded);
}
