// liblameencshim: the be* encoder stream calls over libmp3lame's public API. Each stream is one
// lame_global_flags behind a 32-bit handle; the configuration record is translated field by field
// and the quality preset code mapped onto libmp3lame's own settings (applyPreset below).
#include "platform/lameencshim/LameEncShim.h"

#include <fcntl.h>
#include <lame/lame.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

using namespace brisko::lameenc;

// One stream. The table holds one reference and every call in progress another, so a close on one
// thread while another thread is inside a call only drops the table's: the stream is freed by
// whichever lets go last. libmp3lame's state is not for two threads at once, so the calls on one
// stream take its lock.
struct Stream {
    std::mutex lock;
    lame_global_flags* gfp = nullptr;
    uint32_t samplesPerChunk = 0;   // over both channels
    uint32_t outputBufferSize = 0;
    ~Stream() {
        if (gfp != nullptr) lame_close(gfp);
    }
};

constexpr size_t kMaxStreams = 64;

std::mutex streamsMutex;
std::map<StreamHandle, std::shared_ptr<Stream>> streams;
StreamHandle nextHandle = 1;

std::shared_ptr<Stream> findStream(StreamHandle handle) {
    std::lock_guard lock(streamsMutex);
    const auto it = streams.find(handle);
    return it == streams.end() ? nullptr : it->second;
}

// libmp3lame is built for the baseline instruction set: its arithmetic is legacy SSE code. When
// the calling thread has left the upper halves of the AVX registers in use (code elsewhere in the
// process that ends without VZEROUPPER; a Qt application's start-up leaves them so), every such
// instruction pays for merging with them and libmp3lame runs at less than half its speed. Clearing
// them costs one instruction, executed only where the processor and the system offer AVX.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx"))) void zeroUpperAvx() {
    _mm256_zeroupper();
}
void beforeEncoding() {
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx) zeroUpperAvx();
}
#else
void beforeEncoding() {}
#endif

// libmp3lame prints its messages to the console by default; a library keeps quiet.
void silent(const char*, va_list) {}

// The record's quality: the low byte, taken only when the high byte is its complement (so a
// zero-filled record means "not set").
int recordQuality(uint16_t quality) {
    const unsigned low = quality & 0xFFU;
    const unsigned high = quality >> 8;
    return high == (~low & 0xFFU) && low <= 9 ? static_cast<int>(low) : -1;
}

vbr_mode vbrModeOf(int32_t method) {
    switch (method) {
        case kVbrMethodOld: return vbr_rh;
        case kVbrMethodAbr: return vbr_abr;
        default: return vbr_mtrh;  // default, new and mtrh are libmp3lame's one modern VBR
    }
}

// Rate control as the record's own fields ask: VBR or ABR when enabled, CBR at the bit rate otherwise.
void applyRecordRateControl(lame_global_flags* gfp, const Config& c) {
    if (c.enableVbr != 0 && c.vbrMethod != kVbrMethodNone) {
        const vbr_mode mode = vbrModeOf(c.vbrMethod);
        lame_set_VBR(gfp, mode);
        if (mode == vbr_abr) {
            lame_set_VBR_mean_bitrate_kbps(gfp, static_cast<int>(c.vbrAbrBps != 0 ? c.vbrAbrBps / 1000 : c.bitrate));
        } else {
            lame_set_VBR_q(gfp, std::clamp(c.vbrQuality, 0, 9));
        }
        lame_set_VBR_min_bitrate_kbps(gfp, static_cast<int>(c.bitrate));
        if (c.maxBitrate != 0) lame_set_VBR_max_bitrate_kbps(gfp, static_cast<int>(c.maxBitrate));
    } else {
        lame_set_VBR(gfp, vbr_off);
        lame_set_brate(gfp, static_cast<int>(c.bitrate));
    }
    if (const int q = recordQuality(c.quality); q >= 0) lame_set_quality(gfp, q);
}

void cbrAtQuality(lame_global_flags* gfp, const Config& c, int quality) {
    lame_set_VBR(gfp, vbr_off);
    lame_set_brate(gfp, static_cast<int>(c.bitrate));
    lame_set_quality(gfp, quality);
}

// The preset codes and what each becomes in libmp3lame, matching the encoder window's captions.
// The CBR presets encode at the record's bit rate (128 kbit/s unless the caller set another) and
// differ in libmp3lame's algorithm quality (0 best and slowest .. 9 fastest):
//   -1 none        the record's own rate-control fields (CBR at its bit rate unless VBR is on)
//    0 normal      CBR, quality 5 (libmp3lame's default)
//    1 low         CBR, quality 9
//    2 high        CBR, quality 2
//    5 very high   CBR, quality 0 (very slow)
//   12 CBR         CBR, the record's quality if set
//   13 medium      CBR, quality 4
//   14 fast medium CBR, quality 7
// The VBR presets are libmp3lame's named presets (fast variants are the same in libmp3lame 3.100):
//    4 R3mix           R3MIX           (VBR, about 190-200 kbit/s at 44.1 kHz)
//    6 standard        STANDARD        (VBR -V2, 170-210 kbit/s)
//    7 fast standard   STANDARD_FAST
//    8 extreme         EXTREME         (VBR -V0, 200-240 kbit/s)
//    9 fast extreme    EXTREME_FAST
//   10 insane          INSANE          (CBR 320 kbit/s)
//    3 voice           VBR -V5 resampled to 32 kHz (about 100-140 kbit/s on speech and music)
//   11 ABR             average bit rate: the record's ABR rate in bit/s, or its bit rate
// Any other code is refused with "invalid format parameters". (lame_set_preset's result says
// nothing about success: it returns the preset it chose, or an unknown code unchanged.)
bool applyPreset(lame_global_flags* gfp, const Config& c) {
    switch (c.preset) {
        case kPresetNone: applyRecordRateControl(gfp, c); return true;
        case kPresetNormal: cbrAtQuality(gfp, c, 5); return true;
        case kPresetLow: cbrAtQuality(gfp, c, 9); return true;
        case kPresetHigh: cbrAtQuality(gfp, c, 2); return true;
        case kPresetVeryHigh: cbrAtQuality(gfp, c, 0); return true;
        case kPresetMedium: cbrAtQuality(gfp, c, 4); return true;
        case kPresetFastMedium: cbrAtQuality(gfp, c, 7); return true;
        case kPresetCbr:
            lame_set_VBR(gfp, vbr_off);
            lame_set_brate(gfp, static_cast<int>(c.bitrate));
            if (const int q = recordQuality(c.quality); q >= 0) lame_set_quality(gfp, q);
            return true;
        case kPresetR3mix: lame_set_preset(gfp, R3MIX);
            return true;
        case kPresetStandard: lame_set_preset(gfp, STANDARD);
            return true;
        case kPresetFastStandard: lame_set_preset(gfp, STANDARD_FAST);
            return true;
        case kPresetExtreme: lame_set_preset(gfp, EXTREME);
            return true;
        case kPresetFastExtreme: lame_set_preset(gfp, EXTREME_FAST);
            return true;
        case kPresetInsane: lame_set_preset(gfp, INSANE);
            return true;
        case kPresetVoice:
            lame_set_VBR(gfp, vbr_mtrh);
            lame_set_VBR_q(gfp, 5);
            lame_set_out_samplerate(gfp, 32000);
            return true;
        case kPresetAbr:
            lame_set_VBR(gfp, vbr_abr);
            lame_set_VBR_mean_bitrate_kbps(gfp, static_cast<int>(c.vbrAbrBps != 0 ? c.vbrAbrBps / 1000 : c.bitrate));
            if (c.maxBitrate != 0) lame_set_VBR_max_bitrate_kbps(gfp, static_cast<int>(c.maxBitrate));
            return true;
        default: return false;
    }
}

// Everything of the record but the rate control. The input is always interleaved stereo; mono
// output is a down-mix, and dual channel (which libmp3lame does not offer) is plain stereo.
bool applyRecord(lame_global_flags* gfp, const Config& c) {
    lame_set_errorf(gfp, silent);
    lame_set_debugf(gfp, silent);
    lame_set_msgf(gfp, silent);
    lame_set_num_channels(gfp, 2);
    lame_set_in_samplerate(gfp, static_cast<int>(c.sampleRate));
    uint32_t outRate = c.reSampleRate;
    if (outRate == 0 && c.mpegVersion == 0 && c.sampleRate >= 32000) outRate = c.sampleRate / 2;
    if (outRate != 0) lame_set_out_samplerate(gfp, static_cast<int>(outRate));
    switch (c.mode) {
        case kModeStereo:
        case kModeDualChannel: lame_set_mode(gfp, STEREO); break;
        case kModeJointStereo: lame_set_mode(gfp, JOINT_STEREO); break;
        case kModeMono: lame_set_mode(gfp, MONO); break;
        default: return false;
    }
    lame_set_emphasis(gfp, static_cast<int>(c.emphasis));
    lame_set_extension(gfp, c.privateBit != 0);
    lame_set_error_protection(gfp, c.crc != 0);
    lame_set_copyright(gfp, c.copyright != 0);
    lame_set_original(gfp, c.original != 0);
    lame_set_bWriteVbrTag(gfp, c.writeVbrHeader != 0);
    lame_set_strict_ISO(gfp, c.strictIso != 0);
    if (!applyPreset(gfp, c)) return false;
    lame_set_disable_reservoir(gfp, c.noBitReservoir != 0);
    return true;
}

// Offset of the first MPEG frame: after an ID3v2 tag at the start of the file, if there is one.
int64_t firstFrameOffset(int fd) {
    unsigned char head[10];
    if (::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return 0;
    if (std::memcmp(head, "ID3", 3) != 0) return 0;
    const int64_t size = (head[6] & 0x7F) << 21 | (head[7] & 0x7F) << 14 | (head[8] & 0x7F) << 7 | (head[9] & 0x7F);
    return 10 + size + ((head[5] & 0x10) != 0 ? 10 : 0);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) uint32_t beInitStream(const Config* config, uint32_t* samplesPerChunk,
                                                              uint32_t* outputBufferSize, StreamHandle* handle) {
    if (config == nullptr || samplesPerChunk == nullptr || outputBufferSize == nullptr || handle == nullptr)
        return kErrInvalidFormatParameters;
    *samplesPerChunk = 0;
    *outputBufferSize = 0;
    *handle = 0;
    if (config->configKind != kConfigLame || config->structVersion < 1 || config->structSize < kConfigSize)
        return kErrInvalidFormat;
    // libmp3lame takes an input rate of 0 for its default, which would encode the samples at a
    // rate the caller never named.
    if (config->sampleRate == 0) return kErrInvalidFormatParameters;

    auto stream = std::make_shared<Stream>();
    stream->gfp = lame_init();
    if (stream->gfp == nullptr) return kErrNoMoreHandles;
    if (!applyRecord(stream->gfp, *config) || lame_init_params(stream->gfp) < 0) return kErrInvalidFormatParameters;
    const int frameSize = lame_get_framesize(stream->gfp);  // samples per channel in one MPEG frame
    stream->samplesPerChunk = static_cast<uint32_t>(frameSize) * 2;
    // libmp3lame's own bound for one call: 1.25 × samples per channel + 7200 bytes (also enough for the flush).
    stream->outputBufferSize = static_cast<uint32_t>(frameSize + frameSize / 4 + 7200);

    std::lock_guard lock(streamsMutex);
    if (streams.size() >= kMaxStreams) return kErrNoMoreHandles;
    while (nextHandle == 0 || streams.count(nextHandle) != 0) ++nextHandle;
    const StreamHandle h = nextHandle++;
    *samplesPerChunk = stream->samplesPerChunk;
    *outputBufferSize = stream->outputBufferSize;
    *handle = h;
    streams.emplace(h, std::move(stream));
    return kOk;
}

__attribute__((visibility("default"))) uint32_t beEncodeChunk(StreamHandle handle, uint32_t samples,
                                                               const int16_t* input, uint8_t* output,
                                                               uint32_t* outputBytes) {
    const std::shared_ptr<Stream> s = findStream(handle);
    if (s == nullptr) return kErrInvalidHandle;
    std::lock_guard streamLock(s->lock);
    if (outputBytes == nullptr || output == nullptr || (samples > 0 && input == nullptr))
        return kErrInvalidFormatParameters;
    *outputBytes = 0;
    if (samples > s->samplesPerChunk) return kErrBufferTooSmall;
    beforeEncoding();
    const int got = lame_encode_buffer_interleaved(s->gfp, const_cast<short*>(input), static_cast<int>(samples / 2),
                                                   output, static_cast<int>(s->outputBufferSize));
    if (got == -1) return kErrBufferTooSmall;
    if (got < 0) return kErrInvalidFormatParameters;
    *outputBytes = static_cast<uint32_t>(got);
    return kOk;
}

__attribute__((visibility("default"))) uint32_t beDeinitStream(StreamHandle handle, uint8_t* output,
                                                                uint32_t* outputBytes) {
    const std::shared_ptr<Stream> s = findStream(handle);
    if (s == nullptr) return kErrInvalidHandle;
    std::lock_guard streamLock(s->lock);
    if (outputBytes == nullptr || output == nullptr) return kErrInvalidFormatParameters;
    *outputBytes = 0;
    beforeEncoding();
    const int got = lame_encode_flush(s->gfp, output, static_cast<int>(s->outputBufferSize));
    if (got == -1) return kErrBufferTooSmall;
    if (got < 0) return kErrInvalidFormatParameters;
    *outputBytes = static_cast<uint32_t>(got);
    return kOk;
}

__attribute__((visibility("default"))) uint32_t beCloseStream(StreamHandle handle) {
    // Freed outside the table's lock: now, or when a call still running on it ends.
    std::shared_ptr<Stream> gone;
    {
        std::lock_guard lock(streamsMutex);
        const auto it = streams.find(handle);
        if (it == streams.end()) return kErrInvalidHandle;
        gone = std::move(it->second);
        streams.erase(it);
    }
    return kOk;
}

__attribute__((visibility("default"))) uint32_t beVersion(Version* version) {
    if (version == nullptr) return kErrInvalidFormatParameters;
    *version = Version{};
    version->dllMajorVersion = 1;
    version->dllMinorVersion = 0;
    lame_version_t engine{};
    get_lame_version_numerical(&engine);
    version->majorVersion = static_cast<uint8_t>(engine.major);
    version->minorVersion = static_cast<uint8_t>(engine.minor);
    version->alphaLevel = static_cast<uint8_t>(engine.alpha);
    version->betaLevel = static_cast<uint8_t>(engine.beta);
    // The release of this library.
    version->day = 7;
    version->month = 12;
    version->year = 2026;
    const char* url = get_lame_url();
    std::strncpy(version->homePage, url != nullptr ? url : "", sizeof version->homePage - 1);
    return kOk;
}

__attribute__((visibility("default"))) uint32_t beWriteInfoTag(StreamHandle handle, const char* fileName) {
    const std::shared_ptr<Stream> s = findStream(handle);
    if (s == nullptr) return kErrInvalidHandle;
    std::lock_guard streamLock(s->lock);
    if (fileName == nullptr) return kErrInvalidFormatParameters;
    unsigned char frame[4096];
    const size_t size = lame_get_lametag_frame(s->gfp, frame, sizeof frame);
    if (size == 0) return kOk;  // no tag was asked for
    if (size > sizeof frame) return kErrBufferTooSmall;
    const int fd = ::open(fileName, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return kErrInvalidFormatParameters;
    const int rfd = ::open(fileName, O_RDONLY | O_CLOEXEC);
    const int64_t at = rfd >= 0 ? firstFrameOffset(rfd) : 0;
    if (rfd >= 0) ::close(rfd);
    const bool written = ::pwrite(fd, frame, size, static_cast<off_t>(at)) == static_cast<ssize_t>(size);
    const bool closed = ::close(fd) == 0;
    return written && closed ? kOk : kErrInvalidFormatParameters;
}

}  // extern "C"
