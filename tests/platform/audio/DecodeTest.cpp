// Bad input: every case either fails to open with a message, or plays what can be decoded and
// then stops; never a crash, a hang or a frozen position.
#include <filesystem>
#include <fstream>
#include <random>

#include "tests/platform/audio/AudioTestUtil.h"

namespace brisko::test {
namespace {

using audio::VoiceMode;

class DecodeBadInput : public EngineFixture {
protected:
    void expectRefused(const std::string& path) {
        std::string error;
        EXPECT_EQ(engine.open(path, &error), -1) << path;
        EXPECT_FALSE(error.empty()) << path;
    }

    // Opened or not, it never hangs; when it opens it plays to a stop at its length.
    void expectRefusedOrPlaysToAStop(const std::string& path) {
        std::string error;
        const auto v = engine.open(path, &error);
        if (v < 0) {
            EXPECT_FALSE(error.empty());
            return;
        }
        playToEnd(v, 48000);
        EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
        EXPECT_EQ(engine.positionMs(v), engine.lengthMs(v));
    }
};

TEST_F(DecodeBadInput, MissingFolderAndEmptyFilesAreRefused) {
    expectRefused(dir.file("nothing-here.mp3"));
    expectRefused(dir.path());
    writeFile(dir.file("empty.mp3"), "");
    expectRefused(dir.file("empty.mp3"));
    expectRefused("");
}

TEST_F(DecodeBadInput, RandomBytesNamedMp3) {
    std::mt19937 rng(1234);
    std::string bytes(200000, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() & 0xff);
    writeFile(dir.file("noise.mp3"), bytes);
    expectRefusedOrPlaysToAStop(dir.file("noise.mp3"));
    writeFile(dir.file("text.wav"), std::string(5000, 'x'));
    expectRefused(dir.file("text.wav"));
}

TEST_F(DecodeBadInput, TruncatedMp3PlaysWhatIsThere) {
    const std::string full = dir.file("full.mp3");
    writeToneMp3(full, {440.0, 4.0, 44100, 2, 0.5}, {true, true, 0});
    std::string bytes = readFile(full);
    writeFile(dir.file("cut.mp3"), bytes.substr(0, bytes.size() / 2 + 77));
    const auto v = openOk(dir.file("cut.mp3"));
    ASSERT_GE(v, 0);
    const auto out = playToEnd(v, 48000);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), engine.lengthMs(v));
    // About half of the sound, and it was heard.
    EXPECT_GT(engine.lengthMs(v), 1500);
    EXPECT_LT(engine.lengthMs(v), 2500);
    EXPECT_GT(rms(out, 4800, 48000), 0.3);
}

TEST_F(DecodeBadInput, WavWhoseHeaderClaimsMoreThanThereIs) {
    const std::string path = dir.file("liar.wav");
    writeToneWav(path, {440.0, 1.0, 48000, 2, 0.5});
    std::string bytes = readFile(path);
    // data size (offset 40) and RIFF size claim ten times the sound.
    const uint32_t lie = 48000u * 4u * 10u;
    for (int i = 0; i < 4; ++i) bytes[size_t(40 + i)] = static_cast<char>((lie >> (8 * i)) & 0xff);
    writeFile(path, bytes);
    const auto v = openOk(path);
    EXPECT_EQ(engine.lengthFrames(v), 48000);
    playToEnd(v);
    EXPECT_EQ(engine.positionMs(v), 1000);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
}

TEST_F(DecodeBadInput, FileDeletedWhilePlaying) {
    const std::string path = dir.file("gone.mp3");
    writeToneMp3(path, {440.0, 3.0, 48000, 2, 0.5}, {});
    const auto v = openOk(path);
    ASSERT_TRUE(engine.play(v, 0, -1));
    render(4800);
    std::filesystem::remove(path);
    const auto rest = playToEnd(v, 48000);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.lengthFrames(v), 3 * 48000);
    EXPECT_EQ(engine.positionMs(v), 3000);
}

// A header may claim any rate and channel count. Rates no device plays and layouts that cannot
// be mixed to stereo are refused at open with a reason; a low but real rate converts in bounded
// pieces and plays its exact length.
TEST_F(DecodeBadInput, ImplausibleRatesAndLayoutsAreRefused) {
    auto wavClaiming = [&](const std::string& name, int channels, int rate, size_t bytes) {
        std::vector<int16_t> samples(bytes / 2);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t((i * 977) % 20000 - 10000);
        writePcmWav(dir.file(name), samples, channels, rate);
        return dir.file(name);
    };
    for (const auto& path : {wavClaiming("2hz.wav", 1, 2, 16384), wavClaiming("1hz.wav", 2, 1, 1 << 20),
                             wavClaiming("100ch.wav", 100, 48000, 200 * 480)}) {
        std::string error;
        EXPECT_EQ(engine.open(path, &error), -1) << path;
        EXPECT_NE(error.find("cannot be played"), std::string::npos) << path << ": " << error;
    }
    const auto v = openOk(wavClaiming("1khz.wav", 1, 1000, 2 * 1500));
    EXPECT_EQ(engine.lengthFrames(v), 1500);
    const auto out = playToEnd(v, 4800);
    EXPECT_EQ(engine.positionMs(v), 1500);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_GT(rms(out, 0, 48000), 0.05);
}

TEST_F(DecodeBadInput, FileWithoutAudioIsRefused) {
    // A valid container with no audio stream is not a sound file.
    writeFile(dir.file("image.wav"), std::string("RIFF\x04\x00\x00\x00WAVE", 12));
    expectRefused(dir.file("image.wav"));
}

}  // namespace
}  // namespace brisko::test
