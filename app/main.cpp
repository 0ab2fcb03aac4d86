// The program: resolves its folder, starts the audio output, shows the deck console and, at the
// end, shuts the audio engine down (which finalises a WAV recording).
#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/AppOptions.h"
#include "app/SignalExit.h"
#include "clipplayer/ClipPlayer.h"
#include "console/FileNames.h"
#include "console/Launchers.h"
#ifdef BRISKO_WITH_CDRIPPER
#include "cdripper/CdWindowLauncher.h"
#endif
#include "console/frmMain.h"
#include "media/MediaChannel.h"
#include "media/OnAir.h"
#include "encoder/frmVBLame.h"
#include "platform/audio/Engine.h"
#include "platform/common/ProgramFolder.h"
#include "showlog/ShowLog.h"

int main(int argc, char** argv) {
    // What only prints is answered before anything else, and before any window system is touched:
    // a terminal, a package check or a service manager gets its text on any machine. Qt's own
    // options are still among the arguments here; they do not change these answers.
    {
        const std::vector<std::string> raw(argv + (argc > 0 ? 1 : 0), argv + argc);
        const brisko::app::AppOptions early = brisko::app::parseOptions(raw);
        if (early.help) {
            std::fputs(brisko::app::usageText(), stdout);
            return 0;
        }
        if (early.version) {
            std::printf("brisko %s\n", BRISKO_VERSION);
            return 0;
        }
        if (early.audio == "list") {
            const std::vector<std::string> names = brisko::audio::Engine::listDevices();
            for (const std::string& name : names) std::printf("%s\n", name.c_str());
            if (names.empty()) std::fprintf(stderr, "brisko: no audio output devices found\n");
            return 0;
        }
        // Without a window system Qt would abort with a long message: say in one line how to run.
        if (!brisko::app::displayConfigured(raw)) {
            std::fputs(brisko::app::noDisplayText(), stderr);
            return 1;
        }
    }
    brisko::resolveProgramFolder(argc > 0 ? argv[0] : nullptr);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brisko"));
    QApplication::setApplicationVersion(QStringLiteral(BRISKO_VERSION));
    // The installed desktop entry and icon carry this name: desktops match the window to them.
    QGuiApplication::setDesktopFileName(QStringLiteral(BRISKO_APP_ID));
    if (const QIcon icon = QIcon::fromTheme(QStringLiteral(BRISKO_APP_ID)); !icon.isNull())
        QApplication::setWindowIcon(icon);
    // QApplication has taken out its own options; the rest are read as the bytes they are, since
    // a file name need not be valid UTF-8.
    const std::vector<std::string> args(argv + 1, argv + argc);
    const brisko::app::AppOptions options = brisko::app::parseOptions(args);
    for (const std::string& warning : options.warnings)
        std::fprintf(stderr, "brisko: %s\n", warning.c_str());

    auto& engine = brisko::audio::Engine::instance();
    const std::string spec = brisko::app::chooseAudio(options.audio, std::getenv("BRISKO_AUDIO"));
    std::string message;
    if (!engine.startBackend(spec, &message)) {
        // The engine falls back to silent output and says why; said once, here.
        if (message.empty()) message = "no audio output for \"" + spec + "\"; playing silently";
        std::fprintf(stderr, "brisko: %s\n", message.c_str());
    }

    // The pre-listen output, when one is set: whatever becomes of it never touches the air.
    const char* cueEnv = std::getenv("BRISKO_CUE");
    const std::string cue = !options.cue.empty() ? options.cue : (cueEnv ? cueEnv : "");
    if (!cue.empty() && !engine.startCueOutput(cue, &message))
        std::fprintf(stderr, "brisko: cue output: %s\n", message.c_str());

    // The air-check recording, beside whatever output runs.
    const char* recordEnv = std::getenv("BRISKO_RECORD");
    const std::string record = !options.record.empty() ? options.record : (recordEnv ? recordEnv : "");
    if (!record.empty() && !engine.startRecording(record, &message))
        std::fprintf(stderr, "brisko: not recording: %s\n", message.c_str());

    // The other subsystems' windows, opened by the console's buttons.
    auto& launchers = brisko::console::launchers();
    launchers.clipPlayer = [](QWidget* owner) { brisko::clip::showUserPicker(owner); };
    launchers.encoder = [](QWidget*) { frmVBLame::showWindow(); };
    // A file-size limit makes a write fail with an error (the encoder reports it) instead of
    // ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
#ifdef BRISKO_WITH_CDRIPPER
    launchers.cdWindow = [](QWidget* owner) { brisko::cdripper::openCdWindow(owner); };
#endif

    // The show's journal, as-run and incident logs. Read before the console is built: after an
    // unclean end the console offers to restore the decks.
    auto& show = brisko::showlog::showLog();
    if (!show.open(brisko::programFolder(), brisko::fileTags))
        std::fprintf(stderr, "brisko: the show journal cannot be written in %s\n",
                     brisko::programFolder().c_str());

    int result = 0;
    {
        frmMain window(brisko::console::fileNameFromBytes(QByteArray::fromStdString(options.file)));
        // The console scales with its window: on a small screen it shrinks to fit.
        if (const QScreen* screen = window.screen()) {
            const QSize room = screen->availableGeometry().size();
            if (room.width() < window.width() || room.height() < window.height())
                window.resize(window.size().boundedTo(room));
        }
        window.show();
        // A shutdown or Ctrl+C ends the program as Exit does, without its question.
        brisko::app::installExitSignals(&app, [&window] {
            brisko::MediaChannel::closeAllChannels();
            window.Form_Unload();
        });
        window.offerRestore();
        result = QApplication::exec();
    }
    // Exit and Quit end here: a clean end of the journal.
    show.close(true);
    engine.shutdown();
    return result;
}
