// Exact lengths for every format, position at the end, and sample-exact seeking in compressed
// files (compared with an uninterrupted decode of the same file).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cmath>

#include "platform/audio/Decoder.h"
#include "platform/audio/Mp3Scan.h"
#include "platform/audio/SourceFile.h"
#include "tests/platform/audio/AudioTestUtil.h"

namespace brisko::test {
namespace {

using audio::VoiceMode;

// Frames FFmpeg delivers when decoding the whole file plainly, for files whose exact length is
// only what the decoder makes of them (MP3 without a LAME tag).
int64_t decodedFrameCount(const std::string& path) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return -1;
    int64_t frames = -1;
    const int idx = avformat_find_stream_info(fmt, nullptr) >= 0
                        ? av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0)
                        : -1;
    if (idx >= 0) {
        const AVCodec* codec = avcodec_find_decoder(fmt->streams[idx]->codecpar->codec_id);
        AVCodecContext* ctx = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(ctx, fmt->streams[idx]->codecpar);
        ctx->pkt_timebase = fmt->streams[idx]->time_base;
        if (avcodec_open2(ctx, codec, nullptr) >= 0) {
            frames = 0;
            AVPacket* pkt = av_packet_alloc();
            AVFrame* frame = av_frame_alloc();
            while (av_read_frame(fmt, pkt) >= 0) {
                if (pkt->stream_index == idx && avcodec_send_packet(ctx, pkt) >= 0)
                    while (avcodec_receive_frame(ctx, frame) >= 0) frames += frame->nb_samples;
                av_packet_unref(pkt);
            }
            avcodec_send_packet(ctx, nullptr);
            while (avcodec_receive_frame(ctx, frame) >= 0) frames += frame->nb_samples;
            av_frame_free(&frame);
            av_packet_free(&pkt);
        }
        avcodec_free_context(&ctx);
    }
    avformat_close_input(&fmt);
    return frames;
}

// A tone whose frequency sweeps, so that output from the wrong place cannot pass for right.
std::vector<int16_t> sweep(int64_t frames, int rate) {
    std::vector<int16_t> s(size_t(frames) * 2);
    double phase = 0;
    for (int64_t f = 0; f < frames; ++f) {
        const double hz = 300.0 + 1200.0 * double(f) / double(frames);
        phase += 2.0 * M_PI * hz / rate;
        s[size_t(f) * 2] = s[size_t(f) * 2 + 1] = int16_t(std::lround(0.5 * 32767.0 * std::sin(phase)));
    }
    return s;
}

class LengthExact : public EngineFixture {
protected:
    // Opens PATH, checks its length against EXPECTED frames and that playing it through ends
    // with the position equal to the length.
    void checkLengthAndEnd(const std::string& path, int64_t expected, int rate) {
        const auto v = openOk(path);
        ASSERT_GE(v, 0);
        EXPECT_EQ(engine.sourceRate(v), rate);
        EXPECT_EQ(engine.lengthFrames(v), expected) << path;
        EXPECT_EQ(engine.lengthMs(v), expected * 1000 / rate) << path;
        playToEnd(v, 24000);
        EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
        EXPECT_EQ(engine.positionMs(v), engine.lengthMs(v)) << path;
        EXPECT_EQ(engine.lengthFrames(v), expected) << path;
        engine.close(v);
    }
};

TEST_F(LengthExact, PcmContainers) {
    const ToneSpec tone{440.0, 1.2345, 44100, 2, 0.5};
    const int64_t frames = std::llround(tone.seconds * tone.sampleRate);
    writeToneWav(dir.file("a.wav"), tone);
    checkLengthAndEnd(dir.file("a.wav"), frames, 44100);
    ASSERT_EQ(writeToneEncoded(dir.file("a.aiff"), tone, "aiff"), frames);
    checkLengthAndEnd(dir.file("a.aiff"), frames, 44100);
}

TEST_F(LengthExact, Flac) {
    const ToneSpec tone{440.0, 2.3456, 48000, 2, 0.5};
    const int64_t frames = writeToneEncoded(dir.file("a.flac"), tone, "flac");
    ASSERT_GT(frames, 0);
    checkLengthAndEnd(dir.file("a.flac"), frames, 48000);
}

TEST_F(LengthExact, OggVorbis) {
    const ToneSpec tone{440.0, 1.7777, 44100, 2, 0.5};
    const int64_t frames = writeToneEncoded(dir.file("a.ogg"), tone, "ogg");
    if (frames < 0) GTEST_SKIP() << "no Vorbis encoder in this FFmpeg";
    checkLengthAndEnd(dir.file("a.ogg"), decodedFrameCount(dir.file("a.ogg")), 44100);
    // The encoder's frame count survives the round trip.
    EXPECT_EQ(decodedFrameCount(dir.file("a.ogg")), frames);
}

TEST_F(LengthExact, CodecsWithoutExactPacketDurationsAreCountedByDecoding) {
    // AAC carries encoder priming in an edit list; ASF stamps packets in whole milliseconds.
    const ToneSpec tone{440.0, 2.5, 48000, 2, 0.5};
    for (const char* kind : {"m4a", "wma"}) {
        const std::string path = dir.file(std::string("a.") + kind);
        if (writeToneEncoded(path, tone, kind) < 0) {
            ADD_FAILURE() << "cannot write " << kind;
            continue;
        }
        checkLengthAndEnd(path, decodedFrameCount(path), 48000);
    }
}

TEST_F(LengthExact, Mp3WithLameTagIsTrimmedToTheOriginal) {
    const ToneSpec tone{440.0, 3.21, 44100, 2, 0.5};
    const int64_t frames = std::llround(tone.seconds * tone.sampleRate);
    ASSERT_EQ(writeToneMp3(dir.file("cbr.mp3"), tone, {false, true, 128}), frames);
    checkLengthAndEnd(dir.file("cbr.mp3"), frames, 44100);
    ASSERT_EQ(writeToneMp3(dir.file("vbr.mp3"), tone, {true, true, 128}), frames);
    checkLengthAndEnd(dir.file("vbr.mp3"), frames, 44100);
}

TEST_F(LengthExact, Mp3WithoutAnyHeaderIsCountedNotEstimated) {
    // VBR without a Xing header: the container's bitrate estimate is far off.
    std::vector<int16_t> samples = sweep(48000 * 6, 48000);
    // Loud and quiet halves make the bit rate vary a lot.
    for (size_t i = samples.size() / 2; i < samples.size(); ++i) samples[i] = int16_t(samples[i] / 64);
    ASSERT_GT(writeMp3(dir.file("vbr.mp3"), samples, 2, 48000, {true, false, 128}), 0);
    const int64_t decoded = decodedFrameCount(dir.file("vbr.mp3"));
    ASSERT_GT(decoded, 48000 * 6);
    checkLengthAndEnd(dir.file("vbr.mp3"), decoded, 48000);

    ASSERT_GT(writeMp3(dir.file("cbr.mp3"), samples, 2, 48000, {false, false, 160}), 0);
    checkLengthAndEnd(dir.file("cbr.mp3"), decodedFrameCount(dir.file("cbr.mp3")), 48000);
}

// The frame-header walk must count exactly what the decoder delivers, for every kind of MP3
// LAME writes and with tags around the audio; anything else it leaves to the slower count.
TEST(LengthMp3Walk, AgreesWithTheDecoderOnEveryKindOfMp3) {
    TempDir dir;
    struct Kind {
        int rate, channels;
        Mp3Options options;
    };
    const Kind kinds[] = {{44100, 2, {false, true, 128}}, {44100, 2, {false, false, 128}},
                          {44100, 2, {true, true, 0}},    {44100, 2, {true, false, 0}},
                          {48000, 2, {false, true, 320}}, {48000, 1, {true, true, 0}},
                          {32000, 2, {false, true, 96}},  {22050, 1, {false, true, 32}},
                          {24000, 2, {true, true, 0}},    {22050, 1, {true, false, 0}},
                          {8000, 1, {false, true, 16}},   {11025, 2, {true, true, 0}}};
    int n = 0;
    for (const Kind& k : kinds) {
        for (double seconds : {0.05, 1.234, 3.0}) {
            const std::string path = dir.file("k" + std::to_string(n++) + ".mp3");
            ASSERT_GT(writeToneMp3(path, {440.0, seconds, k.rate, k.channels, 0.5}, k.options), 0);
            auto file = audio::SourceFile::open(path, nullptr);
            ASSERT_TRUE(file);
            EXPECT_EQ(audio::scanMp3Frames(file->fd()), decodedFrameCount(path))
                << k.rate << " Hz, " << k.channels << " ch, vbr " << k.options.vbr << ", tag "
                << k.options.lameTag << ", " << seconds << " s";
        }
    }
    // Tags before and after the audio.
    const std::string plain = dir.file("plain.mp3");
    writeToneMp3(plain, {440.0, 2.0, 44100, 2, 0.5}, {true, true, 0});
    std::string id3v2 = std::string("ID3\x04\x00\x00\x00\x00\x01\x00", 10) + std::string(128, '\0');
    std::string id3v1 = "TAG" + std::string(125, 'x');
    writeFile(dir.file("tagged.mp3"), id3v2 + readFile(plain) + id3v1);
    auto tagged = audio::SourceFile::open(dir.file("tagged.mp3"), nullptr);
    EXPECT_EQ(audio::scanMp3Frames(tagged->fd()), decodedFrameCount(dir.file("tagged.mp3")));
    EXPECT_EQ(audio::scanMp3Frames(tagged->fd()), 88200);
    // A cut-off frame or junk: no answer, the caller counts another way.
    const std::string bytes = readFile(plain);
    writeFile(dir.file("cut.mp3"), bytes.substr(0, bytes.size() - 100));
    EXPECT_EQ(audio::scanMp3Frames(audio::SourceFile::open(dir.file("cut.mp3"), nullptr)->fd()), -1);
    writeFile(dir.file("junk.mp3"), "junk" + bytes);
    EXPECT_EQ(audio::scanMp3Frames(audio::SourceFile::open(dir.file("junk.mp3"), nullptr)->fd()), -1);
}

// A decoder that seeks before it has delivered anything lands where one that read its way there
// does (and so does one reopened for a seek near the start).
TEST(DecodeFresh, SeekBeforeTheFirstReadIsExact) {
    TempDir dir;
    const std::string path = dir.file("sweep.mp3");
    ASSERT_GT(writeMp3(path, sweep(48000 * 6, 48000), 2, 48000, {true, true, 0}), 0);
    auto file = audio::SourceFile::open(path, nullptr);
    auto whole = audio::Decoder::open(file, 48000, nullptr);
    ASSERT_TRUE(whole);
    std::vector<float> all(size_t(48000) * 6 * 2);
    ASSERT_EQ(whole->read(all.data(), 48000 * 6), 48000 * 6);
    for (int64_t target : {int64_t(250000), int64_t(100), int64_t(48000 * 5)}) {
        auto fresh = audio::Decoder::open(file, 48000, nullptr);
        ASSERT_TRUE(fresh->seek(target));
        std::vector<float> out(2000 * 2);
        ASSERT_EQ(fresh->read(out.data(), 2000), 2000);
        for (int i = 0; i < 2000; ++i) ASSERT_EQ(out[size_t(i) * 2], all[size_t(target + i) * 2]) << target << "+" << i;
    }
}

class DecodeSeek : public EngineFixture,
                   public ::testing::WithParamInterface<std::string> {};

// Writes the sweep in the format under test; returns false when it cannot be written here.
bool writeSweep(const std::string& kind, const std::string& path, const std::vector<int16_t>& s) {
    if (kind == "mp3-cbr-tag") return writeMp3(path, s, 2, 48000, {false, true, 192}) > 0;
    if (kind == "mp3-vbr-tag") return writeMp3(path, s, 2, 48000, {true, true, 0}) > 0;
    if (kind == "mp3-vbr-plain") return writeMp3(path, s, 2, 48000, {true, false, 0}) > 0;
    if (kind == "mp3-cbr-plain") return writeMp3(path, s, 2, 48000, {false, false, 192}) > 0;
    return writeEncoded(path, s, 2, 48000, kind) > 0;
}

TEST_P(DecodeSeek, SeekLandsOnTheSameSampleAsAnUninterruptedDecode) {
    const std::string kind = GetParam();
    const std::string path = dir.file("sweep." + kind.substr(0, kind.find('-')));
    const auto samples = sweep(48000 * 8, 48000);
    if (!writeSweep(kind, path, samples)) GTEST_SKIP() << kind << " cannot be written here";
    const auto v = openOk(path);
    const std::vector<float> whole = playToEnd(v, 48000);
    const int64_t length = engine.lengthFrames(v);
    ASSERT_GE(int64_t(whole.size()) / 2, length);
    for (int64_t ms : {0, 1, 777, 3001, 5555, 7000, 7400, 7900}) {
        ASSERT_TRUE(engine.seek(v, ms));
        EXPECT_EQ(engine.positionMs(v), ms);
        ASSERT_TRUE(engine.play(v, -1, -1));
        const auto out = render(2400);
        const int64_t at = ms * 48;
        float worst = 0;
        for (int64_t f = 0; f < 2400 && at + f < length; ++f)
            worst = std::max(worst, std::fabs(out[size_t(f) * 2] - whole[size_t(at + f) * 2]));
        EXPECT_LT(worst, 2e-3f) << kind << " at " << ms << " ms";
        engine.stop(v);
    }
    // play "from" takes the same path.
    ASSERT_TRUE(engine.play(v, 4321, -1));
    const auto out = render(1000);
    float worst = 0;
    for (int64_t f = 0; f < 1000; ++f)
        worst = std::max(worst, std::fabs(out[size_t(f) * 2] - whole[size_t(4321 * 48 + f) * 2]));
    EXPECT_LT(worst, 2e-3f) << kind;
}

INSTANTIATE_TEST_SUITE_P(Decode, DecodeSeek,
                         ::testing::Values("mp3-cbr-tag", "mp3-vbr-tag", "mp3-vbr-plain", "mp3-cbr-plain", "flac",
                                           "ogg", "aiff", "m4a", "wma"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (c == '-') c = '_';
                             return n;
                         });

}  // namespace
}  // namespace brisko::test
