// Exact lengths for every format, position at the end, and sample-exact seeking in compressed
// files (compared with an uninterrupted decode of the same file).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cmath>
#include <cstdlib>

#include "platform/audio/Decoder.h"
#include "platform/audio/MatroskaLength.h"
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

// Everything our decoder delivers for PATH at its own rate, to the end, when that is the length
// the file states or the scan counts; -2 when the decoder's end position disagrees, -3 when the
// length does.
int64_t deliveredFrames(const std::string& path, int64_t* stated = nullptr) {
    auto file = audio::SourceFile::open(path, nullptr);
    auto probe = file ? audio::Decoder::open(file, 48000, nullptr) : nullptr;
    if (!probe) return -1;
    auto d = audio::Decoder::open(file, probe->sourceRate(), nullptr);
    if (stated) *stated = d->statedLength();
    // Where nothing is stated, the scan answers (the engine would also take where decoding
    // ended, if that came first: check the scan alone).
    const int64_t answer =
        d->statedLength() >= 0 ? d->statedLength() : audio::scanExactLength(file, d->streamIndex(), d->isPlainMp3());
    std::vector<float> buf(8192 * 2);
    int64_t total = 0;
    for (int64_t got; (got = d->read(buf.data(), 8192)) > 0;) total += got;
    if (!d->atEnd() || d->sourcePosition() != total) return -2;
    return answer == total ? total : -3;
}

// One file of the corpus: how it is made from the source, and what its length must be.
struct CorpusFile {
    const char* name;
    const char* ffmpegArgs;
    enum { Source, Decoded } truth;  // the source's sample count, or (where the file states no
                                     // more) what a plain decode yields
    bool stated;                     // the container states it: known at open, without a scan
};

// Every format and encoder kind, made at test time from a tone of odd length, each checked
// against its source: the engine's length, and what the decoder delivers when played to the end.
TEST_F(LengthExact, CorpusOfEveryFormatMatchesItsSource) {
    const ToneSpec tone{523.0, 1.3001, 48000, 2, 0.5};
    const std::string source = dir.file("source.wav");
    const int64_t frames = writeToneWav(source, tone);
    const CorpusFile corpus[] = {
        {"lame-cbr.mp3", "-c:a libmp3lame -b:a 128k", CorpusFile::Source, false},
        {"lame-vbr.mp3", "-c:a libmp3lame -q:a 4", CorpusFile::Source, false},
        {"tagged.mp3", "-c:a libmp3lame -id3v2_version 4 -write_id3v1 1 -metadata title=Tone", CorpusFile::Source, false},
        {"no-xing.mp3", "-c:a libmp3lame -write_xing 0", CorpusFile::Decoded, false},
        {"a.mp2", "-c:a mp2", CorpusFile::Decoded, false},
        {"vorbis.ogg", "-c:a libvorbis", CorpusFile::Source, true},
        {"opus.ogg", "-c:a libopus", CorpusFile::Source, true},
        {"opus.webm", "-c:a libopus", CorpusFile::Source, false},
        {"a.flac", "-c:a flac", CorpusFile::Source, true},
        {"aac.m4a", "-c:a aac", CorpusFile::Source, true},
        {"aac.mp4", "-c:a aac", CorpusFile::Source, true},
        {"aac.mov", "-c:a aac", CorpusFile::Source, true},
        {"alac.m4a", "-c:a alac", CorpusFile::Source, true},
        {"adts.aac", "-c:a aac", CorpusFile::Decoded, false},
        {"a.wma", "-c:a wmav2", CorpusFile::Decoded, false},
        {"s24.wav", "-c:a pcm_s24le", CorpusFile::Source, true},
        {"f32.wav", "-c:a pcm_f32le", CorpusFile::Source, true},
        {"u8-mono.wav", "-c:a pcm_u8 -ac 1", CorpusFile::Source, true},
        {"rf64.wav", "-c:a pcm_s16le -rf64 always", CorpusFile::Source, true},
        {"a.aiff", "-c:a pcm_s16be", CorpusFile::Source, true},
        {"sowt.aiff", "-c:a pcm_s16le", CorpusFile::Source, true},
        {"a.au", "-c:a pcm_s16be", CorpusFile::Source, false},
        {"mp3.avi", "-c:a libmp3lame", CorpusFile::Decoded, false},
        {"pcm.mov", "-c:a pcm_s16le", CorpusFile::Source, true},
        {"mp2.mpg", "-c:a mp2 -f mpeg", CorpusFile::Decoded, false},
    };
    for (const CorpusFile& c : corpus) {
        const std::string path = dir.file(c.name);
        if (!transcodeWithFfmpeg(source, path, c.ffmpegArgs)) {
            ADD_FAILURE() << "ffmpeg cannot write " << c.name;
            continue;
        }
        const int64_t truth = c.truth == CorpusFile::Source ? frames : decodedFrameCount(path);
        int64_t stated = -1;
        EXPECT_EQ(deliveredFrames(path, &stated), truth) << c.name << " plays longer or shorter than its length";
        if (c.stated) {
            EXPECT_EQ(stated, truth) << c.name << " states its length";
        }
        const auto v = openOk(path);
        EXPECT_EQ(engine.lengthFrames(v), truth) << c.name;
        engine.close(v);
    }
    // Truncated files (small pages, the index in front): the length is what can still be decoded.
    const std::pair<const char*, const char*> cuts[] = {
        {"lame-vbr.mp3", "-c:a libmp3lame -q:a 4"},
        {"vorbis.ogg", "-c:a libvorbis -page_duration 100000"},
        {"opus.ogg", "-c:a libopus -page_duration 100000"},
        {"opus.webm", "-c:a libopus -cluster_time_limit 200"},
        {"a.flac", "-c:a flac"},
        {"aac.m4a", "-c:a aac -movflags +faststart"}};
    for (const auto& [name, args] : cuts) {
        const std::string path = dir.file(std::string("cut-") + name);
        ASSERT_TRUE(transcodeWithFfmpeg(source, path, args)) << name;
        const std::string bytes = readFile(path);
        writeFile(path, bytes.substr(0, bytes.size() * 3 / 5));
        const int64_t delivered = deliveredFrames(path);
        EXPECT_GT(delivered, frames / 5) << path;
        EXPECT_LT(delivered, frames) << path;
        const auto v = openOk(path);
        EXPECT_EQ(engine.lengthFrames(v), delivered) << path;
        engine.close(v);
    }
}

// Sets the frame count of the Xing tag in the MP3 BYTES to FACTOR times its value.
void scaleXingCount(std::string& bytes, double factor) {
    const size_t at = bytes.find("Xing") != std::string::npos ? bytes.find("Xing") : bytes.find("Info");
    ASSERT_NE(at, std::string::npos);
    ASSERT_TRUE(bytes[at + 7] & 1) << "no frame count in the tag";
    auto* p = reinterpret_cast<unsigned char*>(&bytes[at + 8]);
    const uint32_t count = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    const auto scaled = static_cast<uint32_t>(std::lround(count * factor));
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(scaled >> (24 - 8 * i));
}

// A tag whose frame count is wrong: the frames are trusted, the padding is trimmed at their end,
// and the sound is the same sample for sample as with the right count (nothing cut in the middle).
TEST_F(LengthExact, WrongXingFrameCountTrustsTheFrames) {
    const int64_t frames = 48000 * 3 + 357;
    const std::string right = dir.file("right.mp3");
    ASSERT_EQ(writeMp3(right, sweep(frames, 48000), 2, 48000, {true, true, 0}), frames);
    auto decodeAll = [](const std::string& path) {
        auto d = audio::Decoder::open(audio::SourceFile::open(path, nullptr), 48000, nullptr);
        std::vector<float> all(size_t(frames + 48000) * 2);
        all.resize(size_t(d ? d->read(all.data(), frames + 48000) : 0) * 2);
        return all;
    };
    const std::vector<float> reference = decodeAll(right);
    ASSERT_EQ(int64_t(reference.size()) / 2, frames);
    for (double factor : {1.2, 0.8, 0.5, 3.0}) {
        std::string bytes = readFile(right);
        scaleXingCount(bytes, factor);
        const std::string wrong = dir.file("wrong.mp3");
        writeFile(wrong, bytes);
        EXPECT_EQ(decodeAll(wrong), reference) << "count x" << factor;
        auto file = audio::SourceFile::open(wrong, nullptr);
        EXPECT_EQ(audio::scanMp3Frames(file->fd()), frames) << "count x" << factor;
        const auto v = openOk(wrong);
        EXPECT_EQ(engine.lengthFrames(v), frames) << "count x" << factor;
        // Played through the engine, it stops at its length, having played it all.
        const std::vector<float> out = playToEnd(v, 4800);
        EXPECT_EQ(engine.positionMs(v), frames * 1000 / 48000);
        EXPECT_GT(rms(out, frames - 2400, 2000), 0.1) << "the end of the sound is played";
        engine.close(v);
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

// Sets every cluster of the Matroska BYTES to unknown size, as a live recorder leaves them.
void openClusterSizes(std::string& bytes) {
    for (size_t at = 0; (at = bytes.find("\x1F\x43\xB6\x75", at)) != std::string::npos; at += 4) {
        auto* size = reinterpret_cast<unsigned char*>(&bytes[at + 4]);
        int len = 1;
        while (len < 8 && !(size[0] & (0x80 >> (len - 1)))) ++len;
        size[0] |= uint8_t(0xFF >> len);
        for (int i = 1; i < len; ++i) size[i] = 0xFF;
    }
}

// The WebM/Matroska block walk counts exactly what the decoder delivers, whatever the layout
// (sizes stated or left open, another track's blocks between the audio, packets of 2.5 to 60 ms);
// what it cannot account for it leaves to the slower count, which gets the length right too.
TEST(LengthMatroskaWalk, AgreesWithTheDecoderOnEveryLayout) {
    TempDir dir;
    const std::string source = dir.file("source.wav");
    const int64_t frames = writeToneWav(source, {523.0, 1.0107, 48000, 2, 0.5});
    ASSERT_NE(frames % 960, 0);
    auto walk = [](const std::string& path) {
        auto file = audio::SourceFile::open(path, nullptr);
        return file ? audio::matroskaOpusLength(file->fd()) : -2;
    };
    const std::pair<const char*, const char*> layouts[] = {
        {"a.webm", "-c:a libopus"},
        {"mono-short-frames.webm", "-ac 1 -c:a libopus -b:a 24k -frame_duration 2.5"},
        {"long-frames.mka", "-c:a libopus -frame_duration 60 -cluster_time_limit 100"},
        {"with-video.mkv",
         "-f lavfi -i color=c=black:s=16x16:r=10:d=1.2 -map 0:a -map 1:v -c:a libopus -c:v mjpeg -cluster_time_limit 150"},
    };
    for (const auto& [name, args] : layouts) {
        const std::string path = dir.file(name);
        ASSERT_TRUE(transcodeWithFfmpeg(source, path, args)) << name;
        EXPECT_EQ(walk(path), frames) << name;
        EXPECT_EQ(deliveredFrames(path), frames) << name;
    }
    // Written to a pipe, the segment's size is left open; a live recorder leaves the clusters' too.
    const std::string piped = dir.file("piped.webm");
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -i '" + source +
                           "' -c:a libopus -cluster_time_limit 200 -f webm - > '" + piped + "'")
                              .c_str()),
              0);
    std::string bytes = readFile(piped);
    openClusterSizes(bytes);
    writeFile(dir.file("open.webm"), bytes);
    for (const char* name : {"piped.webm", "open.webm"}) {
        EXPECT_EQ(walk(dir.file(name)), frames) << name;
        EXPECT_EQ(deliveredFrames(dir.file(name)), frames) << name;
    }
    // Cut off in a block of an open cluster: not walked, counted.
    writeFile(dir.file("open-cut.webm"), bytes.substr(0, bytes.size() * 2 / 3 + 1));
    EXPECT_EQ(walk(dir.file("open-cut.webm")), -1);
    EXPECT_GT(deliveredFrames(dir.file("open-cut.webm")), frames / 2);
    // Two audio tracks, or a header whose pre-skip the container's codec delay contradicts: not
    // walked; the count still agrees with the decoder.
    ASSERT_TRUE(transcodeWithFfmpeg(source, dir.file("two.mka"), "-map 0:a -map 0:a -c:a libopus"));
    EXPECT_EQ(walk(dir.file("two.mka")), -1);
    EXPECT_EQ(deliveredFrames(dir.file("two.mka")), frames);
    bytes = readFile(dir.file("a.webm"));
    const size_t head = bytes.find("OpusHead");
    ASSERT_NE(head, std::string::npos);
    bytes[head + 10] = char(0xE8), bytes[head + 11] = char(0x03);  // 1000 samples
    writeFile(dir.file("pre-skip.webm"), bytes);
    EXPECT_EQ(walk(dir.file("pre-skip.webm")), -1);
    EXPECT_EQ(deliveredFrames(dir.file("pre-skip.webm")), frames + 312 - 1000);
}

// WMA packets without the bit reservoir are counted without decoding: the count must be what
// the decoder delivers for both versions, every frame length (512 to 2048) and cut-off files.
TEST(LengthWmaCount, AgreesWithTheDecoder) {
    TempDir dir;
    int n = 0;
    for (const char* codec : {"wmav1", "wmav2"}) {
        for (const int rate : {11025, 22050, 44100, 48000}) {
            const std::string source = dir.file("source.wav");
            writeToneWav(source, {440.0, 0.4321 + 0.1 * n, rate, 1 + n % 2, 0.5});
            const std::string path = dir.file("w" + std::to_string(n++) + ".wma");
            ASSERT_TRUE(transcodeWithFfmpeg(source, path, std::string("-c:a ") + codec));
            const int64_t decoded = decodedFrameCount(path);
            ASSERT_GT(decoded, 0);
            EXPECT_EQ(deliveredFrames(path), decoded) << codec << " at " << rate << " Hz";
            std::string bytes = readFile(path);
            writeFile(dir.file("cut.wma"), bytes.substr(0, bytes.size() * 2 / 3 + 7));
            EXPECT_GT(deliveredFrames(dir.file("cut.wma")), 0) << codec << " at " << rate << " Hz, cut";
        }
    }
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
        // A start from inside the sound fades in over its first 5 ms (240 frames); from 0 it does not.
        for (int64_t f = ms == 0 ? 0 : 240; f < 2400 && at + f < length; ++f)
            worst = std::max(worst, std::fabs(out[size_t(f) * 2] - whole[size_t(at + f) * 2]));
        EXPECT_LT(worst, 2e-3f) << kind << " at " << ms << " ms";
        engine.stop(v);
    }
    // play "from" takes the same path.
    ASSERT_TRUE(engine.play(v, 4321, -1));
    const auto out = render(1000);
    float worst = 0;
    for (int64_t f = 240; f < 1000; ++f)
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
