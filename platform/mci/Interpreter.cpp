// mciSendString: parses a command string, finds the alias's device and carries the command out.
// The alias table and the device registry are process-wide and guarded by one mutex, held only to
// look up, enter or remove an alias: each alias has a lock of its own for its commands, so that
// slow work on one alias (an open, a seek that decodes, a wait for a length) never holds up a
// command on another. Each thread remembers the aliases it used last, so that the frequent
// commands (a status query per deck per tick) take neither the table's lock nor a reference count,
// and the status commands it sent, parsed, so that a repeated query is not split or parsed again.
// Words are views into the command, and numbers are formatted on the stack.
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/mci/CommandWords.h"
#include "platform/mci/Device.h"
#include "platform/mci/Mci.h"
#ifdef BRISKO_MCI_WITH_ENGINE
#include "platform/mci/MpegVideoDevice.h"
#include "platform/mci/CdAudioDevice.h"
#endif

namespace brisko::mci {

namespace {

// Aliases and type names compare without regard to ASCII case: the tables hold lower-case keys
// and lookups lower-case the name first (on the stack for the usual short names).
struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

template <typename Value>
class CaselessMap {
public:
    using Map = std::unordered_map<std::string, Value, KeyHash, std::equal_to<>>;
    using iterator = typename Map::iterator;

    iterator find(std::string_view name) {
        char buffer[64];
        if (name.size() <= sizeof(buffer)) {
            for (std::size_t i = 0; i < name.size(); ++i) buffer[i] = lowerAscii(name[i]);
            return map_.find(std::string_view(buffer, name.size()));
        }
        std::string key(name);
        for (char& c : key) c = lowerAscii(c);
        return map_.find(std::string_view(key));
    }

    iterator end() { return map_.end(); }
    iterator begin() { return map_.begin(); }
    void erase(iterator it) { map_.erase(it); }
    void clear() { map_.clear(); }
    // KEY must be lower case.
    void put(std::string key, Value value) { map_.insert_or_assign(std::move(key), std::move(value)); }

private:
    Map map_;
};

struct Registration {
    DeviceFactory factory;
    bool needsElement = false;
};

// The lock of one alias. Taken by every command and nearly always free: then taking and leaving
// it are one atomic instruction each, inline. A command that finds it held sleeps until it is
// left (0 free, 1 held, 2 held with someone waiting).
class AliasLock {
public:
    void lock() {
        int expected = 0;
        if (!state_.compare_exchange_strong(expected, 1, std::memory_order_acquire))
            lockContended();
    }
    void unlock() {
        if (state_.exchange(0, std::memory_order_release) == 2) state_.notify_one();
    }

private:
    void lockContended() {
        while (state_.exchange(2, std::memory_order_acquire) != 0)
            state_.wait(2, std::memory_order_relaxed);
    }
    std::atomic<int> state_{0};
};

// One open alias: its device and the lock its commands take. A close takes the entry out of the
// table and then empties it under its lock; an entry never returns to the table once out.
struct Entry {
    AliasLock mutex;
    std::unique_ptr<Device> device;  // null once closed

    ~Entry() {
        // The last holder closes the device, after any command on it has finished.
        std::lock_guard<AliasLock> lock(mutex);
        device.reset();
    }
};
using EntryPtr = std::shared_ptr<Entry>;

struct State {
    std::mutex mutex;
    CaselessMap<EntryPtr> aliases;
    CaselessMap<Registration> types;

    State() {
#ifdef BRISKO_MCI_WITH_ENGINE
        types.put(std::string(kDefaultFileDeviceType), Registration{&openMpegVideoDevice, true});
        types.put("cdaudio", Registration{&openCdAudioDevice, false});
#endif
    }
};

// The aliases this thread used last, by a small hash of the name. A remembered entry stays valid
// while it is open (it holds its device): the name then still leads to it in the table, since an
// alias is entered only when its name is free. The reference held here keeps an entry that
// another thread closes meanwhile alive until this thread next looks, so a command that found it
// here finds it emptied under its lock, never freed.
class RecentAliases {
public:
    // The entry remembered for NAME, or null.
    Entry* find(std::string_view name) {
        Slot& slot = slots_[slotFor(name)];
        if (slot.entry == nullptr || !equalsIgnoringCase(name, slot.key)) return nullptr;
        return slot.entry.get();
    }
    // KEY is the name in lower case.
    void remember(std::string_view key, const EntryPtr& entry) {
        Slot& slot = slots_[slotFor(key)];
        slot.key.assign(key);
        slot.entry = entry;
    }
    void forget(std::string_view name) {
        Slot& slot = slots_[slotFor(name)];
        slot.key.clear();
        slot.entry.reset();
    }

    // Set while a command found here runs: a command sent from inside it (a device that sends
    // commands of its own) must not drop the reference the outer command relies on.
    bool busy = false;

private:
    static constexpr std::size_t kSlots = 16;
    // The length and the last two characters: aliases mostly differ at their end ("deck7").
    static std::size_t slotFor(std::string_view name) {
        const std::size_t n = name.size();
        if (n == 0) return 0;
        const auto last = static_cast<unsigned char>(lowerAscii(name[n - 1]));
        const auto before = n > 1 ? static_cast<unsigned char>(lowerAscii(name[n - 2])) : 0u;
        return (last + before * 5 + n * 3) % kSlots;
    }

    struct Slot {
        std::string key;
        EntryPtr entry;
    };
    Slot slots_[kSlots];
};

thread_local RecentAliases recentAliases;

// Never destroyed: devices may hold engine voices, and the engine may be gone at exit.
State& state() {
    static State* s = new State;
    return *s;
}

std::string lowerCopy(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

// Everything after index FROM must be a flag.
MciError onlyFlagsFrom(const CommandWords& w, int from) {
    for (int i = from; i < w.size(); ++i) {
        if (!isFlag(w[i])) return kErrUnknownKeyword;
    }
    return kOk;
}

MciError parseTimeFormat(const Word& word, TimeFormat* format) {
    if (isKeyword(word, "ms") || isKeyword(word, "milliseconds")) *format = TimeFormat::Milliseconds;
    else if (isKeyword(word, "frames")) *format = TimeFormat::Frames;
    else if (isKeyword(word, "tmsf")) *format = TimeFormat::Tmsf;
    else if (isKeyword(word, "msf")) *format = TimeFormat::Msf;
    else if (isKeyword(word, "hms")) *format = TimeFormat::Hms;
    else if (isKeyword(word, "samples")) *format = TimeFormat::Samples;
    else if (isKeyword(word, "bytes")) *format = TimeFormat::Bytes;
    else return kErrUnknownTimeFormat;
    return kOk;
}

std::string_view timeFormatName(TimeFormat format) {
    switch (format) {
        case TimeFormat::Milliseconds: return "milliseconds";
        case TimeFormat::Frames: return "frames";
        case TimeFormat::Tmsf: return "tmsf";
        case TimeFormat::Msf: return "msf";
        case TimeFormat::Hms: return "hms";
        case TimeFormat::Samples: return "samples";
        case TimeFormat::Bytes: return "bytes";
    }
    return "milliseconds";
}

// Runs RUN on the device of the alias NAME under the alias's own lock; NOTOPEN when no such
// alias is open. Looks among this thread's remembered aliases first.
template <typename Run>
MciError withDevice(State& s, std::string_view name, Run run) {
    RecentAliases& recent = recentAliases;
    if (!recent.busy) {
        if (Entry* entry = recent.find(name)) {
            std::lock_guard<AliasLock> lock(entry->mutex);
            // Still open, so still the alias's entry; once closed, the name may already stand
            // for a new one: look again.
            if (entry->device) {
                recent.busy = true;
                struct Done {
                    RecentAliases& recent;
                    ~Done() { recent.busy = false; }
                } done{recent};
                return run(*entry->device);
            }
        }
    }
    EntryPtr entry;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto found = s.aliases.find(name);
        if (found == s.aliases.end()) {
            if (!recent.busy) recent.forget(name);
            return kErrNotOpen;
        }
        entry = found->second;
        if (!recent.busy) recent.remember(found->first, entry);
    }
    // ENTRY is held here: a command sent from inside this one cannot free it.
    std::lock_guard<AliasLock> lock(entry->mutex);
    if (!entry->device) return kErrNotOpen;
    return run(*entry->device);
}

// What a status command asks, as parsed from its words.
struct StatusQuery {
    StatusItem item = StatusItem::Mode;
    int64_t track = 0;
    bool timeFormat = false;  // "time format": the alias's time format, kept by the interpreter
};

// Answers QUERY from DEVICE into *REPLY (when not null).
MciError answerStatus(Device& device, const StatusQuery& query, std::string* reply) {
    if (query.timeFormat) {
        if (reply != nullptr) reply->assign(timeFormatName(device.timeFormat()));
        return kOk;
    }
    StatusValue value;
    if (const MciError e = device.status(query.item, query.track, &value); e != kOk) return e;
    if (reply == nullptr) return kOk;
    switch (value.kind) {
        case StatusValue::Kind::Integer:
            writeDecimal(value.number, reply);
            break;
        case StatusValue::Kind::Boolean:
            reply->assign(value.flag ? "true" : "false");
            break;
        case StatusValue::Kind::Text:
            reply->assign(value.text, value.textLength);
            break;
        case StatusValue::Kind::Time:
            device.formatTime(value.number, reply);
            break;
    }
    return kOk;
}

// The status commands this thread sent lately, parsed, by a hash of the whole text: a deck's
// tick sends the same few strings again and again, and a string seen before is neither split
// nor parsed again. What a status command asks depends on its text alone; the alias in it is
// looked up each time.
class RecentStatusCommands {
public:
    struct Parsed {
        StatusQuery query;
        uint32_t aliasOffset = 0;  // where the alias's name stands in the command
        uint32_t aliasLength = 0;
    };

    const Parsed* find(std::string_view command) const {
        const Slot& slot = slots_[slotFor(command)];
        if (slot.command.empty() || slot.command != command) return nullptr;
        return &slot.parsed;
    }
    void remember(std::string_view command, const Parsed& parsed) {
        if (command.size() > kLongest) return;
        Slot& slot = slots_[slotFor(command)];
        slot.command.assign(command);
        slot.parsed = parsed;
    }

private:
    static constexpr std::size_t kSlots = 64;
    static constexpr std::size_t kLongest = 96;
    // Eight bytes at a time, the last block overlapping the one before.
    static std::size_t slotFor(std::string_view text) {
        const std::size_t n = text.size();
        uint64_t h = n * 0x9e3779b97f4a7c15ull;
        if (n >= 8) {
            for (std::size_t i = 0; i + 8 < n; i += 8)
                h = (h ^ detail::load8(text.data() + i)) * 0xff51afd7ed558ccdull;
            h = (h ^ detail::load8(text.data() + n - 8)) * 0xff51afd7ed558ccdull;
        } else {
            for (std::size_t i = 0; i < n; ++i)
                h = (h ^ static_cast<unsigned char>(text[i])) * 0xff51afd7ed558ccdull;
        }
        return static_cast<std::size_t>(h >> 58) % kSlots;
    }

    struct Slot {
        std::string command;  // empty: unused (an empty command is never a status command)
        Parsed parsed;
    };
    Slot slots_[kSlots];
};

thread_local RecentStatusCommands recentStatusCommands;

class Interpreter {
public:
    Interpreter(State& s, std::string_view command, const CommandWords& w, std::string* reply)
        : s_(s), command_(command), w_(w), reply_(reply) {}

    MciError run() {
        const Word& verb = w_[0];
        if (isKeyword(verb, "status")) return deviceCommand(&Interpreter::status, false);
        if (isKeyword(verb, "open")) return open();
        if (isKeyword(verb, "close")) return close();
        if (isKeyword(verb, "play")) return deviceCommand(&Interpreter::play, false);
        if (isKeyword(verb, "pause")) return deviceCommand(&Interpreter::pause, true);
        if (isKeyword(verb, "resume")) return deviceCommand(&Interpreter::resume, true);
        if (isKeyword(verb, "stop")) return deviceCommand(&Interpreter::stop, true);
        if (isKeyword(verb, "seek")) return deviceCommand(&Interpreter::seek, false);
        if (isKeyword(verb, "set")) return deviceCommand(&Interpreter::set, false);
        if (isKeyword(verb, "setaudio")) return deviceCommand(&Interpreter::setaudio, false);
        return kErrUnknownCommand;
    }

private:
    using Action = MciError (Interpreter::*)(Device&);

    // Runs ACTION on ENTRY's device under the alias's own lock; NOTOPEN when it was closed
    // between the look-up and the lock.
    MciError onEntry(Entry& entry, Action action) {
        std::lock_guard<AliasLock> lock(entry.mutex);
        if (!entry.device) return kErrNotOpen;
        return (this->*action)(*entry.device);
    }

    // Commands addressed to one alias, or with ALL_ALLOWED to "all" of them.
    MciError deviceCommand(Action action, bool allAllowed) {
        if (w_.size() < 2 || isFlag(w_[1])) return kErrMissingDevice;
        if (isKeyword(w_[1], "all")) {
            if (!allAllowed) return kErrAllNotAllowed;
            std::vector<EntryPtr> all;
            {
                std::lock_guard<std::mutex> lock(s_.mutex);
                for (auto& entry : s_.aliases) all.push_back(entry.second);
            }
            MciError first = kOk;
            for (auto& entry : all) {
                const MciError e = onEntry(*entry, action);
                if (first == kOk) first = e;
            }
            return first;
        }
        return withDevice(s_, w_[1].text, [&](Device& device) { return (this->*action)(device); });
    }

    MciError open() {
        if (w_.size() < 2 || isFlag(w_[1])) return kErrMissingDevice;
        const Word& element = w_[1];
        const Word* type = nullptr;
        const Word* alias = nullptr;
        bool shareable = false;
        for (int i = 2; i < w_.size(); ++i) {
            const Word& word = w_[i];
            if (isFlag(word)) continue;
            if (isKeyword(word, "shareable")) {
                shareable = true;
                continue;
            }
            const bool takesValue = isKeyword(word, "type") || isKeyword(word, "alias") ||
                                    isKeyword(word, "parent") || isKeyword(word, "style");
            if (!takesValue) return kErrUnknownKeyword;
            if (i + 1 >= w_.size()) return kErrMissingParameter;
            const Word& value = w_[++i];
            if (isKeyword(word, "type")) {
                type = &value;
            } else if (isKeyword(word, "alias")) {
                alias = &value;
            } else if (isKeyword(word, "parent")) {
                int64_t handle = 0;
                if (!parseInteger(value.text, &handle)) return kErrBadNumber;
            } else {
                int64_t style = 0;
                const bool named = isKeyword(value, "child") || isKeyword(value, "popup") ||
                                   isKeyword(value, "overlapped");
                if (!named && !parseInteger(value.text, &style)) return kErrBadNumber;
            }
        }

        OpenRequest request;
        request.shareable = shareable;
        DeviceFactory factory;
        {
            std::lock_guard<std::mutex> lock(s_.mutex);
            if (const MciError e = prepareOpen(element, type, alias, &request, &factory); e != kOk) return e;
        }
        // The device opens outside the table's lock: an open that reads a slow medium holds up
        // no other alias. The alias is checked again on entering it.
        MciError error = kOk;
        std::unique_ptr<Device> device = factory(request, &error);
        if (!device) return error != kOk ? error : kErrDeviceFailed;
        auto entry = std::make_shared<Entry>();
        entry->device = std::move(device);
        {
            std::lock_guard<std::mutex> lock(s_.mutex);
            if (s_.aliases.find(request.alias) == s_.aliases.end()) {
                s_.aliases.put(lowerCopy(request.alias), std::move(entry));
                return kOk;
            }
        }
        return kErrAliasInUse;  // ENTRY closes the device here, outside the table's lock
    }

    // Finds the device type and the alias of an open; with the table's lock held.
    MciError prepareOpen(const Word& element, const Word* type, const Word* alias, OpenRequest* out,
                         DeviceFactory* factory) {
        OpenRequest& request = *out;
        const Registration* registration = nullptr;
        if (type != nullptr) {
            auto it = s_.types.find(type->text);
            if (it == s_.types.end()) return kErrUnknownDeviceType;
            registration = &it->second;
            request.typeName = it->first;
            request.element = std::string(element.text);
        } else if (auto it = element.quoted ? s_.types.end() : s_.types.find(element.text);
                   it != s_.types.end()) {
            // "open cdaudio ...": the element names the device type itself.
            registration = &it->second;
            request.typeName = it->first;
        } else {
            auto fallback = s_.types.find(kDefaultFileDeviceType);
            if (fallback == s_.types.end()) return kErrUnknownDeviceType;
            registration = &fallback->second;
            request.typeName = fallback->first;
            request.element = std::string(element.text);
        }
        if (registration->needsElement && request.element.empty()) {
            return element.quoted ? kErrFileNotFound : kErrNeedsElement;
        }

        if (alias != nullptr) request.alias = std::string(alias->text);
        else request.alias = request.element.empty() ? request.typeName : request.element;
        if (request.alias.empty()) return kErrMissingParameter;
        if (equalsIgnoringCase(request.alias, "all")) return kErrReservedAlias;
        if (s_.aliases.find(request.alias) != s_.aliases.end()) return kErrAliasInUse;
        *factory = registration->factory;
        return kOk;
    }

    MciError close() {
        if (w_.size() < 2 || isFlag(w_[1])) return kErrMissingDevice;
        if (const MciError e = onlyFlagsFrom(w_, 2); e != kOk) return e;
        // The entries leave the table under its lock and close outside it, each after any
        // command running on it.
        std::vector<EntryPtr> closing;
        {
            std::lock_guard<std::mutex> lock(s_.mutex);
            if (isKeyword(w_[1], "all")) {
                for (auto& entry : s_.aliases) closing.push_back(std::move(entry.second));
                s_.aliases.clear();
            } else {
                auto it = s_.aliases.find(w_[1].text);
                if (it == s_.aliases.end()) return kErrNotOpen;
                closing.push_back(std::move(it->second));
                s_.aliases.erase(it);
            }
        }
        for (auto& entry : closing) {
            std::lock_guard<AliasLock> lock(entry->mutex);
            entry->device.reset();
        }
        return kOk;
    }

    MciError play(Device& device) {
        std::optional<int64_t> from;
        std::optional<int64_t> to;
        for (int i = 2; i < w_.size(); ++i) {
            const Word& word = w_[i];
            if (isFlag(word)) continue;
            const bool isFrom = isKeyword(word, "from");
            if (!isFrom && !isKeyword(word, "to")) return kErrUnknownKeyword;
            if (i + 1 >= w_.size()) return kErrMissingParameter;
            int64_t value = 0;
            if (const MciError e = device.parseTime(w_[++i].text, &value); e != kOk) return e;
            (isFrom ? from : to) = value;
        }
        return device.play(from, to);
    }

    MciError pause(Device& device) {
        if (const MciError e = onlyFlagsFrom(w_, 2); e != kOk) return e;
        return device.pause();
    }
    MciError resume(Device& device) {
        if (const MciError e = onlyFlagsFrom(w_, 2); e != kOk) return e;
        return device.resume();
    }
    MciError stop(Device& device) {
        if (const MciError e = onlyFlagsFrom(w_, 2); e != kOk) return e;
        return device.stop();
    }

    MciError seek(Device& device) {
        SeekTarget target = SeekTarget::Position;
        int64_t position = 0;
        bool haveTarget = false;
        for (int i = 2; i < w_.size(); ++i) {
            const Word& word = w_[i];
            if (isFlag(word)) continue;
            if (!isKeyword(word, "to")) return kErrUnknownKeyword;
            if (i + 1 >= w_.size()) return kErrMissingParameter;
            const Word& value = w_[++i];
            if (isKeyword(value, "start")) {
                target = SeekTarget::Start;
            } else if (isKeyword(value, "end")) {
                target = SeekTarget::End;
            } else {
                target = SeekTarget::Position;
                if (const MciError e = device.parseTime(value.text, &position); e != kOk) return e;
            }
            haveTarget = true;
        }
        if (!haveTarget) return kErrMissingParameter;
        return device.seek(target, position);
    }

    // Parses and answers a status query, and remembers what the text asked.
    MciError status(Device& device) {
        StatusQuery query;
        if (const MciError e = parseStatus(&query); e != kOk) return e;
        RecentStatusCommands::Parsed parsed;
        parsed.query = query;
        parsed.aliasOffset = static_cast<uint32_t>(w_[1].text.data() - command_.data());
        parsed.aliasLength = static_cast<uint32_t>(w_[1].text.size());
        recentStatusCommands.remember(command_, parsed);
        return answerStatus(device, query, reply_);
    }

    MciError parseStatus(StatusQuery* query) {
        const Word* item[4];
        int n = 0;
        for (int i = 2; i < w_.size(); ++i) {
            if (isFlag(w_[i])) continue;
            if (n == 4) return kErrUnknownStatusItem;
            item[n++] = &w_[i];
        }
        if (n == 0) return kErrUnknownStatusItem;

        StatusItem which;
        int64_t track = 0;
        auto is = [&](int k, std::string_view keyword) __attribute__((always_inline)) {
            return k < n && isKeyword(*item[k], keyword);
        };
        auto trackNumber = [&](int k) -> MciError {
            if (k >= n) return kErrMissingParameter;
            if (!parseInteger(item[k]->text, &track)) return kErrBadNumber;
            if (track < 1) return kErrOutOfRange;
            return kOk;
        };
        int used = 1;
        if (is(0, "position")) {
            which = StatusItem::Position;
            if (is(1, "track")) {
                if (const MciError e = trackNumber(2); e != kOk) return e;
                used = 3;
            }
        } else if (is(0, "mode")) {
            which = StatusItem::Mode;
        } else if (is(0, "length")) {
            which = StatusItem::Length;
            if (is(1, "track")) {
                if (const MciError e = trackNumber(2); e != kOk) return e;
                used = 3;
            }
        } else if (is(0, "speed")) {
            which = StatusItem::Speed;
        } else if (is(0, "volume")) {
            which = StatusItem::Volume;
        } else if (is(0, "left") && is(1, "volume")) {
            which = StatusItem::LeftVolume;
            used = 2;
        } else if (is(0, "right") && is(1, "volume")) {
            which = StatusItem::RightVolume;
            used = 2;
        } else if (is(0, "number") && is(1, "of") && is(2, "tracks")) {
            which = StatusItem::NumberOfTracks;
            used = 3;
        } else if (is(0, "media") && is(1, "present")) {
            which = StatusItem::MediaPresent;
            used = 2;
        } else if (is(0, "current") && is(1, "track")) {
            which = StatusItem::CurrentTrack;
            used = 2;
        } else if (is(0, "ready")) {
            which = StatusItem::Ready;
        } else if (is(0, "output")) {
            which = StatusItem::Output;
        } else if (is(0, "start") && is(1, "position")) {
            which = StatusItem::StartPosition;
            used = 2;
        } else if (is(0, "type") && is(1, "track")) {
            which = StatusItem::TrackType;
            if (const MciError e = trackNumber(2); e != kOk) return e;
            used = 3;
        } else if (is(0, "time") && is(1, "format")) {
            if (n != 2) return kErrUnknownStatusItem;
            query->timeFormat = true;
            return kOk;
        } else {
            return kErrUnknownStatusItem;
        }
        if (used != n) return kErrUnknownStatusItem;
        query->item = which;
        query->track = track;
        return kOk;
    }

    MciError set(Device& device) {
        bool any = false;
        for (int i = 2; i < w_.size(); ++i) {
            const Word& word = w_[i];
            if (isFlag(word)) continue;
            any = true;
            if (isKeyword(word, "time")) {
                if (i + 2 >= w_.size()) return kErrMissingParameter;
                if (!isKeyword(w_[i + 1], "format")) return kErrUnknownKeyword;
                TimeFormat format;
                if (const MciError e = parseTimeFormat(w_[i + 2], &format); e != kOk) return e;
                i += 2;
                if (const MciError e = device.setTimeFormat(format); e != kOk) return e;
            } else if (isKeyword(word, "speed")) {
                if (i + 1 >= w_.size()) return kErrMissingParameter;
                int64_t speed = 0;
                if (!parseInteger(w_[++i].text, &speed)) return kErrBadNumber;
                if (const MciError e = device.setSpeed(speed); e != kOk) return e;
            } else if (isKeyword(word, "door")) {
                if (i + 1 >= w_.size()) return kErrMissingParameter;
                const Word& state = w_[++i];
                bool open;
                if (isKeyword(state, "open")) open = true;
                else if (isKeyword(state, "closed")) open = false;
                else return kErrUnknownKeyword;
                if (const MciError e = device.setDoor(open); e != kOk) return e;
            } else if (isKeyword(word, "output")) {
                if (i + 1 >= w_.size()) return kErrMissingParameter;
                const Word& bus = w_[++i];
                bool cue;
                if (isKeyword(bus, "cue")) cue = true;
                else if (isKeyword(bus, "air")) cue = false;
                else return kErrUnknownKeyword;
                if (const MciError e = device.setOutput(cue); e != kOk) return e;
            } else {
                return kErrUnknownKeyword;
            }
        }
        return any ? kOk : kErrMissingParameter;
    }

    // setaudio ALIAS [left|right] volume to N
    MciError setaudio(Device& device) {
        AudioSide side = AudioSide::Both;
        bool sawVolume = false;
        bool haveValue = false;
        int64_t volume = 0;
        for (int i = 2; i < w_.size(); ++i) {
            const Word& word = w_[i];
            if (isFlag(word)) continue;
            if (!sawVolume && side == AudioSide::Both && isKeyword(word, "left")) {
                side = AudioSide::Left;
            } else if (!sawVolume && side == AudioSide::Both && isKeyword(word, "right")) {
                side = AudioSide::Right;
            } else if (!sawVolume && isKeyword(word, "volume")) {
                sawVolume = true;
            } else if (sawVolume && !haveValue && isKeyword(word, "to")) {
                if (i + 1 >= w_.size()) return kErrMissingParameter;
                if (!parseInteger(w_[++i].text, &volume)) return kErrBadNumber;
                haveValue = true;
            } else {
                return kErrUnknownKeyword;
            }
        }
        if (!sawVolume || !haveValue) return kErrMissingParameter;
        return device.setAudioVolume(side, volume);
    }

    State& s_;
    std::string_view command_;  // the words below are views into it
    const CommandWords& w_;
    std::string* reply_;
};

}  // namespace

void registerDeviceType(std::string_view typeName, DeviceFactory factory, bool needsElement) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.types.put(lowerCopy(typeName), Registration{std::move(factory), needsElement});
}

MciError mciSendString(const std::string& command, std::string* reply) {
    if (reply != nullptr) reply->clear();
    MciError result = kOk;
    try {
        if (const auto* parsed = recentStatusCommands.find(command)) {
            // A status command this thread sent before: only the alias is looked up again.
            const std::string_view alias(command.data() + parsed->aliasOffset, parsed->aliasLength);
            const StatusQuery query = parsed->query;
            result = withDevice(state(), alias,
                                [&](Device& device) { return answerStatus(device, query, reply); });
        } else {
            CommandWords words;
            result = words.split(command);
            if (result == kOk && words.size() == 0) result = kErrEmptyCommand;
            if (result == kOk) result = Interpreter(state(), command, words, reply).run();
        }
    } catch (...) {
        result = kErrInternal;
    }
    if (result != kOk && reply != nullptr) reply->clear();
    return result;
}

}  // namespace brisko::mci
