// Helpers of the progress-bar tests.
#include "BarTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "ColorCode.h"
#include "LumaProgressBar.h"

namespace lumabar::test {

namespace {

QApplication* application = nullptr;

// Ends the application after the last test, while Qt's own statics still exist (the platform's
// font caches are released with it).
class ApplicationEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        delete application;
        application = nullptr;
    }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

QApplication& app() {
    static int argc = 1;
    static char name[] = "progressbar_tests";
    static char* argv[] = {name, nullptr};
    if (application == nullptr) application = new QApplication(argc, argv);
    return *application;
}

void prepare(LumaProgressBar& bar, int width, int height) {
    bar.setBorderStyle(0);
    QFont font = bar.font();
    font.setPixelSize(14);
    font.setStyleStrategy(QFont::NoAntialias);
    bar.setFont(font);
    bar.resize(width, height);
}

QImage grabBar(LumaProgressBar& bar) {
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QColor backOf(const LumaProgressBar& bar) {
    return translateColor(bar.backColor(), bar.palette());
}
QColor foreOf(const LumaProgressBar& bar) {
    return translateColor(bar.foreColor(), bar.palette());
}

QRect textBox(const QImage& image, const QRect& filled, QColor back, QColor fore) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor textColor = filled.contains(x, y) ? back : fore;
            if (image.pixelColor(x, y) == textColor) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

bool onlyTwoColors(const QImage& image, QColor back, QColor fore) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QColor c = image.pixelColor(x, y); c != back && c != fore) return false;
    return true;
}

}  // namespace lumabar::test
