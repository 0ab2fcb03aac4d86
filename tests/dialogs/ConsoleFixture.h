// A main window built the way the program builds it, over the stand-in media device, with every
// message box recorded and answered OK.
#pragma once

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "console/DeckTimer.h"
#include "console/frmFunc.h"
#include "console/frmMain.h"
#include "platform/common/ProgramFolder.h"
#include "tests/dialogs/FakeMedia.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"
#include "ui/Prompt.h"

namespace brisko::test {

class WithMainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        dialogsApp();
        // The deck ticks do not run on their own: these tests look at what the keys and buttons
        // do, not at what a tick does later.
        console::DeckTimer::setFrozen(true);
        QFile::remove(iniPath());
        ui::setMessageResponder([this](const ui::PromptRequest& request) {
            messages.push_back(request);
            return ui::PromptAnswer::Ok;
        });
        main = std::make_unique<frmMain>();
    }
    void TearDown() override {
        main.reset();
        ui::setMessageResponder(nullptr);
        QFile::remove(iniPath());
    }

    static QString iniPath() {
        return QString::fromStdString(programFolder()) + QStringLiteral("/brisko.ini");
    }
    static QString qs(const std::string& s) { return QString::fromStdString(s); }

    // Writes a short tone called NAME into the test folder (the stand-in device reports LENGTHMS),
    // selects it in the main window's file list and drops it on deck I.
    void loadDeck(int i, const std::string& name, int64_t lengthMs = 60000) {
        const std::string path = files.file(name);
        ToneSpec tone;
        tone.seconds = 0.05;
        writeToneWav(path, tone);
        media.setLength(path, lengthMs);
        main->Dir1->setPath(qs(files.path()));
        main->File1->setPath(qs(files.path()));
        main->File1->setPattern(QStringLiteral("*.*"));
        const auto found = main->File1->findItems(qs(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        main->File1->setCurrentItem(found.first());
        main->Text1_DragDrop(i);
        ASSERT_NE(media.channel("voice" + std::to_string(i)), nullptr) << "deck " << i + 1;
    }

    FakeChannel* deck(int i) { return media.channel("voice" + std::to_string(i)); }

    FakeMedia media;
    TempDir files{"brisko-dialogs"};
    std::vector<ui::PromptRequest> messages;
    std::unique_ptr<frmMain> main;
};

}  // namespace brisko::test
