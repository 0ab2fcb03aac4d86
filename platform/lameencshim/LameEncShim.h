// The C interface of liblameencshim: an MP3 encoder stream over libmp3lame in the shape of the LAME
// encoder's stream interface for dynamic libraries (the five be* calls plus beWriteInfoTag).
// The records are packed little-endian byte layouts; callers and the library share this header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brisko::lameenc {

// Result codes of every call.
enum : uint32_t {
    kOk = 0,
    kErrInvalidFormat = 1,
    kErrInvalidFormatParameters = 2,
    kErrNoMoreHandles = 3,
    kErrInvalidHandle = 4,
    kErrBufferTooSmall = 5,
};

inline constexpr uint32_t kConfigLame = 256;   // configuration kind: the LAME record below
inline constexpr uint32_t kConfigVersion = 1;  // structure version
inline constexpr int kConfigSize = 331;
inline constexpr int kVersionSize = 265;

// Channel modes of the record.
enum : int32_t { kModeStereo = 0, kModeJointStereo = 1, kModeDualChannel = 2, kModeMono = 3 };

// Quality preset codes of the record (see the mapping in LameEncShim.cpp).
enum : int32_t {
    kPresetNone = -1, kPresetNormal = 0, kPresetLow = 1, kPresetHigh = 2, kPresetVoice = 3,
    kPresetR3mix = 4, kPresetVeryHigh = 5, kPresetStandard = 6, kPresetFastStandard = 7,
    kPresetExtreme = 8, kPresetFastExtreme = 9, kPresetInsane = 10, kPresetAbr = 11,
    kPresetCbr = 12, kPresetMedium = 13, kPresetFastMedium = 14,
};

// Variable-bit-rate methods of the record.
enum : int32_t { kVbrMethodNone = -1, kVbrMethodDefault = 0, kVbrMethodOld = 1, kVbrMethodNew = 2,
                 kVbrMethodMtrh = 3, kVbrMethodAbr = 4 };

#pragma pack(push, 1)
struct Config {
    uint32_t configKind = kConfigLame;
    uint32_t structVersion = kConfigVersion;
    uint32_t structSize = kConfigSize;
    uint32_t sampleRate = 44100;     // input samples per second
    uint32_t reSampleRate = 0;       // output samples per second; 0 = the encoder decides
    int32_t mode = kModeJointStereo;
    uint32_t bitrate = 128;          // kbit/s; the minimum when variable
    uint32_t maxBitrate = 0;         // kbit/s when variable; 0 = the encoder decides
    int32_t preset = kPresetR3mix;
    uint32_t mpegVersion = 1;        // 1 = MPEG-1, 0 = MPEG-2 (half the sample rate)
    uint32_t psyModel = 0;           // accepted and ignored: libmp3lame has one model
    uint32_t emphasis = 0;
    int32_t privateBit = 0;
    int32_t crc = 0;
    int32_t copyright = 0;
    int32_t original = 1;
    int32_t writeVbrHeader = 1;      // reserve the first frame for the Xing/LAME tag
    int32_t enableVbr = 0;
    int32_t vbrQuality = 0;          // 0 (best) .. 9
    uint32_t vbrAbrBps = 0;          // mean bit rate of ABR in bit/s; 0 = use bitrate
    int32_t vbrMethod = kVbrMethodDefault;
    int32_t noBitReservoir = 1;
    int32_t strictIso = 0;
    uint16_t quality = 0;            // low byte 0..9, used only when the high byte is its complement
    uint8_t reserved[237] = {};
};

struct Version {
    uint8_t dllMajorVersion = 0;
    uint8_t dllMinorVersion = 0;
    uint8_t majorVersion = 0;        // of the encoder engine
    uint8_t minorVersion = 0;
    uint8_t day = 0;                 // release date of the library
    uint8_t month = 0;
    uint16_t year = 0;
    char homePage[129] = {};         // NUL-terminated
    uint8_t alphaLevel = 0;
    uint8_t betaLevel = 0;
    uint8_t mmxEnabled = 0;
    uint8_t reserved[125] = {};
};
#pragma pack(pop)

static_assert(sizeof(Config) == kConfigSize);
static_assert(offsetof(Config, sampleRate) == 12 && offsetof(Config, mode) == 20);
static_assert(offsetof(Config, preset) == 32 && offsetof(Config, mpegVersion) == 36);
static_assert(offsetof(Config, original) == 60 && offsetof(Config, writeVbrHeader) == 64);
static_assert(offsetof(Config, enableVbr) == 68 && offsetof(Config, noBitReservoir) == 84);
static_assert(offsetof(Config, strictIso) == 88 && offsetof(Config, quality) == 92);
static_assert(offsetof(Config, reserved) == 94);
static_assert(sizeof(Version) == kVersionSize);
static_assert(offsetof(Version, year) == 6 && offsetof(Version, homePage) == 8);
static_assert(offsetof(Version, alphaLevel) == 137 && offsetof(Version, reserved) == 140);

using StreamHandle = uint32_t;  // 0 = none

}  // namespace brisko::lameenc

// The library's exports. Samples are interleaved 16-bit stereo, counted over both channels.
// beInitStream: opens a stream for CONFIG; fills the samples one beEncodeChunk call takes, the
//   output buffer size one call may fill, and the handle.
// beEncodeChunk: encodes SAMPLES samples (at most the samples per chunk) into OUTPUT.
// beDeinitStream: flushes the last frames into OUTPUT; the stream stays open for beWriteInfoTag.
// beWriteInfoTag: writes the final Xing/LAME tag frame over the placeholder first frame of the
//   finished file NAME (after beDeinitStream and after the file is closed). Does nothing when the
//   stream was opened without the variable-bit-rate header. Does not close the stream.
// beCloseStream: releases the stream.
// beVersion: fills the version record.
extern "C" {
uint32_t beInitStream(const brisko::lameenc::Config* config, uint32_t* samplesPerChunk,
                      uint32_t* outputBufferSize, brisko::lameenc::StreamHandle* handle);
uint32_t beEncodeChunk(brisko::lameenc::StreamHandle handle, uint32_t samples, const int16_t* input,
                       uint8_t* output, uint32_t* outputBytes);
uint32_t beDeinitStream(brisko::lameenc::StreamHandle handle, uint8_t* output, uint32_t* outputBytes);
uint32_t beCloseStream(brisko::lameenc::StreamHandle handle);
uint32_t beVersion(brisko::lameenc::Version* version);
uint32_t beWriteInfoTag(brisko::lameenc::StreamHandle handle, const char* fileName);
}
