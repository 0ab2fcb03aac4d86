// The scripted device of the interpreter tests.
#include "tests/platform/mci/FakeDevice.h"

#include <stdexcept>

namespace brisko::mci::test {

namespace {

std::string opt(const std::optional<int64_t>& v) { return v ? std::to_string(*v) : "-"; }

class FakeDevice : public Device {
public:
    explicit FakeDevice(bool cd) : cd_(cd) {}
    ~FakeDevice() override { fake().calls.push_back("close"); }

    MciError play(std::optional<int64_t> from, std::optional<int64_t> to) override {
        fake().calls.push_back("play " + opt(from) + " " + opt(to));
        return kOk;
    }
    MciError pause() override { return record("pause"); }
    MciError resume() override { return record("resume"); }
    MciError stop() override { return record("stop"); }
    MciError seek(SeekTarget target, int64_t position) override {
        const char* name = target == SeekTarget::Start ? "start" : target == SeekTarget::End ? "end" : "position";
        return record(std::string("seek ") + name + " " + std::to_string(position));
    }
    MciError status(StatusItem item, int64_t track, StatusValue* value) override {
        FakeState& s = fake();
        switch (item) {
            case StatusItem::Mode: value->setText(s.mode); return kOk;
            case StatusItem::Length: value->setTime(track > 0 ? track * 1000 : s.length); return kOk;
            case StatusItem::Position: value->setTime(s.position); return kOk;
            case StatusItem::Speed: value->setInteger(1000); return kOk;
            case StatusItem::Volume: value->setInteger(995); return kOk;
            case StatusItem::LeftVolume: value->setInteger(100); return kOk;
            case StatusItem::RightVolume: value->setInteger(200); return kOk;
            case StatusItem::NumberOfTracks: value->setInteger(s.tracks); return kOk;
            case StatusItem::MediaPresent: value->setBoolean(s.mediaPresent); return kOk;
            case StatusItem::CurrentTrack: value->setInteger(3); return kOk;
            case StatusItem::Ready: value->setBoolean(true); return kOk;
            case StatusItem::StartPosition: value->setTime(0); return kOk;
            case StatusItem::TrackType: value->setText("audio"); return kOk;
            case StatusItem::Output: value->setText("air"); return kOk;
        }
        return kErrUnknownStatusItem;
    }
    MciError setSpeed(int64_t speed) override { return record("speed " + std::to_string(speed)); }
    MciError setDoor(bool open) override {
        if (!cd_) return Device::setDoor(open);
        return record(open ? "door open" : "door closed");
    }
    MciError setAudioVolume(AudioSide side, int64_t volume) override {
        const char* name = side == AudioSide::Left ? "left" : side == AudioSide::Right ? "right" : "both";
        return record(std::string("volume ") + name + " " + std::to_string(volume));
    }
    MciError setTimeFormat(TimeFormat format) override {
        if (cd_ && format == TimeFormat::Tmsf) {
            timeFormat_ = format;
            return kOk;
        }
        return Device::setTimeFormat(format);
    }
    // In tmsf a bare number is a track; the fake keeps it as track × 1000.
    MciError parseTime(std::string_view text, int64_t* position) const override {
        const MciError e = Device::parseTime(text, position);
        if (e == kOk && timeFormat_ == TimeFormat::Tmsf) *position *= 1000;
        return e;
    }

private:
    MciError record(std::string call) {
        fake().calls.push_back(std::move(call));
        return kOk;
    }
    bool cd_;
};

std::unique_ptr<Device> openFake(const OpenRequest& request, MciError* error, bool cd) {
    FakeState& s = fake();
    if (s.throwOnOpen) throw std::runtime_error("device exploded");
    if (s.failNextOpen != kOk) {
        *error = s.failNextOpen;
        s.failNextOpen = kOk;
        return nullptr;
    }
    s.opens.push_back(request);
    return std::make_unique<FakeDevice>(cd);
}

}  // namespace

FakeState& fake() {
    static FakeState state;
    return state;
}

void installFakeDevices() {
    fake() = FakeState{};
    registerDeviceType("TestDevice", [](const OpenRequest& r, MciError* e) { return openFake(r, e, false); },
                       true);
    registerDeviceType("testcd", [](const OpenRequest& r, MciError* e) { return openFake(r, e, true); },
                       false);
}

}  // namespace brisko::mci::test
