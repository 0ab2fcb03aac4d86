// liblameencshim's calls on their own: what the record's fields do to the stream, and the result
// codes for misuse (a caller's mistake must be a code, never a crash).
#include <dlfcn.h>
#include <gtest/gtest.h>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "platform/lameencshim/LameEncShim.h"

using namespace brisko::lameenc;

namespace {

// A stand-in for libmp3lame's encode call, found before the real one (the test program's own
// symbols come first): when a hold is armed, it says it has been entered and waits to be let go
// before it calls the real one, so another thread can act while a call is inside the encoder.
struct Hold {
    std::promise<void> entered;
    std::promise<void> release;
};
std::atomic<Hold*> armedHold{nullptr};

// When set, the stand-in notes whether the upper halves of the AVX registers were in use as the
// encoder was entered.
std::atomic<bool> noteUpperAvx{false};
std::atomic<int> upperAvxAtEntry{-1};

#if defined(__x86_64__)
// Whether the upper halves of the AVX registers are in use, as the processor reports it (XGETBV
// with ECX = 1, bit 2); -1 where it cannot say.
int upperAvxInUse() {
    static const bool canAsk = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __builtin_cpu_supports("avx") && __get_cpuid_count(0xD, 1, &a, &b, &c, &d) &&
               (a & 4U) != 0;
    }();
    if (!canAsk) return -1;
    uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(1));
    return static_cast<int>((low >> 2) & 1U);
}
// Leaves the upper halves in use, as code built for AVX that ends without VZEROUPPER does.
void dirtyUpperAvx() {
    __asm__ volatile("vpcmpeqd %%ymm15, %%ymm15, %%ymm15" ::: "xmm15");
}
void clearUpperAvx() {
    __asm__ volatile("vzeroupper");
}
#else
int upperAvxInUse() {
    return -1;
}
void dirtyUpperAvx() {}
void clearUpperAvx() {}
#endif

}  // namespace

extern "C" int lame_encode_buffer_interleaved(void* gfp, short* pcm, int frames, unsigned char* out,
                                              int outSize) {
    using Real = int (*)(void*, short*, int, unsigned char*, int);
    static const auto real =
        reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "lame_encode_buffer_interleaved"));
    if (noteUpperAvx.exchange(false)) upperAvxAtEntry = upperAvxInUse();
    if (Hold* hold = armedHold.exchange(nullptr)) {
        hold->entered.set_value();
        hold->release.get_future().wait();
    }
    return real(gfp, pcm, frames, out, outSize);
}

TEST(LameEncShim, RecordFieldsShapeTheStream) {
    struct Case { int32_t preset; uint32_t mpegVersion; uint32_t samples; };
    // MPEG-1 frames take 1152 frames per channel; MPEG-2 (half rate) and the 32 kHz voice preset
    // show the record reaching libmp3lame.
    for (const Case c : {Case{kPresetStandard, 1, 2304}, Case{kPresetNormal, 0, 1152}, Case{kPresetVoice, 1, 2304}}) {
        Config config;
        config.preset = c.preset;
        config.mpegVersion = c.mpegVersion;
        uint32_t samples = 0, bufferSize = 0;
        StreamHandle handle = 0;
        ASSERT_EQ(beInitStream(&config, &samples, &bufferSize, &handle), kOk);
        EXPECT_NE(handle, 0u);
        EXPECT_EQ(samples, c.samples);
        EXPECT_GE(bufferSize, 7200u + samples / 2);

        std::vector<int16_t> input(samples, 1000);
        std::vector<uint8_t> output(bufferSize);
        uint32_t produced = 99;
        EXPECT_EQ(beEncodeChunk(handle, samples + 2, input.data(), output.data(), &produced), kErrBufferTooSmall);
        for (int k = 0; k < 20; ++k) ASSERT_EQ(beEncodeChunk(handle, samples, input.data(), output.data(), &produced), kOk);
        EXPECT_EQ(beDeinitStream(handle, output.data(), &produced), kOk);
        EXPECT_GT(produced, 0u);
        EXPECT_EQ(beCloseStream(handle), kOk);
        EXPECT_EQ(beCloseStream(handle), kErrInvalidHandle);
        EXPECT_EQ(beEncodeChunk(handle, samples, input.data(), output.data(), &produced), kErrInvalidHandle);
    }
}

TEST(LameEncShim, BadRecordsAreRefusedWithTheirCodes) {
    uint32_t samples = 1, bufferSize = 1;
    StreamHandle handle = 1;
    Config wrongKind;
    wrongKind.configKind = 0;
    EXPECT_EQ(beInitStream(&wrongKind, &samples, &bufferSize, &handle), kErrInvalidFormat);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(samples, 0u);
    Config badPreset;
    badPreset.preset = 42;
    EXPECT_EQ(beInitStream(&badPreset, &samples, &bufferSize, &handle), kErrInvalidFormatParameters);
    Config badMode;
    badMode.mode = 7;
    EXPECT_EQ(beInitStream(&badMode, &samples, &bufferSize, &handle), kErrInvalidFormatParameters);
    Config noRate;
    noRate.sampleRate = 0;
    EXPECT_EQ(beInitStream(&noRate, &samples, &bufferSize, &handle), kErrInvalidFormatParameters);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(beInitStream(nullptr, &samples, &bufferSize, &handle), kErrInvalidFormatParameters);
    EXPECT_EQ(beWriteInfoTag(12345, "/nonexistent"), kErrInvalidHandle);

    Version version;
    ASSERT_EQ(beVersion(&version), kOk);
    EXPECT_EQ(version.majorVersion, 3);
    EXPECT_GT(version.year, 2000);
    EXPECT_NE(version.homePage[0], '\0');
}

// A close from another thread while a call is inside the encoder: the call finishes on the live
// stream, the handle is gone for every later call, and the stream is freed once the call is done.
TEST(LameEncShim, AStreamClosedDuringACallOutlivesTheCall) {
    Config config;
    uint32_t samples = 0, bufferSize = 0;
    StreamHandle handle = 0;
    ASSERT_EQ(beInitStream(&config, &samples, &bufferSize, &handle), kOk);
    std::vector<int16_t> input(samples, 1000);
    std::vector<uint8_t> output(bufferSize);
    uint32_t produced = 0;
    for (int k = 0; k < 4; ++k)
        ASSERT_EQ(beEncodeChunk(handle, samples, input.data(), output.data(), &produced), kOk);

    Hold hold;
    armedHold = &hold;
    uint32_t result = 99, bytes = 0;
    std::thread encoding(
        [&] { result = beEncodeChunk(handle, samples, input.data(), output.data(), &bytes); });
    hold.entered.get_future().wait();
    EXPECT_EQ(beCloseStream(handle), kOk);
    EXPECT_EQ(beEncodeChunk(handle, samples, input.data(), output.data(), &produced),
              kErrInvalidHandle);
    hold.release.set_value();
    encoding.join();
    EXPECT_EQ(result, kOk);
    EXPECT_GT(bytes, 0u);
    EXPECT_EQ(beDeinitStream(handle, output.data(), &produced), kErrInvalidHandle);
}

// libmp3lame's arithmetic is legacy SSE code, which runs at less than half speed while the upper
// halves of the AVX registers are in use. Whatever the caller left there, the encoder is entered
// with them clear.
TEST(LameEncShim, TheEncoderIsEnteredWithTheUpperAvxHalvesClear) {
    clearUpperAvx();
    const int clear = upperAvxInUse();
    dirtyUpperAvx();
    const int dirty = upperAvxInUse();
    if (clear != 0 || dirty != 1) GTEST_SKIP() << "the processor does not report the AVX state";

    Config config;
    uint32_t samples = 0, bufferSize = 0;
    StreamHandle handle = 0;
    ASSERT_EQ(beInitStream(&config, &samples, &bufferSize, &handle), kOk);
    std::vector<int16_t> input(samples, 1000);
    std::vector<uint8_t> output(bufferSize);
    uint32_t produced = 0;
    ASSERT_EQ(beEncodeChunk(handle, samples, input.data(), output.data(), &produced), kOk);

    dirtyUpperAvx();
    noteUpperAvx = true;
    ASSERT_EQ(beEncodeChunk(handle, samples, input.data(), output.data(), &produced), kOk);
    EXPECT_EQ(upperAvxAtEntry, 0);
    EXPECT_EQ(beCloseStream(handle), kOk);
}
