// The readout line and its accessible face: a status bar whose name and text are the sentence.
#include "ui/StatusLine.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace brisko::ui {

namespace {

// What a screen reader sees of the line: role status bar, name and text the current sentence.
class StatusLineAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit StatusLineAccessible(StatusLine* line)
        : QAccessibleWidget(line, QAccessible::StatusBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name || t == QAccessible::Value) {
            const QString said = line()->sentence();
            if (!said.isEmpty() || t == QAccessible::Value) return said;
            return line()->accessibleName();
        }
        return QAccessibleWidget::text(t);
    }

    // ---- text interface: the sentence, read-only, with no selection.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override {
        const QString s = line()->sentence();
        if (end < 0 || end > s.size()) end = int(s.size());
        if (start < 0) start = 0;
        return start >= end ? QString() : s.mid(start, end - start);
    }
    int characterCount() const override { return int(line()->sentence().size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return QString();
    }

private:
    StatusLine* line() const { return static_cast<StatusLine*>(widget()); }
};

QAccessibleInterface* statusLineFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("brisko::ui::StatusLine") && object != nullptr &&
        object->isWidgetType())
        return new StatusLineAccessible(static_cast<StatusLine*>(object));
    return nullptr;
}

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(statusLineFactory);
        return true;
    }();
    (void)installed;
    // A face Qt made while the status bar was built does not know the sentence: made anew.
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(this);
    if (face != nullptr && dynamic_cast<StatusLineAccessible*>(face) == nullptr)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(face));
    setObjectName(QStringLiteral("readoutLine"));
    setAccessibleName(QStringLiteral("Readout"));
    setAccessibleDescription(QStringLiteral("Times and warnings asked for by the readout keys"));
    setSizeGripEnabled(false);
}

void StatusLine::say(const QString& sentence) {
    const QString before = sentence_;
    sentence_ = sentence;
    showMessage(sentence);
    QAccessibleEvent named(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleTextUpdateEvent replaced(this, 0, before, sentence);
    QAccessible::updateAccessibility(&replaced);
    emit said(sentence);
}

}  // namespace brisko::ui
