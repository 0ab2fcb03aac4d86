// Proportional layout: every control's position, size and font size are kept as fractions of the
// window's client size, recorded once, and applied on every resize.
#pragma once

#include <QSize>
#include <QVector>

class QWidget;

namespace brisko::console {

class ProportionalLayout {
public:
    // Adds W; its geometry and font at record time are what later sizes scale.
    void add(QWidget* w);
    // Records every added control against the client size DESIGN.
    void record(QSize design);
    // Moves and sizes every control for the client size SIZE and scales its font.
    void apply(QSize size) const;

private:
    struct Entry {
        QWidget* widget = nullptr;
        double left = 0, top = 0, width = 0, height = 0, font = 0;
        bool pixelFont = false;
    };
    QVector<QWidget*> widgets_;
    QVector<Entry> entries_;
};

}  // namespace brisko::console
