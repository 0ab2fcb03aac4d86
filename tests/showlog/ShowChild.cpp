// A test build of the program for the show log's fault tests: the real console on the silent
// output, killed by its parent at random moments.
//   show_child show SEED MEDIA   restores (answering Yes), prints what it restored, then runs a
//                                random show on the files in MEDIA until it is killed
//   show_child load FILE         restores, prints, then loads FILE on deck 1 and runs on
//   show_child fill MEDIA        restores, prints, then loads every deck, plays deck 1, prints
//                                FILLED and runs on
// After the restore it prints RESTORE_MS with the time the restore took and the decks loaded.
// With BRISKO_TEST_ABORT_ON_LOAD set, loading that file aborts the program, as a file that
// crashes the decoder would.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "console/FileBrowser.h"
#include "console/FileNames.h"
#include "console/frmMain.h"
#include "media/MediaChannel.h"
#include "media/OnAir.h"
#include "platform/audio/Engine.h"
#include "platform/common/ProgramFolder.h"
#include "showlog/ShowLog.h"
#include "ui/Prompt.h"

namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out.empty() ? "-" : out;
}

void printRestored(frmMain& w) {
    for (int i = 0; i < frmMain::kDecks; ++i) {
        const bool marked =
            !w.Text1[i]->toolTip().startsWith(QStringLiteral("Deck %1: drop").arg(i + 1));
        std::printf("DECK %d %s %d %s %d %d\n", i,
                    hex(brisko::console::fileNameBytes(w.Decks[i].DeckFile).toStdString()).c_str(),
                    w.chkSegue[i]->isChecked() ? 1 : 0,
                    hex(w.Text2[i]->text().toStdString()).c_str(), marked ? 1 : 0,
                    marked ? brisko::MediaChannel::position(frmMain::deckAlias(i)) : -1);
    }
    std::printf("INDEX %d\nCURRENT %d\nREADY\n", w.SpaceIndex, w.CurrentDeck);
    std::fflush(stdout);
}

void drop(frmMain& w, const QString& folder, const QString& name, int deck) {
    w.Dir1->setPath(folder);
    w.refdir_Click();
    const auto items = w.File1->findItems(name, Qt::MatchExactly);
    if (items.isEmpty()) return;
    w.File1->setCurrentItem(items.first());
    w.Text1_DragDrop(deck);
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    brisko::resolveProgramFolder(argv[0]);
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    const std::string mode = argv[1];
    brisko::audio::Engine::instance().startBackend("null:512");

    if (const char* bad = std::getenv("BRISKO_TEST_ABORT_ON_LOAD")) {
        const QString badFile = QString::fromLocal8Bit(bad);
        frmMain::setLoadSeam([badFile](const QString& file) {
            if (file == badFile) std::abort();
        });
    }
    brisko::ui::setMessageResponder([](const brisko::ui::PromptRequest& r) {
        std::printf("PROMPT %s\n", r.text.toStdString().c_str());
        std::fflush(stdout);
        return r.buttons == brisko::ui::PromptButtons::Ok ? brisko::ui::PromptAnswer::Ok
                                                          : brisko::ui::PromptAnswer::Yes;
    });
    auto& show = brisko::showlog::showLog();
    if (!show.open(brisko::programFolder(), brisko::fileTags)) return 3;

    frmMain w;
    w.show();
    const auto before = std::chrono::steady_clock::now();
    w.offerRestore();
    const auto took =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before)
            .count();
    int loaded = 0;
    for (int i = 0; i < frmMain::kDecks; ++i) loaded += w.Decks[i].DeckFile.isEmpty() ? 0 : 1;
    std::printf("RESTORE_MS %.1f %d\n", took, loaded);
    printRestored(w);

    std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
    QTimer script;
    if (mode == "load") {
        const QFileInfo file(QString::fromLocal8Bit(argv[2]));
        QTimer::singleShot(100, &w,
                           [&w, file] { drop(w, file.absolutePath(), file.fileName(), 0); });
    } else if (mode == "fill") {
        const QString media = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(100, &w, [&w, media] {
            const QStringList files =
                QDir(media).entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name);
            for (int i = 0; i < frmMain::kDecks; ++i) drop(w, media, files[i % files.size()], i);
            w.cmdPlay_Click(0);
            brisko::showlog::showLog().flush();
            std::printf("FILLED\n");
            std::fflush(stdout);
        });
    } else if (mode == "show" && argc >= 4) {
        // Copied into the script: it runs long after this block.
        const QString media = QString::fromLocal8Bit(argv[3]);
        const QStringList files =
            QDir(media).entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name);
        QObject::connect(&script, &QTimer::timeout, &w, [&w, &random, &script, media, files] {
            const int deck = static_cast<int>(random() % frmMain::kDecks);
            switch (random() % 10) {
                case 0:
                case 1:
                    drop(w, media, files[static_cast<int>(random() % files.size())], deck);
                    break;
                case 2:
                    w.Command5_Click(deck);
                    break;
                case 3:
                    w.chkSegue[deck]->setChecked(!w.chkSegue[deck]->isChecked());
                    break;
                case 4:
                    w.Text2[deck]->setText(random() % 2 ? QString::number(random() % 4)
                                                        : QString());
                    break;
                case 5:
                case 6:
                    if (!w.Text1[deck]->text().isEmpty()) w.cmdPlay_Click(deck);
                    break;
                case 7:
                    w.Command4_Click(deck);
                    break;
                case 8:
                    w.SpaceIndex = static_cast<int16_t>(deck);
                    break;
                default:
                    break;  // time passes
            }
            script.setInterval(20 + static_cast<int>(random() % 120));
        });
        script.start(50);
    }
    return QApplication::exec();
}
