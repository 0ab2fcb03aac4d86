// The encoder window's progress bar: a drawing object, not a control. It paints background, the
// filled part and the text into an off-screen bitmap and hands that over whole, so it never flickers.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

class ProgressBarDrawing {
public:
    ProgressBarDrawing();

    double Min = 0;
    double Max = 100;
    double Value = 0;
    QString Text;
    bool ShowText = true;
    QColor BackColor, ForeColor, BarColor, BarTextColor;

    // (Value − Min) ÷ (Max − Min) × 100, kept within 0..100 (0 when the range is empty).
    double Percent() const;

    // The bar as a bitmap of SIZE, drawn off screen.
    QPixmap render(const QSize& size) const;
};
