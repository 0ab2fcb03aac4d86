// Designer's view of the widget: its box entry, a new instance for a form, the default geometry
// and the property tool tips taken from the class's help strings.
#include "LumaProgressBarPlugin.h"

#include <QMetaClassInfo>
#include <QPainter>
#include <QPixmap>

#include "LumaProgressBar.h"
#include "frmAbout.h"

#ifdef LUMABAR_WITH_DESIGNER
#include <QtDesigner/QDesignerFormWindowInterface>
#endif

LumaProgressBarPlugin::LumaProgressBarPlugin(QObject* parent) : QObject(parent) {}

QString LumaProgressBarPlugin::name() const {
    return QStringLiteral("LumaProgressBar");
}

QString LumaProgressBarPlugin::group() const {
    return QStringLiteral("Lumabar");
}

QString LumaProgressBarPlugin::toolTip() const {
    return QString::fromLatin1(
        LumaProgressBar::staticMetaObject
            .classInfo(LumaProgressBar::staticMetaObject.indexOfClassInfo("Description"))
            .value());
}

QString LumaProgressBarPlugin::whatsThis() const {
    return lumabar::frmAbout::description();
}

QString LumaProgressBarPlugin::includeFile() const {
    return QStringLiteral("LumaProgressBar.h");
}

QIcon LumaProgressBarPlugin::icon() const {
    // The widget's own look at box size: a half-filled bar.
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(1, 7, 20, 8, QColor(0xC0, 0xC0, 0xC0));
    painter.fillRect(1, 7, 10, 8, Qt::blue);
    painter.setPen(Qt::darkGray);
    painter.drawRect(0, 6, 21, 9);
    return QIcon(pixmap);
}

bool LumaProgressBarPlugin::isContainer() const {
    return false;
}

QWidget* LumaProgressBarPlugin::createWidget(QWidget* parent) {
    auto* bar = new LumaProgressBar(parent);
    bar->initProperties();
#ifdef LUMABAR_WITH_DESIGNER
    // A change the widget makes itself (turning upright resizes it) must reach the form's save.
    QObject::connect(bar, &LumaProgressBar::propertyChanged, bar, [bar] {
        if (auto* form = QDesignerFormWindowInterface::findFormWindow(bar)) form->setDirty(true);
    });
#endif
    return bar;
}

bool LumaProgressBarPlugin::isInitialized() const {
    return initialized_;
}

void LumaProgressBarPlugin::initialize(QDesignerFormEditorInterface*) {
    initialized_ = true;
}

QString LumaProgressBarPlugin::domXml() const {
    // Property tool tips: the help string of each member that has one.
    QString tooltips;
    const QMetaObject& meta = LumaProgressBar::staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const char* property = meta.property(i).name();
        const int help = meta.indexOfClassInfo(QByteArray("help:") + property);
        if (help < 0) continue;
        tooltips += QStringLiteral("    <tooltip name=\"%1\">%2</tooltip>\n")
                        .arg(QString::fromLatin1(property),
                             QString::fromLatin1(meta.classInfo(help).value()).toHtmlEscaped());
    }
    return QStringLiteral(
               "<ui language=\"c++\">\n"
               " <widget class=\"LumaProgressBar\" name=\"ProgressBar\">\n"
               "  <property "
               "name=\"geometry\"><rect><x>0</x><y>0</y><width>200</width><height>20</height></"
               "rect></property>\n"
               " </widget>\n"
               " <customwidgets>\n"
               "  <customwidget>\n"
               "   <class>LumaProgressBar</class>\n"
               "   <propertyspecifications>\n"
               "%1"
               "   </propertyspecifications>\n"
               "  </customwidget>\n"
               " </customwidgets>\n"
               "</ui>\n")
        .arg(tooltips);
}
