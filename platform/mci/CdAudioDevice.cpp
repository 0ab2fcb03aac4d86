// The "cdaudio" device. A watcher thread reads the disc's table of contents every second and,
// when a disc appears, opens one engine voice on the whole disc (first track to lead-out); the
// voice reads the disc on the engine's reader thread of its own. Commands and status queries use
// only the table and the voice, never the drive.
#include "platform/mci/CdAudioDevice.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio/Engine.h"
#include "platform/audio/PcmSource.h"
#include "platform/cdrip/CdRipLoader.h"

namespace brisko::mci {

namespace {

using audio::Engine;
using audio::VoiceId;
using audio::VoiceMode;

constexpr int kFramesPerSector = 588;  // 2352 bytes of 16-bit stereo
constexpr int kSectorsPerRead = 27;    // a little over a third of a second
constexpr int kMaxTracks = 100;
constexpr int64_t kMaxDrives = 1000;
// The longest an open or a close of the device waits for the watcher thread.
constexpr std::chrono::milliseconds kFirstLookWait{100};

// Milliseconds of the disc timeline for a sector offset, and back. A sector's time is rounded up
// so that playing from it never sounds the end of the sector before; reading a position back
// gives the same sector.
int64_t msOfSector(int64_t sectors) { return (sectors * 40 + 2) / 3; }
int64_t sectorOfMs(int64_t ms) { return ((ms + 1) * 75 - 1) / 1000; }

struct Toc {
    std::vector<CR_TocEntry> entries;  // tracks, then the lead-out; empty without a disc

    int tracks() const { return entries.empty() ? 0 : static_cast<int>(entries.size()) - 1; }
    int32_t first() const { return entries.front().startSector; }
    int32_t start(int track) const { return entries[static_cast<std::size_t>(track) - 1].startSector; }
    int32_t end(int track) const { return entries[static_cast<std::size_t>(track)].startSector; }
    int32_t discSectors() const { return entries.back().startSector - first(); }
    // The track holding SECTOR of the timeline (the last one at or past the lead-out).
    int trackAt(int64_t sector) const {
        const int64_t absolute = sector + first();
        int track = 1;
        while (track < tracks() && end(track) <= absolute) ++track;
        return track;
    }
    bool operator==(const Toc& other) const {
        return entries.size() == other.entries.size() &&
               std::equal(entries.begin(), entries.end(), other.entries.begin(), [](const CR_TocEntry& a, const CR_TocEntry& b) {
                   return a.startSector == b.startSector && a.entryType == b.entryType && a.trackNumber == b.trackNumber;
               });
    }
};

// The whole disc as sound for the engine. Owns a disc handle of its own; the engine calls it from
// one thread at a time.
class DiscSource final : public audio::PcmSource {
public:
    DiscSource(const cdrip::CdRipApi& api, CR_Disc* disc, Toc toc) : api_(api), disc_(disc), toc_(std::move(toc)) {}
    ~DiscSource() override { api_.discClose(disc_); }

    int sampleRate() const override { return 44100; }
    int64_t lengthFrames() const override { return int64_t{toc_.discSectors()} * kFramesPerSector; }

    int64_t read(float* out, int64_t maxFrames, std::string* error) override {
        const int64_t length = lengthFrames();
        if (position_ >= length || maxFrames <= 0) return 0;
        const int64_t sector = position_ / kFramesPerSector;
        if (sector < bufferSector_ || sector >= bufferSector_ + bufferSectors_) {
            if (!fill(sector, error)) return -1;
        }
        const int64_t offsetFrames = position_ - bufferSector_ * kFramesPerSector;
        const int64_t available = int64_t{bufferSectors_} * kFramesPerSector - offsetFrames;
        const int64_t frames = std::min({maxFrames, available, length - position_});
        const int16_t* samples = buffer_.data() + offsetFrames * 2;
        for (int64_t i = 0; i < frames * 2; ++i) out[i] = static_cast<float>(samples[i]) / 32768.0f;
        position_ += frames;
        return frames;
    }

    bool seek(int64_t frame, std::string*) override {
        position_ = std::clamp<int64_t>(frame, 0, lengthFrames());
        return true;
    }

private:
    bool fill(int64_t sector, std::string* error) {
        const int32_t count = static_cast<int32_t>(std::min<int64_t>(kSectorsPerRead, toc_.discSectors() - sector));
        buffer_.resize(static_cast<std::size_t>(count) * kFramesPerSector * 2);
        const int32_t absolute = static_cast<int32_t>(sector) + toc_.first();
        if (api_.discReadAudio(disc_, absolute, count, buffer_.data()) != CR_OK) {
            bufferSectors_ = 0;
            if (error != nullptr) *error = "the CD cannot be read";
            return false;
        }
        // Data tracks are not sound: they play as silence.
        for (int32_t s = 0; s < count; ++s) {
            const int track = toc_.trackAt(sector + s);
            if (toc_.entries[static_cast<std::size_t>(track) - 1].entryType != 0) {
                std::memset(buffer_.data() + static_cast<std::ptrdiff_t>(s) * kFramesPerSector * 2, 0, kFramesPerSector * 4);
            }
        }
        // The disc's bytes are little-endian, as this machine's samples.
        bufferSector_ = sector;
        bufferSectors_ = count;
        return true;
    }

    const cdrip::CdRipApi& api_;
    CR_Disc* disc_;
    Toc toc_;
    std::vector<int16_t> buffer_;
    int64_t bufferSector_ = 0;
    int32_t bufferSectors_ = 0;
    int64_t position_ = 0;
};

// What the watcher thread and the commands share.
struct Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool ejectRequested = false;
    bool firstLook = false;  // set once the disc has been looked at
    bool finished = false;   // set when the watcher has let go of everything
    Toc toc;
    VoiceId voice = -1;
    std::shared_ptr<const audio::VoiceProbe> probe;
};

void watch(const cdrip::CdRipApi& api, std::string ini, int32_t drive, std::shared_ptr<Shared> shared) {
    CR_Disc* disc = api.discOpen(ini.c_str(), drive);
    Toc current;
    for (;;) {
        Toc seen;
        if (disc != nullptr) {
            std::vector<CR_TocEntry> entries(kMaxTracks + 1);
            const int32_t tracks = api.discReadToc(disc, entries.data(), kMaxTracks + 1);
            if (tracks > 0) {
                entries.resize(static_cast<std::size_t>(tracks) + 1);
                seen.entries = std::move(entries);
            }
        }
        if (!(seen == current)) {
            // A new disc, or none: the voice of the old one goes, one on the new disc is made here,
            // where waiting for its first reads keeps nobody waiting.
            VoiceId voice = -1;
            std::shared_ptr<const audio::VoiceProbe> probe;
            if (seen.tracks() > 0) {
                if (CR_Disc* reader = api.discOpen(ini.c_str(), drive)) {
                    std::string error;
                    voice = Engine::instance().openSource(std::make_unique<DiscSource>(api, reader, seen), &error);
                    if (voice >= 0) probe = Engine::instance().probe(voice);
                }
            }
            VoiceId old = -1;
            bool stopped = false;
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                stopped = shared->stop;
                if (!stopped) {
                    old = shared->voice;
                    shared->voice = voice;
                    shared->probe = probe;
                    shared->toc = voice >= 0 ? seen : Toc{};
                }
            }
            if (stopped) {  // the device was closed while the disc was read: nobody wants this voice
                if (voice >= 0) Engine::instance().close(voice);
                break;
            }
            if (old >= 0) Engine::instance().close(old);
            current = voice >= 0 ? seen : Toc{};
            if (voice < 0) seen = Toc{};
        }
        bool eject = false;
        {
            std::unique_lock<std::mutex> lock(shared->mutex);
            shared->firstLook = true;
            shared->wake.notify_all();
            shared->wake.wait_for(lock, std::chrono::seconds(1), [&] { return shared->stop || shared->ejectRequested; });
            if (shared->stop) break;
            eject = shared->ejectRequested;
            shared->ejectRequested = false;
        }
        if (eject && disc != nullptr) api.discEject(disc);
    }
    VoiceId last = -1;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        last = shared->voice;
        shared->voice = -1;
    }
    if (last >= 0) Engine::instance().close(last);
    if (disc != nullptr) api.discClose(disc);
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->finished = true;
    }
    shared->wake.notify_all();
}

class CdAudioDevice final : public Device {
public:
    CdAudioDevice(const cdrip::CdRipApi& api, std::string ini, int32_t drive, bool canEject)
        : api_(api), shared_(std::make_shared<Shared>()), canEject_(canEject) {
        timeFormat_ = TimeFormat::Milliseconds;
        watcher_ = std::thread(watch, std::cref(api_), std::move(ini), drive, shared_);
        // A disc already in the drive (an image) is usually known at once; a drive that spins up
        // is not waited for beyond a moment, and is looked at again every second.
        std::unique_lock<std::mutex> lock(shared_->mutex);
        shared_->wake.wait_for(lock, kFirstLookWait, [this] { return shared_->firstLook; });
    }
    ~CdAudioDevice() override {
        VoiceId voice = -1;
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            shared_->stop = true;
            voice = shared_->voice;
            shared_->voice = -1;
        }
        shared_->wake.notify_all();
        if (voice >= 0) Engine::instance().close(voice);  // silent now, whatever the drive does
        // A watcher inside a slow drive call is not waited for: it ends by itself when the call
        // returns, with what it shares kept alive for it.
        std::unique_lock<std::mutex> lock(shared_->mutex);
        const bool finished = shared_->wake.wait_for(lock, kFirstLookWait, [this] { return shared_->finished; });
        lock.unlock();
        if (finished) {
            watcher_.join();
        } else {
            watcher_.detach();
        }
    }

    MciError play(std::optional<int64_t> from, std::optional<int64_t> to) override {
        Snapshot s = snapshot();
        if (s.voice < 0) return kErrNoMedia;
        const int64_t length = s.lengthMs();
        if ((from && (*from < 0 || *from > length)) || (to && (*to < 0 || *to > length))) return kErrOutOfRange;
        if (from && to && *to < *from) return kErrOutOfRange;
        std::string message;
        return Engine::instance().play(s.voice, from.value_or(-1), to.value_or(-1), &message) ? kOk : kErrOutOfRange;
    }

    MciError pause() override {
        Snapshot s = snapshot();
        if (s.voice < 0) return kErrNoMedia;
        if (s.probe->mode() == VoiceMode::Playing) Engine::instance().pause(s.voice);
        return kOk;
    }

    MciError resume() override {
        Snapshot s = snapshot();
        if (s.voice < 0) return kErrNoMedia;
        if (s.probe->mode() == VoiceMode::Paused) Engine::instance().resume(s.voice);
        return kOk;
    }

    MciError stop() override {
        Snapshot s = snapshot();
        if (s.voice < 0) return kErrNoMedia;
        Engine::instance().stop(s.voice);
        return kOk;
    }

    MciError seek(SeekTarget target, int64_t position) override {
        Snapshot s = snapshot();
        if (s.voice < 0) return kErrNoMedia;
        const int64_t length = s.lengthMs();
        int64_t ms = target == SeekTarget::Start ? 0 : target == SeekTarget::End ? length : position;
        if (ms < 0 || ms > length) return kErrOutOfRange;
        std::string message;
        return Engine::instance().seek(s.voice, ms, &message) ? kOk : kErrOutOfRange;
    }

    MciError status(StatusItem item, int64_t track, StatusValue* value) override {
        Snapshot s = snapshot();
        if (item == StatusItem::MediaPresent) {
            value->setBoolean(s.voice >= 0);
            return kOk;
        }
        if (item == StatusItem::Ready) {
            value->setBoolean(s.voice >= 0);
            return kOk;
        }
        if (item == StatusItem::Mode) {
            if (s.voice < 0) {
                value->setText("not ready");
                return kOk;
            }
            switch (s.probe->mode()) {
                case VoiceMode::Playing: value->setText("playing"); break;
                case VoiceMode::Paused: value->setText("paused"); break;
                case VoiceMode::Stopped: value->setText("stopped"); break;
            }
            return kOk;
        }
        if (s.voice < 0) return kErrNoMedia;
        const Toc& toc = s.toc;
        if (track > toc.tracks()) return kErrOutOfRange;
        std::string text;
        switch (item) {
            case StatusItem::NumberOfTracks: value->setInteger(toc.tracks()); return kOk;
            case StatusItem::CurrentTrack: value->setInteger(toc.trackAt(sectorOfMs(s.positionMs()))); return kOk;
            case StatusItem::Length:
                lengthText(track > 0 ? toc.end(static_cast<int>(track)) - toc.start(static_cast<int>(track)) : toc.discSectors(), &text);
                value->setText(text);
                return kOk;
            case StatusItem::Position:
            case StatusItem::StartPosition: {
                const int64_t ms = track > 0 ? msOfSector(toc.start(static_cast<int>(track)) - toc.first())
                                   : item == StatusItem::StartPosition ? 0
                                                                       : s.positionMs();
                formatTime(ms, &text);  // the snapshot's table is the one in use
                value->setText(text);
                return kOk;
            }
            case StatusItem::TrackType:
                value->setText(toc.entries[static_cast<std::size_t>(track) - 1].entryType == 0 ? "audio" : "other");
                return kOk;
            case StatusItem::Speed:
            case StatusItem::Volume:
            case StatusItem::LeftVolume:
            case StatusItem::RightVolume: {
                Engine& engine = Engine::instance();
                const int left = engine.volumeLeft(s.voice);
                const int right = engine.volumeRight(s.voice);
                value->setInteger(item == StatusItem::Speed       ? engine.speed(s.voice)
                                  : item == StatusItem::LeftVolume  ? left
                                  : item == StatusItem::RightVolume ? right
                                                                    : (left + right) / 2);
                return kOk;
            }
            default: return kErrUnknownStatusItem;
        }
    }

    MciError setDoor(bool open) override {
        if (!open) return kOk;  // trays close by hand
        if (!canEject_) return kErrUnsupportedCommand;
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            shared_->ejectRequested = true;
        }
        shared_->wake.notify_all();
        return kOk;
    }

    MciError setAudioVolume(AudioSide side, int64_t volume) override {
        Snapshot s = snapshot();
        if (s.voice < 0) return kErrNoMedia;
        if (volume < 0 || volume > 1000) return kErrOutOfRange;
        Engine& engine = Engine::instance();
        const int v = static_cast<int>(volume);
        engine.setVolume(s.voice, side == AudioSide::Right ? engine.volumeLeft(s.voice) : v,
                         side == AudioSide::Left ? engine.volumeRight(s.voice) : v);
        return kOk;
    }

    MciError setTimeFormat(TimeFormat format) override {
        if (format != TimeFormat::Milliseconds && format != TimeFormat::Tmsf && format != TimeFormat::Msf) {
            return kErrUnsupportedTimeFormat;
        }
        timeFormat_ = format;
        return kOk;
    }

    // tmsf: "t[:m[:s[:f]]]" within track t; msf: "m[:s[:f]]" of disc time; milliseconds.
    MciError parseTime(std::string_view text, int64_t* position) const override {
        if (timeFormat_ == TimeFormat::Milliseconds) return Device::parseTime(text, position);
        int64_t parts[4] = {0, 0, 0, 0};
        const int maxParts = timeFormat_ == TimeFormat::Tmsf ? 4 : 3;
        int n = 0;
        std::size_t begin = 0;
        for (;;) {
            const std::size_t colon = text.find(':', begin);
            const std::string_view part = text.substr(begin, colon == std::string_view::npos ? std::string_view::npos : colon - begin);
            if (n == maxParts || !parseInteger(part, &parts[n]) || parts[n] < 0) return kErrBadNumber;
            ++n;
            if (colon == std::string_view::npos) break;
            begin = colon + 1;
        }
        const Toc toc = snapshot().toc;
        if (toc.tracks() == 0) return kErrNoMedia;
        int64_t sector = 0;
        if (timeFormat_ == TimeFormat::Tmsf) {
            if (parts[0] < 1 || parts[0] > toc.tracks()) return kErrOutOfRange;
            sector = toc.start(static_cast<int>(parts[0])) - toc.first() + parts[1] * 4500 + parts[2] * 75 + parts[3];
        } else {
            sector = parts[0] * 4500 + parts[1] * 75 + parts[2] - 150 - toc.first();
        }
        *position = msOfSector(sector);
        return kOk;
    }

    void formatTime(int64_t position, std::string* out) const override {
        if (timeFormat_ == TimeFormat::Milliseconds) return Device::formatTime(position, out);
        const Toc toc = snapshot().toc;
        char text[48];
        if (toc.tracks() == 0) {
            out->assign(timeFormat_ == TimeFormat::Tmsf ? "00:00:00:00" : "00:00:00");
            return;
        }
        const int64_t sector = std::clamp<int64_t>(sectorOfMs(position), 0, toc.discSectors());
        if (timeFormat_ == TimeFormat::Tmsf) {
            const int track = toc.trackAt(sector);
            const int64_t within = sector + toc.first() - toc.start(track);
            std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", track, static_cast<int>(within / 4500),
                          static_cast<int>(within / 75 % 60), static_cast<int>(within % 75));
        } else {
            const int64_t disc = sector + toc.first() + 150;
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(disc / 4500), static_cast<int>(disc / 75 % 60),
                          static_cast<int>(disc % 75));
        }
        out->assign(text);
    }

private:
    struct Snapshot {
        VoiceId voice = -1;
        std::shared_ptr<const audio::VoiceProbe> probe;
        Toc toc;
        // As the engine counts it: whole milliseconds of the disc's frames.
        int64_t lengthMs() const { return int64_t{toc.discSectors()} * 40 / 3; }
        int64_t positionMs() const { return probe ? std::max<int64_t>(probe->positionMs(), 0) : 0; }
    };

    Snapshot snapshot() const {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        return Snapshot{shared_->voice, shared_->probe, shared_->toc};
    }

    // A length as "mm:ss:ff" in tmsf and msf, else milliseconds.
    void lengthText(int64_t sectors, std::string* out) const {
        if (timeFormat_ == TimeFormat::Milliseconds) return writeDecimal(sectors * 40 / 3, out);
        char text[40];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(sectors / 4500), static_cast<int>(sectors / 75 % 60),
                      static_cast<int>(sectors % 75));
        out->assign(text);
    }

    const cdrip::CdRipApi& api_;
    std::shared_ptr<Shared> shared_;
    bool canEject_;
    std::thread watcher_;
};

}  // namespace

std::unique_ptr<Device> openCdAudioDevice(const OpenRequest& request, MciError* error) {
    const cdrip::CdRipApi* api = cdrip::cdRipApi();
    if (api == nullptr) {
        *error = kErrDeviceFailed;
        return nullptr;
    }
    // The drive named by number, else the first drive of the ripping library's list: the
    // machine's first CD drive, else the first disc image.
    int32_t drive = 0;
    if (!request.element.empty()) {
        int64_t number = 0;
        if (!parseInteger(request.element, &number)) {
            *error = kErrBadNumber;
            return nullptr;
        }
        if (number < 1 || number > kMaxDrives) {
            *error = kErrDeviceNotReady;
            return nullptr;
        }
        drive = static_cast<int32_t>(number - 1);
    }
    const std::string ini = cdrip::cdRipSettingsPath();
    CR_Disc* probe = api->discOpen(ini.c_str(), drive);
    if (probe == nullptr) {
        *error = kErrDeviceNotReady;
        return nullptr;
    }
    const bool canEject = api->discCanEject(probe) != 0;
    api->discClose(probe);
    return std::make_unique<CdAudioDevice>(*api, ini, drive, canEject);
}

}  // namespace brisko::mci
