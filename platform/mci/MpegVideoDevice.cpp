// The "mpegvideo" device on the playback engine: one voice per alias, closed with the alias.
#include "platform/mci/MpegVideoDevice.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/audio/Engine.h"

namespace brisko::mci {

namespace {

using audio::Engine;
using audio::VoiceId;
using audio::VoiceMode;
using audio::VoiceProbe;

constexpr int64_t kMaxVolume = 1000;
constexpr int64_t kMinSpeed = 1;
constexpr int64_t kMaxSpeed = 10000;

class MpegVideoDevice final : public Device {
public:
    // PROBE reads the voice's position and mode without a lock: status queries come often.
    MpegVideoDevice(VoiceId voice, std::shared_ptr<const VoiceProbe> probe)
        : voice_(voice), probe_(std::move(probe)) {}
    ~MpegVideoDevice() override { Engine::instance().close(voice_); }

    MciError play(std::optional<int64_t> from, std::optional<int64_t> to) override {
        if ((from && *from < 0) || (to && *to < 0)) return kErrOutOfRange;
        if (from || to) {
            if (const MciError e = checkWindow(from, to); e != kOk) return e;
        }
        std::string message;
        if (!Engine::instance().play(voice_, from.value_or(-1), to.value_or(-1), &message)) {
            return kErrOutOfRange;
        }
        return kOk;
    }

    MciError pause() override {
        if (probe_->mode() == VoiceMode::Playing) Engine::instance().pause(voice_);
        return kOk;
    }

    MciError resume() override {
        if (probe_->mode() == VoiceMode::Paused) Engine::instance().resume(voice_);
        return kOk;
    }

    MciError stop() override {
        Engine::instance().stop(voice_);
        return kOk;
    }

    MciError seek(SeekTarget target, int64_t position) override {
        Engine& engine = Engine::instance();
        int64_t ms = 0;
        if (target != SeekTarget::Start) {
            const int64_t length = engine.lengthMs(voice_);
            if (length < 0) return kErrLengthUnknown;
            if (target == SeekTarget::End) {
                ms = length;
            } else {
                if (position < 0 || position > length) return kErrOutOfRange;
                ms = position;
            }
        }
        std::string message;
        return engine.seek(voice_, ms, &message) ? kOk : kErrOutOfRange;
    }

    MciError status(StatusItem item, int64_t track, StatusValue* value) override {
        Engine& engine = Engine::instance();
        switch (item) {
            case StatusItem::Position: {
                if (track > 1) return kErrOutOfRange;
                const int64_t position = track == 1 ? 0 : probe_->positionMs();
                if (position < 0) return kErrDeviceFailed;
                value->setTime(position);
                return kOk;
            }
            case StatusItem::Mode:
                switch (probe_->mode()) {
                    case VoiceMode::Playing: value->setText("playing"); break;
                    case VoiceMode::Paused: value->setText("paused"); break;
                    case VoiceMode::Stopped: value->setText("stopped"); break;
                }
                return kOk;
            case StatusItem::Length: {
                if (track > 1) return kErrOutOfRange;
                const int64_t length = engine.lengthMs(voice_);
                if (length < 0) return kErrLengthUnknown;
                value->setTime(length);
                return kOk;
            }
            case StatusItem::Speed: value->setInteger(engine.speed(voice_)); return kOk;
            case StatusItem::Volume:
                value->setInteger((engine.volumeLeft(voice_) + engine.volumeRight(voice_)) / 2);
                return kOk;
            case StatusItem::LeftVolume: value->setInteger(engine.volumeLeft(voice_)); return kOk;
            case StatusItem::RightVolume: value->setInteger(engine.volumeRight(voice_)); return kOk;
            case StatusItem::NumberOfTracks: value->setInteger(1); return kOk;
            case StatusItem::CurrentTrack: value->setInteger(1); return kOk;
            case StatusItem::MediaPresent: value->setBoolean(true); return kOk;
            case StatusItem::Ready: value->setBoolean(true); return kOk;
            case StatusItem::StartPosition: value->setTime(0); return kOk;
            case StatusItem::TrackType:
                if (track != 1) return kErrOutOfRange;
                value->setText("audio");
                return kOk;
            case StatusItem::Output:
                value->setText(engine.bus(voice_) == audio::Bus::Cue ? "cue" : "air");
                return kOk;
        }
        return kErrUnknownStatusItem;
    }

    MciError setOutput(bool cue) override {
        if (Engine::instance().setBus(voice_, cue ? audio::Bus::Cue : audio::Bus::Air)) return kOk;
        return cue ? kErrNoCueOutput : kErrDeviceFailed;
    }

    MciError setSpeed(int64_t speed) override {
        if (speed < kMinSpeed || speed > kMaxSpeed) return kErrOutOfRange;
        Engine::instance().setSpeed(voice_, static_cast<int>(speed));
        return kOk;
    }

    MciError setAudioVolume(AudioSide side, int64_t volume) override {
        if (volume < 0 || volume > kMaxVolume) return kErrOutOfRange;
        Engine& engine = Engine::instance();
        const int v = static_cast<int>(volume);
        const int left = side == AudioSide::Right ? engine.volumeLeft(voice_) : v;
        const int right = side == AudioSide::Left ? engine.volumeRight(voice_) : v;
        engine.setVolume(voice_, left, right);
        return kOk;
    }

private:
    // Checks a play window against the length. The exact length of some files is known only
    // after a count that decodes the whole file; while it runs, a window that lies within the
    // length the header gives (and a margin for its rounding) starts at once, and the voice
    // ends at the true end should that come first. A window past that waits for the count and
    // is checked exactly, so what is plainly out of range is still refused.
    MciError checkWindow(std::optional<int64_t> from, std::optional<int64_t> to) {
        Engine& engine = Engine::instance();
        bool exact = false;
        int64_t length = engine.lengthMsNow(voice_, &exact);
        const int64_t furthest = std::max(from.value_or(0), to.value_or(0));
        const bool withinEstimate =
            !exact && length >= 0 && furthest <= length + estimateMargin(length);
        if (!withinEstimate) {
            if (!exact) length = engine.lengthMs(voice_);
            if (length < 0) return kErrLengthUnknown;
            if (furthest > length) return kErrOutOfRange;
        }
        const int64_t start = from ? *from : engine.positionMs(voice_);
        if (to && *to < start) return kErrOutOfRange;
        return kOk;
    }

    // How far past a header's estimate of the length a window may reach and still start before
    // the count: one second and half a percent.
    static int64_t estimateMargin(int64_t estimateMs) { return 1000 + estimateMs / 200; }

    VoiceId voice_;
    std::shared_ptr<const VoiceProbe> probe_;
};

}  // namespace

std::unique_ptr<Device> openMpegVideoDevice(const OpenRequest& request, MciError* error) {
    // Look at the entry first: the engine must never be handed a folder, a pipe or a device
    // node, whose opening could block or read without end.
    struct stat info {};
    if (::stat(request.element.c_str(), &info) != 0) {
        *error = (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG) ? kErrFileNotFound
                                                                               : kErrCannotReadFile;
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        *error = kErrNotAFile;
        return nullptr;
    }
    if (info.st_size == 0) {
        *error = kErrCannotPlayFile;
        return nullptr;
    }
    std::string message;
    const VoiceId voice = Engine::instance().open(request.element, &message);
    if (voice < 0) {
        *error = kErrCannotPlayFile;
        return nullptr;
    }
    std::shared_ptr<const VoiceProbe> probe = Engine::instance().probe(voice);
    if (!probe) {
        Engine::instance().close(voice);
        *error = kErrCannotPlayFile;
        return nullptr;
    }
    return std::make_unique<MpegVideoDevice>(voice, std::move(probe));
}

}  // namespace brisko::mci
