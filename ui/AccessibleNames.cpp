// Accessible names that carry the value a control shows, through an accessibility factory that
// answers for the controls named with nameWithValue and leaves every other control to Qt.
#include "ui/AccessibleNames.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QLabel>
#include <QRadioButton>

namespace brisko::ui {

namespace {

const char* const kBase = "briskoAccessibleBase";
const char* const kPrefix = "briskoAccessiblePrefix";
const char* const kWords = "briskoAccessibleWords";
const char* const kChecked = "briskoAccessibleChecked";
const char* const kEmpty = "briskoAccessibleEmpty";

QString withoutAccessKey(QString caption) {
    caption.replace(QLatin1String("&&"), QLatin1String("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return caption;
}

QString composedName(const QWidget* w) {
    const QString base = w->property(kBase).toString();
    QString shown;
    bool down = false;
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
        shown = withoutAccessKey(button->text());
        down = button->isCheckable() && button->isChecked();
    } else if (auto* label = qobject_cast<const QLabel*>(w)) {
        shown = label->text();
    }
    const QVariantMap words = w->property(kWords).toMap();
    if (words.contains(shown))
        shown = words.value(shown).toString();
    else if (!shown.isEmpty())
        shown = w->property(kPrefix).toString() + shown;
    else
        shown = w->property(kEmpty).toString();
    QString name = base;
    if (!shown.isEmpty()) name += QStringLiteral(", ") + shown;
    const QString checkedWord = w->property(kChecked).toString();
    if (down && !checkedWord.isEmpty()) name += QStringLiteral(", ") + checkedWord;
    return name;
}

// A button: pressed by the press action, toggled state reported; named with its value.
class ValueButtonAccessible : public QAccessibleWidget {
public:
    explicit ValueButtonAccessible(QAbstractButton* b)
        : QAccessibleWidget(b, qobject_cast<QCheckBox*>(b) ? QAccessible::CheckBox
                               : qobject_cast<QRadioButton*>(b) ? QAccessible::RadioButton
                                                                 : QAccessible::Button) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return composedName(widget());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        const auto* b = button();
        if (b->isCheckable()) {
            s.checkable = true;
            s.checked = b->isChecked();
        }
        if (b->isDown()) s.pressed = true;
        return s;
    }
    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled())
            names << (button()->isCheckable() ? toggleAction() : pressAction());
        return names + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (!widget()->isEnabled()) return;
        if (action == pressAction() || action == toggleAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }
    QStringList keyBindingsForAction(const QString& action) const override {
        return QAccessibleWidget::keyBindingsForAction(action);
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

// A label that shows a value: named with it.
class ValueLabelAccessible : public QAccessibleWidget {
public:
    explicit ValueLabelAccessible(QLabel* l) : QAccessibleWidget(l, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return composedName(widget());
        if (t == QAccessible::Value) return static_cast<const QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

// A combo box: named by what it is, its entry as its value (Qt names it by its entry).
class NamedComboAccessible : public QAccessibleWidget {
public:
    explicit NamedComboAccessible(QComboBox* c) : QAccessibleWidget(c, QAccessible::ComboBox) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return widget()->property(kBase).toString();
        if (t == QAccessible::Value) return combo()->currentText();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return combo()->lineEdit() != nullptr ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) return QAccessible::queryAccessibleInterface(combo()->view());
        if (index == 1 && combo()->lineEdit() != nullptr)
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr) return -1;
        if (child->object() == combo()->view()) return 0;
        if (combo()->lineEdit() != nullptr && child->object() == combo()->lineEdit()) return 1;
        return -1;
    }
    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction())
            combo()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* valueFactory(const QString&, QObject* object) {
    if (object == nullptr || !object->isWidgetType() || !object->property(kBase).isValid())
        return nullptr;
    if (auto* button = qobject_cast<QAbstractButton*>(object)) return new ValueButtonAccessible(button);
    if (auto* label = qobject_cast<QLabel*>(object)) return new ValueLabelAccessible(label);
    if (auto* combo = qobject_cast<QComboBox*>(object)) return new NamedComboAccessible(combo);
    return nullptr;
}

bool isOurs(QAccessibleInterface* face) {
    return dynamic_cast<ValueButtonAccessible*>(face) != nullptr ||
           dynamic_cast<ValueLabelAccessible*>(face) != nullptr ||
           dynamic_cast<NamedComboAccessible*>(face) != nullptr;
}

void installFactoryOnce() {
    static const bool installed = [] {
        QAccessible::installFactory(valueFactory);
        return true;
    }();
    (void)installed;
}

void useOwnInterface(QWidget* w) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    if (face != nullptr && !isOurs(face)) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(face));
}

void store(QWidget* w, const QString& base, const ShownValue& shown) {
    installFactoryOnce();
    w->setProperty(kBase, base);
    w->setProperty(kPrefix, shown.prefix);
    w->setProperty(kWords, shown.words);
    w->setProperty(kChecked, shown.checked);
    w->setProperty(kEmpty, shown.empty);
    // With a screen reader on, Qt may have made the control's accessible face while building it
    // (a caption set in the constructor is announced): that one does not know the name, so it is
    // dropped and the next query makes ours.
    useOwnInterface(w);
    QAccessibleEvent renamed(w, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
}

}  // namespace

void nameWithValue(QAbstractButton* button, const QString& base, const ShownValue& shown) {
    if (button != nullptr) store(button, base, shown);
}

void nameWithValue(QLabel* label, const QString& base, const ShownValue& shown) {
    if (label != nullptr) store(label, base, shown);
}

QString valueName(const QWidget* widget) {
    if (widget == nullptr) return QString();
    if (widget->property(kBase).isValid()) return composedName(widget);
    return widget->accessibleName();
}

void nameControl(QWidget* widget, const QString& name, const QString& description) {
    if (widget == nullptr) return;
    widget->setAccessibleName(name);
    if (!description.isEmpty()) widget->setAccessibleDescription(description);
    if (qobject_cast<QComboBox*>(widget) != nullptr) {
        // Qt reads a combo box's name from its entry on this platform: ours reads the name.
        installFactoryOnce();
        widget->setProperty(kBase, name);
        useOwnInterface(widget);
    }
}

}  // namespace brisko::ui
