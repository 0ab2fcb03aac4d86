// Writers for encoded test audio (libmp3lame and FFmpeg encoders).
#include "tests/support/EncodedFiles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}
#include <lame/lame.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace brisko::test {

int64_t writeMp3(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate,
                 const Mp3Options& options) {
    if (channels < 1 || channels > 2) return -1;
    const int64_t frames = static_cast<int64_t>(samples.size()) / channels;
    lame_t lame = lame_init();
    if (!lame) return -1;
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    if (options.vbr) {
        lame_set_VBR(lame, vbr_default);
        lame_set_VBR_quality(lame, 4);
    } else {
        lame_set_VBR(lame, vbr_off);
        lame_set_brate(lame, options.bitrate);
    }
    lame_set_bWriteVbrTag(lame, options.lameTag ? 1 : 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return -1;
    }
    std::vector<unsigned char> out;
    std::vector<unsigned char> buf(static_cast<size_t>(1.25 * 8192 + 7200));
    std::vector<int16_t> left, right;
    for (int64_t at = 0; at < frames; at += 8192) {
        const int n = static_cast<int>(std::min<int64_t>(8192, frames - at));
        int got;
        if (channels == 2) {
            got = lame_encode_buffer_interleaved(lame, const_cast<short*>(samples.data() + at * 2), n, buf.data(),
                                                 static_cast<int>(buf.size()));
        } else {
            got = lame_encode_buffer(lame, samples.data() + at, nullptr, n, buf.data(), static_cast<int>(buf.size()));
        }
        if (got < 0) {
            lame_close(lame);
            return -1;
        }
        out.insert(out.end(), buf.begin(), buf.begin() + got);
    }
    const int tail = lame_encode_flush(lame, buf.data(), static_cast<int>(buf.size()));
    if (tail > 0) out.insert(out.end(), buf.begin(), buf.begin() + tail);
    if (options.lameTag) {
        // The first frame was a placeholder: put the finished tag over it.
        unsigned char tag[2880];
        const size_t n = lame_get_lametag_frame(lame, tag, sizeof tag);
        if (n > 0 && n <= out.size()) std::copy(tag, tag + n, out.begin());
    }
    lame_close(lame);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return f ? frames : -1;
}

int64_t writeToneMp3(const std::string& path, const ToneSpec& tone, const Mp3Options& options) {
    return writeMp3(path, toneSamples(tone), tone.channels, tone.sampleRate, options);
}

namespace {

// Fills FRAME (already sized) from interleaved 16-bit samples starting at frame AT.
void fillFrame(AVFrame* frame, const std::vector<int16_t>& samples, int channels, int64_t at) {
    const int n = frame->nb_samples;
    const auto fmt = static_cast<AVSampleFormat>(frame->format);
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < channels; ++c) {
            const int16_t s = samples[static_cast<size_t>((at + i) * channels + c)];
            switch (fmt) {
            case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t*>(frame->data[0])[i * channels + c] = s; break;
            case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t*>(frame->extended_data[c])[i] = s; break;
            case AV_SAMPLE_FMT_S32: reinterpret_cast<int32_t*>(frame->data[0])[i * channels + c] = s * 65536; break;
            case AV_SAMPLE_FMT_S32P: reinterpret_cast<int32_t*>(frame->extended_data[c])[i] = s * 65536; break;
            case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(frame->data[0])[i * channels + c] = s / 32768.0f; break;
            case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(frame->extended_data[c])[i] = s / 32768.0f; break;
            default: break;
            }
        }
    }
}

bool drain(AVCodecContext* ctx, AVFormatContext* oc, AVStream* st, AVPacket* pkt) {
    for (;;) {
        const int r = avcodec_receive_packet(ctx, pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        av_packet_rescale_ts(pkt, ctx->time_base, st->time_base);
        pkt->stream_index = st->index;
        if (av_interleaved_write_frame(oc, pkt) < 0) return false;
    }
}

}  // namespace

int64_t writeEncoded(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate,
                     const std::string& format) {
    const char* encoderName = nullptr;
    const char* muxer = format.c_str();
    if (format == "flac") encoderName = "flac";
    else if (format == "ogg") encoderName = "libvorbis";
    else if (format == "aiff") encoderName = "pcm_s16be";
    else if (format == "wav") encoderName = "pcm_s16le";
    else if (format == "m4a") {
        encoderName = "aac";
        muxer = "ipod";
    } else if (format == "wma") {
        encoderName = "wmav2";
        muxer = "asf";
    } else return -1;
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    if (!codec && format == "ogg") codec = avcodec_find_encoder_by_name("vorbis");
    if (!codec) return -1;
    const int64_t frames = static_cast<int64_t>(samples.size()) / channels;

    AVFormatContext* oc = nullptr;
    if (avformat_alloc_output_context2(&oc, nullptr, muxer, path.c_str()) < 0 || !oc) return -1;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    AVStream* st = avformat_new_stream(oc, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool ok = ctx && st && pkt && frame;
    if (ok) {
        ctx->sample_rate = rate;
        av_channel_layout_default(&ctx->ch_layout, channels);
        ctx->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == AV_SAMPLE_FMT_S16) ctx->sample_fmt = *f;
        ctx->time_base = AVRational{1, rate};
        if (oc->oformat->flags & AVFMT_GLOBALHEADER) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ok = avcodec_open2(ctx, codec, nullptr) >= 0 && avcodec_parameters_from_context(st->codecpar, ctx) >= 0;
    }
    if (ok) {
        st->time_base = ctx->time_base;
        ok = avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(oc, nullptr) >= 0;
    }
    const int frameSize = ctx && ctx->frame_size > 0 ? ctx->frame_size : 1024;
    for (int64_t at = 0; ok && at < frames; at += frameSize) {
        av_frame_unref(frame);
        frame->nb_samples = static_cast<int>(std::min<int64_t>(frameSize, frames - at));
        frame->format = ctx->sample_fmt;
        frame->sample_rate = rate;
        av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
        ok = av_frame_get_buffer(frame, 0) >= 0;
        if (!ok) break;
        fillFrame(frame, samples, channels, at);
        frame->pts = at;
        ok = avcodec_send_frame(ctx, frame) >= 0 && drain(ctx, oc, st, pkt);
    }
    if (ok) ok = avcodec_send_frame(ctx, nullptr) >= 0 && drain(ctx, oc, st, pkt) && av_write_trailer(oc) >= 0;
    if (oc && oc->pb) avio_closep(&oc->pb);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    avformat_free_context(oc);
    if (!ok) std::remove(path.c_str());
    return ok ? frames : -1;
}

int64_t writeToneEncoded(const std::string& path, const ToneSpec& tone, const std::string& format) {
    return writeEncoded(path, toneSamples(tone), tone.channels, tone.sampleRate, format);
}

bool transcodeWithFfmpeg(const std::string& source, const std::string& out, const std::string& args) {
    const std::string command = "ffmpeg -nostdin -v error -y -i '" + source + "' " + args + " '" + out + "'";
    return std::system(command.c_str()) == 0;
}

int64_t writePcmWav(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate) {
    const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string h = "RIFF";
    auto put = [&h](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) h.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    };
    put(36 + dataBytes, 4);
    h += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(static_cast<uint32_t>(channels), 2);
    put(static_cast<uint32_t>(rate), 4);
    put(static_cast<uint32_t>(rate * channels * 2), 4);
    put(static_cast<uint32_t>(channels * 2), 2);
    put(16, 2);
    h += "data";
    put(dataBytes, 4);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(h.data(), static_cast<std::streamsize>(h.size()));
    f.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
    return static_cast<int64_t>(samples.size()) / channels;
}

std::vector<int16_t> rampSamples(int64_t frames, int channels, int period) {
    std::vector<int16_t> s(static_cast<size_t>(frames * channels));
    for (int64_t f = 0; f < frames; ++f) {
        const auto v = static_cast<int16_t>((f % period) - period / 2);
        for (int c = 0; c < channels; ++c) s[static_cast<size_t>(f * channels + c)] = v;
    }
    return s;
}

}  // namespace brisko::test
