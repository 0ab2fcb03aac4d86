// The cue output: a pre-listen heard on the cue and never on air, the split form on one device,
// and the air's level as the output callback measures it.
#include <cmath>
#include <fstream>
#include <iterator>

#include "tests/platform/audio/AudioTestUtil.h"

namespace brisko::test {
namespace {

using audio::Bus;
using audio::VoiceMode;

class CueOutput : public EngineFixture {
protected:
    void TearDown() override {
        engine.closeAll();
        engine.startCueOutput("");
    }
    std::vector<float> renderCue(int frames) {
        std::vector<float> out(static_cast<size_t>(frames) * 2);
        engine.renderCueManual(out.data(), frames);
        return out;
    }
    // A stereo WAV whose left and right differ: a ramp on the left, its negative halved on the
    // right.
    std::vector<int16_t> writeStereo(const std::string& path, int64_t frames, int scale) {
        std::vector<int16_t> s(static_cast<size_t>(frames) * 2);
        for (int64_t f = 0; f < frames; ++f) {
            s[size_t(f) * 2] = static_cast<int16_t>((f * scale) % 30000);
            s[size_t(f) * 2 + 1] = static_cast<int16_t>(-((f * scale) % 30000) / 2);
        }
        writePcmWav(path, s, 2, 48000);
        return s;
    }
};

// The null test: the air with a full-scale pre-listen running equals the air without it, sample
// for sample, while the cue carries the pre-listen and nothing of the air.
TEST_F(CueOutput, APreListenIsHeardOnTheCueAndNeverOnAir) {
    const std::string song = dir.file("song.wav");
    const std::string jingle = dir.file("jingle.wav");
    writeToneWav(song, {440.0, 2.0, 48000, 2, 0.5});
    const auto loud = writeStereo(jingle, 48000, 7);
    const auto first = openOk(song);
    const auto preview = openOk(jingle);
    EXPECT_FALSE(engine.setBus(preview, Bus::Cue)) << "no cue output is set yet";
    EXPECT_EQ(engine.bus(preview), Bus::Air);
    ASSERT_TRUE(engine.play(first, 0, -1));
    const std::vector<float> without = render(9600);
    ASSERT_GT(rms(without, 0, 9600), 0.3);
    engine.close(first);

    ASSERT_TRUE(engine.startCueOutput("manual"));
    EXPECT_TRUE(engine.hasCueOutput());
    ASSERT_TRUE(engine.setBus(preview, Bus::Cue));
    const auto onAir = openOk(song);
    ASSERT_TRUE(engine.play(onAir, 0, -1));
    ASSERT_TRUE(engine.play(preview, 0, -1));
    const std::vector<float> with = render(9600);
    const std::vector<float> cue = renderCue(9600);
    for (size_t i = 0; i < with.size(); ++i) ASSERT_EQ(with[i], without[i]) << i;
    for (int f = 0; f < 9600; ++f) {
        ASSERT_EQ(cue[size_t(f) * 2], sampleValue(loud[size_t(f) * 2])) << f;
        ASSERT_EQ(cue[size_t(f) * 2 + 1], sampleValue(loud[size_t(f) * 2 + 1])) << f;
    }
    EXPECT_EQ(engine.positionMs(onAir), 200);
    EXPECT_EQ(engine.mode(preview), VoiceMode::Playing);

    // Without a cue output the pre-listen goes back to the air, stopped where it was.
    ASSERT_TRUE(engine.startCueOutput(""));
    EXPECT_EQ(engine.bus(preview), Bus::Air);
    EXPECT_EQ(engine.mode(preview), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(preview), 200);
}

// "split": one stereo device, the air summed on the left and the cue on the right; the recording
// keeps the air in stereo. The level meter sees the air only.
TEST_F(CueOutput, SplitCarriesTheAirLeftAndTheCueRightAndRecordsTheAirInStereo) {
    const std::string song = dir.file("song.wav");
    const std::string jingle = dir.file("jingle.wav");
    const auto air = writeStereo(song, 48000, 3);
    const auto pre = writeStereo(jingle, 48000, 11);
    const auto onAir = openOk(song);
    const auto preview = openOk(jingle);
    ASSERT_TRUE(engine.startCueOutput("split"));
    ASSERT_TRUE(engine.setBus(preview, Bus::Cue));
    const std::string recording = dir.file("air.wav");
    ASSERT_TRUE(engine.startRecording(recording));
    uint64_t cursor = 0;
    std::vector<audio::MixPeak> peaks;
    engine.airPeaks(&cursor, &peaks);
    peaks.clear();

    ASSERT_TRUE(engine.play(onAir, 0, -1));
    ASSERT_TRUE(engine.play(preview, 0, -1));
    const std::vector<float> out = render(4000);
    engine.stopRecording();
    auto mono = [](const std::vector<int16_t>& s, int f) {
        return 0.5f * (sampleValue(s[size_t(f) * 2]) + sampleValue(s[size_t(f) * 2 + 1]));
    };
    for (int f = 0; f < 4000; ++f) {
        ASSERT_FLOAT_EQ(out[size_t(f) * 2], mono(air, f)) << f;
        ASSERT_FLOAT_EQ(out[size_t(f) * 2 + 1], mono(pre, f)) << f;
    }
    std::ifstream in(recording, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 44u + 4000u * 4u);
    for (int f = 0; f < 4000; ++f) {
        for (int c = 0; c < 2; ++c) {
            const size_t at = 44 + (size_t(f) * 2 + size_t(c)) * 2;
            const auto sample = int16_t(uint16_t(uint8_t(bytes[at])) | uint16_t(uint8_t(bytes[at + 1])) << 8);
            ASSERT_NEAR(sample, air[size_t(f) * 2 + size_t(c)], 1) << f << " " << c;
        }
    }

    engine.airPeaks(&cursor, &peaks);
    ASSERT_FALSE(peaks.empty());
    float left = 0.0f;
    float right = 0.0f;
    int frames = 0;
    for (const auto& p : peaks) {
        left = std::max(left, p.left);
        right = std::max(right, p.right);
        frames += p.frames;
        EXPECT_TRUE(p.sounding);
    }
    EXPECT_EQ(frames, 4000);
    EXPECT_FLOAT_EQ(left, sampleValue(air[3999 * 2]));  // the ramp's top so far
    EXPECT_FLOAT_EQ(right, std::fabs(sampleValue(air[3999 * 2 + 1])));
}

}  // namespace
}  // namespace brisko::test
