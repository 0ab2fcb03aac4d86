// The mixer on its own: underruns, stopping inside a period, gain ramps and interpolation.
#include <gtest/gtest.h>

#include <vector>

#include "platform/audio/Engine.h"
#include "platform/audio/Mixer.h"
#include "platform/audio/Voice.h"

namespace brisko::audio {
namespace {

// A playing voice whose ring holds FRAMES frames valued 1, 2, 3, ... on the left and the
// negatives on the right.
std::unique_ptr<Voice> voiceWith(int frames) {
    auto v = std::make_unique<Voice>(1024);
    v->sourceRate = 48000;
    v->outRate.store(48000);
    std::vector<float> data;
    for (int i = 0; i < frames; ++i) {
        data.push_back(float(i + 1));
        data.push_back(-float(i + 1));
    }
    v->ring.push(data.data(), frames);
    v->mode.store(static_cast<int>(VoiceMode::Playing));
    return v;
}

TEST(MixVoice, RunningOutOfDecodedSoundIsAnUnderrunNotAnEnd) {
    auto v = voiceWith(10);
    std::vector<float> out(64 * 2, 0.0f);
    EXPECT_FALSE(mixVoice(*v, out.data(), 64));
    EXPECT_EQ(out[9 * 2], 10.0f);
    EXPECT_EQ(out[10 * 2], 0.0f);
    EXPECT_EQ(v->mode.load(), static_cast<int>(VoiceMode::Playing));
    EXPECT_EQ(v->played.load(), 10);
    // Once the decoder marks the end there, it is an end.
    v->eofSource.store(777);
    v->eofOut.store(10);
    EXPECT_TRUE(mixVoice(*v, out.data(), 64));
    EXPECT_EQ(v->mode.load(), static_cast<int>(VoiceMode::Stopped));
    EXPECT_EQ(v->stoppedAt.load(), 777);
}

TEST(MixVoice, StopsInsideThePeriodAtItsLimit) {
    auto v = voiceWith(100);
    v->limitOut.store(37);
    v->limitSource.store(1234);
    std::vector<float> out(64 * 2, 0.0f);
    EXPECT_TRUE(mixVoice(*v, out.data(), 64));
    EXPECT_EQ(out[36 * 2], 37.0f);
    EXPECT_EQ(out[37 * 2], 0.0f);
    EXPECT_EQ(v->mode.load(), static_cast<int>(VoiceMode::Stopped));
    EXPECT_EQ(v->stoppedAt.load(), 1234);
    // A stopped or paused voice adds nothing.
    std::vector<float> again(64 * 2, 0.0f);
    EXPECT_TRUE(mixVoice(*v, again.data(), 64));
    EXPECT_EQ(again[0], 0.0f);
}

TEST(MixVoice, GainChangesRampAcrossOnePeriodPerSide) {
    auto v = voiceWith(200);
    v->curGainLeft = 0.0f;
    v->curGainRight = 1.0f;
    v->gainLeft.store(1.0f);
    v->gainRight.store(0.5f);
    std::vector<float> out(100 * 2, 0.0f);
    mixVoice(*v, out.data(), 100);
    for (int f = 0; f < 100; ++f) {
        ASSERT_NEAR(out[size_t(f) * 2], float(f + 1) * (f / 100.0f), 1e-3f) << f;
        ASSERT_NEAR(out[size_t(f) * 2 + 1], -float(f + 1) * (1.0f - 0.5f * f / 100.0f), 1e-3f) << f;
    }
    std::vector<float> next(10 * 2, 0.0f);
    mixVoice(*v, next.data(), 10);
    EXPECT_EQ(next[0], 101.0f);
    EXPECT_EQ(next[1], -50.5f);
}

TEST(MixVoice, FractionalSpeedInterpolatesBetweenFrames) {
    auto v = voiceWith(100);
    v->step.store((uint64_t(1) << 32) / 2);  // half speed
    std::vector<float> out(8 * 2, 0.0f);
    EXPECT_TRUE(mixVoice(*v, out.data(), 8));
    const float expected[] = {1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f, 4.5f};
    for (int f = 0; f < 8; ++f) EXPECT_FLOAT_EQ(out[size_t(f) * 2], expected[f]) << f;
    EXPECT_EQ(v->played.load(), 4);
    // Frames already played may be overwritten by the decoder now.
    EXPECT_EQ(v->ring.readCount(), 4);
}

TEST(MixVoice, MixAllSumsTheVoicesOfItsBusAndSkipsEmptySlots) {
    auto a = voiceWith(50);
    auto b = voiceWith(50);
    auto onCue = voiceWith(50);
    onCue->bus.store(kBusCue);
    std::atomic<Voice*> slots[4];
    slots[0].store(a.get());
    slots[1].store(nullptr);
    slots[2].store(b.get());
    slots[3].store(onCue.get());
    std::vector<float> out(20 * 2, 123.0f);  // mixAll starts from silence
    const MixResult r = mixAll(slots, 4, out.data(), 20, kBusAir);
    EXPECT_FALSE(r.underrun);
    EXPECT_EQ(out[0], 2.0f);
    EXPECT_EQ(out[19 * 2 + 1], -40.0f);
    EXPECT_EQ(onCue->played.load(), 0);  // the cue's mixer plays it, not the air's
    mixAll(slots, 4, out.data(), 20, kBusCue);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(a->played.load(), 20);
}

}  // namespace
}  // namespace brisko::audio
