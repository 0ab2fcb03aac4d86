// Helpers of the progress-bar tests: a control grabbed to an image with a font drawn without
// anti-aliasing, so that every pixel is exactly the back or the fore colour.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

class LumaProgressBar;

class QApplication;

namespace lumabar::test {

// The one application object of the test program.
QApplication& app();

// Makes BAR W × H with no border and a 14-pixel font without anti-aliasing.
void prepare(LumaProgressBar& bar, int width, int height);

// The control as painted now.
QImage grabBar(LumaProgressBar& bar);

QColor backOf(const LumaProgressBar& bar);
QColor foreOf(const LumaProgressBar& bar);

// The text's pixels: those in the back colour within FILLED, and in the fore colour outside it.
QRect textBox(const QImage& image, const QRect& filled, QColor back, QColor fore);

// True when every pixel of IMAGE is either BACK or FORE.
bool onlyTwoColors(const QImage& image, QColor back, QColor fore);

}  // namespace lumabar::test
