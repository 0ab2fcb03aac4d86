// The device seam of the media control interface: what one open alias can do, and the registry
// that maps a device type name ("mpegvideo", "cdaudio", ...) to a factory for such devices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/mci/MciErrors.h"

namespace brisko::mci {

enum class TimeFormat { Milliseconds, Frames, Tmsf, Msf, Hms, Samples, Bytes };

enum class StatusItem {
    Mode,            // "mode"
    Length,          // "length", or "length track N" when track > 0
    Position,        // "position", or "position track N" when track > 0
    Speed,           // "speed"
    Volume,          // "volume"
    LeftVolume,      // "left volume"
    RightVolume,     // "right volume"
    NumberOfTracks,  // "number of tracks"
    MediaPresent,    // "media present"
    CurrentTrack,    // "current track"
    Ready,           // "ready"
    StartPosition,   // "start position"
    TrackType,       // "type track N"
    Output,          // "output": "air", or "cue" for a pre-listen
};

enum class AudioSide { Both, Left, Right };

enum class SeekTarget { Position, Start, End };

// One status answer. The interpreter writes it as the reply: a decimal integer, "true"/"false",
// the text, or a time through Device::formatTime in the alias's current time format.
struct StatusValue {
    enum class Kind { Integer, Boolean, Text, Time };
    Kind kind = Kind::Integer;
    int64_t number = 0;
    bool flag = false;
    char text[48];  // the first textLength bytes; left uninitialised (answers are built often)
    std::size_t textLength = 0;

    void setInteger(int64_t v) { kind = Kind::Integer; number = v; }
    void setBoolean(bool v) { kind = Kind::Boolean; flag = v; }
    void setTime(int64_t v) { kind = Kind::Time; number = v; }
    void setText(std::string_view v);
};

// An open device instance behind one alias. Positions are in the device's own units; the default
// conversions below treat both "milliseconds" and "frames" as milliseconds (frame rate 1000).
// Calls on one alias come one at a time, under that alias's own lock; calls on different aliases may
// run at the same time on different threads, so a device shared between aliases guards its own state.
class Device {
public:
    virtual ~Device() = default;

    // Plays from FROM (or the current position) to TO (or the end).
    virtual MciError play(std::optional<int64_t> from, std::optional<int64_t> to) = 0;
    virtual MciError pause() = 0;
    virtual MciError resume() = 0;
    virtual MciError stop() = 0;
    // Moves to POSITION (target Position), the start or the end, and stops.
    virtual MciError seek(SeekTarget target, int64_t position) = 0;
    // TRACK is the N of "length track N" and similar items, 0 when the item names no track.
    virtual MciError status(StatusItem item, int64_t track, StatusValue* value) = 0;

    virtual MciError setSpeed(int64_t speed);
    virtual MciError setDoor(bool open);
    // "set ALIAS output cue|air": plays the alias on the cue (pre-listen) output or on air.
    virtual MciError setOutput(bool cue);
    virtual MciError setAudioVolume(AudioSide side, int64_t volume);

    // The time format in which positions are read and written for this alias.
    TimeFormat timeFormat() const { return timeFormat_; }
    virtual MciError setTimeFormat(TimeFormat format);
    // Reads a position written in the current time format.
    virtual MciError parseTime(std::string_view text, int64_t* position) const;
    // Writes a position in the current time format.
    virtual void formatTime(int64_t position, std::string* out) const;

protected:
    TimeFormat timeFormat_ = TimeFormat::Milliseconds;
};

struct OpenRequest {
    std::string element;  // the file (or drive) named in the command; "" for a plain device open
    std::string typeName; // as registered, lower case
    std::string alias;
    bool shareable = false;
};

using DeviceFactory = std::function<std::unique_ptr<Device>(const OpenRequest&, MciError* error)>;

// Registers (or replaces) a device type. A type that NEEDS_ELEMENT plays a file and refuses an open
// without one; the others ("cdaudio") open by their type name alone, as in "open cdaudio alias cd".
void registerDeviceType(std::string_view typeName, DeviceFactory factory, bool needsElement);

// The device type used for an "open" of a file without a "type" keyword.
inline constexpr std::string_view kDefaultFileDeviceType = "mpegvideo";

// Whole-number parsing shared by the interpreter and devices: optional sign, decimal digits, no
// overflow, nothing else.
bool parseInteger(std::string_view text, int64_t* value);
// Writes VALUE in decimal (with a minus sign when negative) as the whole of *OUT.
void writeDecimal(int64_t value, std::string* out);

}  // namespace brisko::mci
