// lumabar-example: a window with one Lumabar progress bar that fills up and starts again.
//   lumabar-example [--grab FILE.png]
// --grab shows the bar at 75 % once, saves a picture of it and exits (no display needed with
// QT_QPA_PLATFORM=offscreen).
//
// Built against an installed Lumabar, through CMake (CMakeLists.txt beside this file):
//   cmake -S . -B build && cmake --build build
// or through pkg-config:
//   c++ -std=c++17 main.cpp $(pkg-config --cflags --libs lumabar) -o lumabar-example
#include <LumaProgressBar.h>

#include <QApplication>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Lumabar example"));
    auto* layout = new QVBoxLayout(&window);
    auto* bar = new LumaProgressBar(&window);
    bar->initProperties();  // Value 50, Min 0, Max 100, "%" after the number, blue bar
    bar->setMinimumSize(300, 28);
    layout->addWidget(bar);
    window.resize(340, 60);

    if (argc == 3 && std::strcmp(argv[1], "--grab") == 0) {
        bar->setValue(75);
        window.show();
        QApplication::processEvents();
        if (!bar->grab().save(QString::fromLocal8Bit(argv[2]))) {
            std::fprintf(stderr, "lumabar-example: cannot write %s\n", argv[2]);
            return 1;
        }
        std::printf("Lumabar %d.%d.%d: bar at %.0f%% saved in %s\n", LumaProgressBar::versionMajor(),
                    LumaProgressBar::versionMinor(), LumaProgressBar::versionRevision(),
                    static_cast<double>(bar->value()), argv[2]);
        return 0;
    }

    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, bar, [bar] {
        bar->setValue(bar->value() >= bar->max() ? bar->min() : bar->value() + 1);
    });
    timer.start(50);
    window.show();
    return QApplication::exec();
}
