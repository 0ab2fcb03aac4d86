// What a screen reader finds in a window: its interactive controls walked through QAccessible, and
// the ones it could not tell apart (no useful name, or a name another control of the window has).
#pragma once

#include <QAccessible>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace brisko::test {

struct AccessibleControl {
    QAccessible::Role role;
    QString name;
    QString value;
    QObject* object;
};

inline bool isInteractive(QAccessible::Role role) {
    switch (role) {
        case QAccessible::Button:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::SpinBox:
        case QAccessible::Slider:
        case QAccessible::ScrollBar:
        case QAccessible::Dial:
        case QAccessible::EditableText:
        case QAccessible::List:
        case QAccessible::Table:
        case QAccessible::Tree:
        case QAccessible::PageTab:
        case QAccessible::ButtonMenu:
        case QAccessible::ButtonDropDown:
            return true;
        default:
            return false;
    }
}

// Rows of lists and entries of combo boxes are data, not controls; a scroll area's own scroll
// bars belong to the list they scroll.
inline bool walksInto(QAccessible::Role role) {
    switch (role) {
        case QAccessible::List:
        case QAccessible::Table:
        case QAccessible::Tree:
        case QAccessible::ComboBox:
        case QAccessible::MenuBar:
        case QAccessible::ScrollBar:
        case QAccessible::Slider:
        case QAccessible::SpinBox:
            return false;
        default:
            return true;
    }
}

inline void collectControls(QAccessibleInterface* node, QList<AccessibleControl>& out, int depth = 0) {
    if (node == nullptr || depth > 30) return;
    for (int k = 0; k < node->childCount(); ++k) {
        QAccessibleInterface* child = node->child(k);
        if (child == nullptr || !child->isValid()) continue;
        const QAccessible::Role role = child->role();
        // Another window (a dialog the window owns) is walked on its own.
        if (child->object() != nullptr && child->object()->isWidgetType() &&
            static_cast<QWidget*>(child->object())->isWindow())
            continue;
        if (isInteractive(role))
            out.append({role, child->text(QAccessible::Name), child->text(QAccessible::Value),
                        child->object()});
        if (walksInto(role)) collectControls(child, out, depth + 1);
    }
}

inline QList<AccessibleControl> accessibleControls(QWidget* window) {
    QList<AccessibleControl> out;
    collectControls(QAccessible::queryAccessibleInterface(window), out);
    return out;
}

// One line per control a screen reader user could not tell: a name with fewer than two letters,
// a combo box named by the entry it shows, or a name that another control of WINDOW has.
inline QStringList indistinctControls(QWidget* window) {
    const QList<AccessibleControl> controls = accessibleControls(window);
    QMap<QString, int> uses;
    for (const AccessibleControl& c : controls) ++uses[c.name];
    QStringList problems;
    for (const AccessibleControl& c : controls) {
        const QString what = QStringLiteral("%1 (role 0x%2, object %3)")
                                 .arg(c.name)
                                 .arg(int(c.role), 0, 16)
                                 .arg(c.object != nullptr ? c.object->objectName() : QString());
        int letters = 0;
        for (const QChar ch : c.name) letters += ch.isLetter() ? 1 : 0;
        if (letters < 2)
            problems << QStringLiteral("no useful name: ") + what;
        else if (uses[c.name] > 1)
            problems << QStringLiteral("shared name: ") + what;
        else if (c.role == QAccessible::ComboBox && !c.value.isEmpty() && c.name == c.value)
            problems << QStringLiteral("named by its value: ") + what;
    }
    return problems;
}

}  // namespace brisko::test
