// The stand-in "mpegvideo" device and the test application.
#include "tests/dialogs/FakeMedia.h"

#include <QListWidget>
#include <filesystem>
#include <optional>

#include "console/FileBrowser.h"
#include "tests/support/ToneFiles.h"

#include "platform/mci/Device.h"
#include "platform/mci/Mci.h"
#include "platform/mci/MciErrors.h"
#ifdef BRISKO_MCI_WITH_ENGINE
#include "platform/mci/MpegVideoDevice.h"
#endif

namespace brisko::test {

QApplication& dialogsApp() {
    static int argc = 1;
    static char name[] = "dialogs_tests";
    static char* argv[] = {name, nullptr};
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
    return *new QApplication(argc, argv);
}

namespace {

using namespace brisko::mci;

std::string canonical(const std::string& path) {
    std::error_code ec;
    const auto c = std::filesystem::canonical(path, ec);
    return ec ? path : c.string();
}

struct Registry {
    std::map<std::string, int64_t> lengths;  // canonical path -> ms
    std::map<std::string, std::shared_ptr<FakeChannel>> channels;  // lower-case alias
};

Registry& registry() {
    static Registry r;
    return r;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

class FakeDevice final : public Device {
public:
    FakeDevice(std::string alias, std::shared_ptr<FakeChannel> state)
        : alias_(std::move(alias)), state_(std::move(state)) {}
    ~FakeDevice() override { registry().channels.erase(alias_); }

    MciError play(std::optional<int64_t> from, std::optional<int64_t> to) override {
        if ((from && (*from < 0 || *from > state_->lengthMs)) ||
            (to && (*to < 0 || *to > state_->lengthMs)))
            return kErrOutOfRange;
        state_->log.push_back("play " + std::to_string(from.value_or(-1)) + " " +
                              std::to_string(to.value_or(-1)));
        if (from) state_->position = *from;
        state_->mode = "playing";
        return kOk;
    }
    MciError pause() override {
        state_->log.push_back("pause");
        if (state_->mode == "playing") state_->mode = "paused";
        return kOk;
    }
    MciError resume() override {
        state_->log.push_back("resume");
        if (state_->mode == "paused") state_->mode = "playing";
        return kOk;
    }
    MciError stop() override {
        state_->log.push_back("stop");
        state_->mode = "stopped";
        return kOk;
    }
    MciError seek(SeekTarget target, int64_t position) override {
        int64_t to = 0;
        if (target == SeekTarget::End) to = state_->lengthMs;
        if (target == SeekTarget::Position) {
            if (position < 0 || position > state_->lengthMs) return kErrOutOfRange;
            to = position;
        }
        state_->log.push_back("seek " + std::to_string(to));
        state_->position = to;
        state_->mode = "stopped";
        return kOk;
    }
    MciError status(StatusItem item, int64_t, StatusValue* value) override {
        switch (item) {
            case StatusItem::Mode: value->setText(state_->mode); return kOk;
            case StatusItem::Length: value->setTime(state_->lengthMs); return kOk;
            case StatusItem::Position: value->setTime(state_->position); return kOk;
            case StatusItem::Speed: value->setInteger(state_->speed); return kOk;
            case StatusItem::Volume:
            case StatusItem::LeftVolume:
            case StatusItem::RightVolume: value->setInteger(state_->volume); return kOk;
            case StatusItem::Ready: value->setBoolean(true); return kOk;
            default: return kErrUnknownStatusItem;
        }
    }
    MciError setSpeed(int64_t speed) override {
        if (speed < 1 || speed > 10000) return kErrOutOfRange;
        state_->speed = speed;
        return kOk;
    }
    MciError setAudioVolume(AudioSide, int64_t volume) override {
        if (volume < 0 || volume > 1000) return kErrOutOfRange;
        state_->volume = volume;
        return kOk;
    }

private:
    std::string alias_;
    std::shared_ptr<FakeChannel> state_;
};

std::unique_ptr<Device> openFake(const OpenRequest& request, MciError* error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(request.element, ec)) {
        *error = kErrFileNotFound;
        return nullptr;
    }
    auto state = std::make_shared<FakeChannel>();
    state->file = canonical(request.element);
    const auto found = registry().lengths.find(state->file);
    state->lengthMs = found != registry().lengths.end() ? found->second : 60000;
    const std::string alias = lower(request.alias);
    registry().channels[alias] = state;
    return std::make_unique<FakeDevice>(alias, state);
}

}  // namespace

FakeMedia::FakeMedia() {
    mciSendString("close all");
    registerDeviceType("mpegvideo", &openFake, true);
}

FakeMedia::~FakeMedia() {
    mciSendString("close all");
    registry().lengths.clear();
#ifdef BRISKO_MCI_WITH_ENGINE
    registerDeviceType("mpegvideo", &openMpegVideoDevice, true);
#endif
}

void FakeMedia::setLength(const std::string& path, int64_t ms) {
    registry().lengths[canonical(path)] = ms;
}

FakeChannel* FakeMedia::channel(const std::string& alias) {
    const auto found = registry().channels.find(lower(alias));
    return found == registry().channels.end() ? nullptr : found->second.get();
}

void FakeMedia::reset() { mciSendString("close all"); }

void WithMainWindow::SetUp() {
    dialogsApp();
    ConsoleTest::SetUp();
    main = &makeWindow();
}

void WithMainWindow::loadDeck(int i, const std::string& name, int64_t lengthMs) {
    const std::string path = media_.file(name);
    ToneSpec tone;
    tone.seconds = 0.05;
    writeToneWav(path, tone);
    media.setLength(path, lengthMs);
    main->Dir1->setPath(qs(media_.path()));
    main->File1->setPath(qs(media_.path()));
    main->File1->setPattern(QStringLiteral("*.*"));
    const auto found = main->File1->findItems(qs(name), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name;
    main->File1->setCurrentItem(found.first());
    main->Text1_DragDrop(i);
    ASSERT_NE(deck(i), nullptr) << "deck " << i + 1;
}

}  // namespace brisko::test
