// libFuzzer target: arbitrary command strings into the media control interface. Each input is
// split at line ends into up to sixteen commands sent in turn (so open, play and close meet on
// the same alias), then everything is closed. File devices are played by a stand-in that touches
// no files, so the fuzzer exercises the grammar and the alias table, not the decoder.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/mci/Device.h"
#include "platform/mci/Mci.h"

namespace {

using namespace brisko::mci;

class QuietDevice : public Device {
public:
    MciError play(std::optional<int64_t> from, std::optional<int64_t> to) override {
        if ((from && *from < 0) || (to && *to < 0)) return kErrOutOfRange;
        playing_ = true;
        return kOk;
    }
    MciError pause() override { return kOk; }
    MciError resume() override { return kOk; }
    MciError stop() override {
        playing_ = false;
        return kOk;
    }
    MciError seek(SeekTarget, int64_t position) override {
        if (position < 0) return kErrOutOfRange;
        position_ = position;
        return kOk;
    }
    MciError status(StatusItem item, int64_t, StatusValue* value) override {
        if (item == StatusItem::Mode) value->setText(playing_ ? "playing" : "stopped");
        else if (item == StatusItem::MediaPresent) value->setBoolean(true);
        else value->setTime(position_);
        return kOk;
    }
    MciError setSpeed(int64_t speed) override { return speed > 0 ? kOk : kErrOutOfRange; }
    MciError setAudioVolume(AudioSide, int64_t v) override { return v >= 0 && v <= 1000 ? kOk : kErrOutOfRange; }

private:
    bool playing_ = false;
    int64_t position_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    auto factory = [](const OpenRequest&, MciError*) -> std::unique_ptr<Device> {
        return std::make_unique<QuietDevice>();
    };
    registerDeviceType("mpegvideo", factory, true);
    registerDeviceType("cdaudio", factory, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    for (int n = 0; n < 16 && start <= input.size(); ++n) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        std::string reply;
        const MciError e = mciSendString(input.substr(start, end - start), &reply);
        if (e != kOk && !reply.empty()) __builtin_trap();  // an error never leaves a reply
        if (mciGetErrorString(e).empty()) __builtin_trap();
        start = end + 1;
    }
    mciSendString("close all");
    return 0;
}
