// cLameEncoder end to end: generated WAVs encoded with several presets and decoded by FFmpeg to
// their exact length and shape; progress, cancel, and the numbered errors of a failed run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "encoder/LameLibrary.h"
#include "encoder/cLameEncoder.h"
#include "platform/common/NumberedError.h"
#include "tests/encoder/Mp3Check.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/TempDir.h"

using brisko::NumberedError;
using namespace brisko::test;
namespace fs = std::filesystem;

namespace {

// A sawtooth-and-tone mix: every stretch differs from its neighbours, so a shifted or padded
// decode correlates poorly.
std::vector<int16_t> sourceSamples(int64_t frames) {
    std::vector<int16_t> ramp = rampSamples(frames, 2, 20000);
    const std::vector<int16_t> tone = toneSamples({.frequency = 523.0, .seconds = frames / 44100.0 + 1, .amplitude = 0.3});
    for (size_t k = 0; k < ramp.size(); ++k) ramp[k] = static_cast<int16_t>(ramp[k] / 2 + tone[k]);
    return ramp;
}

struct EncodeRun {
    std::vector<std::pair<int64_t, int64_t>> progress;
    int error = 0;
    std::string source, description;
};

EncodeRun encode(cLameEncoder& encoder, std::function<bool(int64_t, int64_t)> cancelAt = {}) {
    EncodeRun run;
    encoder.Progress = [&](int64_t done, int64_t total, bool& cancel) {
        run.progress.emplace_back(done, total);
        if (cancelAt && cancelAt(done, total)) cancel = true;
    };
    try {
        encoder.Encode();
    } catch (const NumberedError& e) {
        run.error = e.number();
        run.source = e.source();
        run.description = e.description();
    }
    return run;
}

}  // namespace

TEST(LameEncoder, PresetsDecodeToTheExactSourceLengthAndShape) {
    TempDir dir;
    const int64_t frames = 3 * 44100 + 777;  // not a whole number of MPEG frames
    const std::vector<int16_t> source = sourceSamples(frames);
    writePcmWav(dir.file("in.wav"), source, 2, 44100);

    struct Case { int preset; bool vbr; int kbps; };
    for (const Case c : {Case{6, true, 0}, Case{-1, false, 128}, Case{0, false, 128}, Case{10, false, 320},
                         Case{8, true, 0}}) {
        SCOPED_TRACE("preset " + std::to_string(c.preset));
        const std::string out = dir.file("out" + std::to_string(c.preset) + ".mp3");
        cLameEncoder encoder;
        encoder.setWavFile(dir.file("in.wav"));
        encoder.setMp3File(out);
        encoder.setEncodingPreset(c.preset);
        const EncodeRun run = encode(encoder);
        ASSERT_EQ(run.error, 0) << run.description;

        const Mp3Frames scan = scanMp3Frames(out);
        EXPECT_TRUE(scan.valid);
        EXPECT_TRUE(scan.infoTag);
        EXPECT_EQ(scan.sampleRate, 44100);
        const std::set<int> rates(scan.bitrates.begin(), scan.bitrates.end());
        if (c.vbr) {
            EXPECT_GT(rates.size(), 1u);
        } else {
            EXPECT_EQ(rates, std::set<int>{c.kbps});
        }
        const std::vector<int16_t> decoded = decodeWithFfmpeg(out);
        EXPECT_EQ(decoded.size(), source.size());  // gapless: the final tag trims delay and padding
        EXPECT_GT(correlation(source, decoded), 0.95);
    }
}

TEST(LameEncoder, ProgressAddsUpAndCancelDeletesTheOutput) {
    TempDir dir;
    const int64_t frames = 10 * 1152 + 100;
    writePcmWav(dir.file("in.wav"), sourceSamples(frames), 2, 44100);

    cLameEncoder encoder;
    encoder.setEncodingPreset(12);
    encoder.setWavFile(dir.file("in.wav"));
    encoder.setMp3File(dir.file("out.mp3"));
    EncodeRun run = encode(encoder);
    ASSERT_EQ(run.error, 0) << run.description;
    ASSERT_EQ(run.progress.size(), 12u);  // eleven chunks, then once after the flush
    for (size_t k = 0; k < 10; ++k) EXPECT_EQ(run.progress[k], std::make_pair(int64_t(k + 1) * 2304, frames * 2));
    EXPECT_EQ(run.progress[10], std::make_pair(frames * 2, frames * 2));
    EXPECT_EQ(run.progress[11], std::make_pair(frames * 2, frames * 2));
    EXPECT_TRUE(fs::exists(dir.file("out.mp3")));

    // The output now exists: a new name is refused and the old one kept.
    encoder.setMp3File(dir.file("out.mp3"));
    EXPECT_EQ(encoder.Mp3File(), dir.file("out.mp3"));
    encoder.setMp3File(dir.file("second.mp3"));
    run = encode(encoder, [](int64_t done, int64_t) { return done >= 3 * 2304; });
    EXPECT_EQ(run.error, 0);
    EXPECT_EQ(run.progress.size(), 3u);  // no flush after the cancel
    EXPECT_FALSE(fs::exists(dir.file("second.mp3")));

    // The encoder runs again after a cancel; a source deleted during the run is still read whole
    // (the open file keeps its data).
    encoder.setMp3File(dir.file("third.mp3"));
    EXPECT_EQ(encode(encoder, [&](int64_t, int64_t) { return fs::remove(dir.file("in.wav")) && false; }).error, 0);
    EXPECT_EQ(decodeWithFfmpeg(dir.file("third.mp3")).size(), static_cast<size_t>(frames * 2));
}

TEST(LameEncoder, FailedRunsRaiseNumberedErrorsAndNeverLookFinished) {
    TempDir dir;
    writePcmWav(dir.file("mono.wav"), rampSamples(20000, 1), 1, 44100);
    writePcmWav(dir.file("in.wav"), sourceSamples(3 * 44100), 2, 44100);

    cLameEncoder encoder;
    encoder.setWavFile(dir.file("mono.wav"));
    encoder.setMp3File(dir.file("mono.mp3"));
    EncodeRun run = encode(encoder);
    EXPECT_EQ(run.error, 29671);
    EXPECT_EQ(run.source, "brisko.lameConvert");
    EXPECT_EQ(run.description, "Only stereo 16 bit wave files supported.");
    EXPECT_FALSE(fs::exists(dir.file("mono.mp3")));  // the reader failed before the writer began

    // No output name set: the writer cannot open the empty name.
    cLameEncoder unnamed;
    unnamed.setWavFile(dir.file("in.wav"));
    EXPECT_EQ(encode(unnamed).error, 29872);

    // An output folder nobody may write to (for root, a folder of /proc).
    const std::string locked = geteuid() == 0 ? std::string("/proc/brisko-none") : dir.file("locked");
    if (geteuid() != 0) {
        fs::create_directory(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    }
    encoder.setWavFile(dir.file("in.wav"));
    encoder.setMp3File(locked + "/x.mp3");
    run = encode(encoder);
    EXPECT_EQ(run.error, 29872);
    EXPECT_EQ(run.description, "Unable to open file for writing");

    // A full disk part way through (a file-size limit): the write error, the part left on disk.
    encoder.setMp3File(dir.file("full.mp3"));
    {
        FileSizeLimit limit(8000);
        ASSERT_TRUE(limit.active());
        run = encode(encoder);
    }
    EXPECT_EQ(run.error, 29875);
    EXPECT_EQ(run.source, "brisko.lameConvert");
    EXPECT_LT(run.progress.size(), 100u);  // stopped part way

    // The source cut short during the run.
    encoder.setMp3File(dir.file("cut.mp3"));
    run = encode(encoder, [&](int64_t done, int64_t) {
        if (done == 2304) fs::resize_file(dir.file("in.wav"), 20000);
        return false;
    });
    EXPECT_EQ(run.error, 29680);

    // An empty data chunk: refused before any output exists (the encoder would write frames that
    // decoders reject).
    writeFile(dir.file("empty.wav"), wavBytes(2, 16, 44100, ""));
    encoder.setWavFile(dir.file("empty.wav"));
    encoder.setMp3File(dir.file("empty.mp3"));
    run = encode(encoder);
    EXPECT_EQ(run.error, 29681);
    EXPECT_TRUE(run.progress.empty());
    EXPECT_FALSE(fs::exists(dir.file("empty.mp3")));
}

TEST(LameEncoder, AMissingLibraryIsANumberedErrorAndAnUnknownPresetIsRefused) {
    TempDir dir;
    writePcmWav(dir.file("in.wav"), sourceSamples(5000), 2, 44100);
    cLameEncoder encoder;
    encoder.setWavFile(dir.file("in.wav"));
    encoder.setMp3File(dir.file("out.mp3"));

    brisko::encoder::setLameLibraryNameForTesting("liblameencshim-not-installed.so");
    EncodeRun run = encode(encoder);
    brisko::encoder::setLameLibraryNameForTesting(brisko::encoder::kLameLibraryName);
    EXPECT_EQ(run.error, 53);
    EXPECT_NE(run.description.find("liblameencshim-not-installed.so"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("out.mp3")));

    encoder.setEncodingPreset(99);
    run = encode(encoder);
    EXPECT_EQ(run.error, 29772);
    EXPECT_EQ(run.source, "brisko.lameInit");
    EXPECT_EQ(run.description, "Invalid Format Parameters");

    encoder.setEncodingPreset(6);
    EXPECT_EQ(encode(encoder).error, 0);
    EXPECT_EQ(encoder.Version().MajorVersion(), 3);
    EXPECT_FALSE(encoder.Version().HomePage().empty());
    EXPECT_TRUE(encoder.Version().ReleaseDate().ok());
}
