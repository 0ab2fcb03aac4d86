// FFmpeg decoding of one audio stream, resampled to the output rate, with exact seeking.
#include "platform/audio/Decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/audio/ContainerLength.h"
#include "platform/audio/MatroskaLength.h"

namespace brisko::audio {
namespace {

bool isPcm(int codecId) {
    return codecId >= AV_CODEC_ID_PCM_S16LE && codecId < AV_CODEC_ID_ADPCM_IMA_QT;
}

// Decoders that need no history: a seek can land exactly on the target.
bool needsNoPreroll(int codecId) {
    return isPcm(codecId) || codecId == AV_CODEC_ID_FLAC;
}

AVCodecContext* openCodec(AVStream* st, bool manualSkip, std::string* error) {
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) {
        if (error) *error = "no decoder for this audio format";
        return nullptr;
    }
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    if (!ctx) {
        if (error) *error = "out of memory";
        return nullptr;
    }
    int r = avcodec_parameters_to_context(ctx, st->codecpar);
    if (r >= 0) {
        ctx->pkt_timebase = st->time_base;
        ctx->thread_count = 1;
        if (manualSkip) ctx->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
        r = avcodec_open2(ctx, codec, nullptr);
    }
    if (r < 0) {
        if (error) *error = "cannot start the decoder (" + ffmpegErrorText(r) + ")";
        avcodec_free_context(&ctx);
        return nullptr;
    }
    return ctx;
}

void discardOtherStreams(AVFormatContext* fmt, int keep) {
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        fmt->streams[i]->discard = static_cast<int>(i) == keep ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
}

bool isPlainMp3Stream(const AVFormatContext* fmt, int stream) {
    return fmt->streams[stream]->codecpar->codec_id == AV_CODEC_ID_MP3 && fmt->iformat &&
           std::strcmp(fmt->iformat->name, "mp3") == 0;
}

// Whether the container's header alone describes its one audio stream completely (PCM in a
// WAV or AIFF file).
bool statesStreamInfo(const AVFormatContext* fmt) {
    if (fmt->nb_streams != 1 || !fmt->iformat) return false;
    const std::string name = fmt->iformat->name;
    const AVCodecParameters* par = fmt->streams[0]->codecpar;
    return (name == "wav" || name == "aiff") && par->codec_type == AVMEDIA_TYPE_AUDIO && isPcm(par->codec_id) &&
           par->sample_rate > 0 && par->ch_layout.nb_channels > 0 && par->block_align > 0;
}

// WMA (versions 1 and 2) in ASF whose encoder options leave out the bit reservoir and variable
// block lengths: every packet then holds exactly one frame of the codec's fixed length.
bool wmaOneFramePerPacket(const AVFormatContext* fmt, const AVStream* st) {
    const AVCodecParameters* par = st->codecpar;
    if (!fmt->iformat || std::strcmp(fmt->iformat->name, "asf") != 0 || par->block_align <= 0) return false;
    // The encoder options follow the samples per block (16 bits in version 1, 32 in version 2).
    int at = -1;
    if (par->codec_id == AV_CODEC_ID_WMAV1) at = 2;
    else if (par->codec_id == AV_CODEC_ID_WMAV2) at = 4;
    if (at < 0 || par->extradata_size < at + 2) return false;
    const unsigned options = AV_RL16(par->extradata + at);
    return (options & 0x0006) == 0;  // 2: bit reservoir, 4: variable block length
}

// Frames delivered for such a stream: the decoder holds back the first frame (it only primes the
// overlap), so all packets but one, each of the frame length the decoder reports for its first
// frame. -1 when a packet is not whole or no frame comes out of the first packets.
int64_t countWmaFrames(AVFormatContext* fmt, int stream) {
    AVStream* st = fmt->streams[stream];
    AVCodecContext* ctx = openCodec(st, false, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool whole = ctx && pkt && frame;
    int64_t packets = 0, frameLength = 0;
    while (whole && av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == stream) {
            whole = pkt->size == st->codecpar->block_align && !(pkt->flags & AV_PKT_FLAG_CORRUPT);
            ++packets;
            // Decoded only until the first frame comes out; a decoder still holding frames back
            // after a few packets is not one that delivers a frame per packet.
            if (whole && frameLength == 0 && packets <= 4 && avcodec_send_packet(ctx, pkt) >= 0 &&
                avcodec_receive_frame(ctx, frame) >= 0)
                frameLength = frame->nb_samples;
        }
        av_packet_unref(pkt);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    return whole && frameLength > 0 ? (packets - 1) * frameLength : -1;
}

// Rates and channel counts outside these are refused: no sound card plays them, and converting
// from them would take unbounded work (a header claiming 2 Hz asks for 24000 output frames per
// input frame).
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 768000;
constexpr int kMaxChannels = 64;
// Output frames converted in one piece, whatever the ratio of the rates.
constexpr int64_t kPieceFrames = 4096;

}  // namespace

std::unique_ptr<Decoder> Decoder::open(std::shared_ptr<SourceFile> file, int outRate, std::string* error) {
    std::unique_ptr<Decoder> d(new Decoder);
    d->outRate_ = outRate;
    d->input_ = std::make_unique<FormatInput>();
    if (!d->input_->open(std::move(file), false, error)) return nullptr;
    AVFormatContext* fmt = d->input_->context();
    // Headers of PCM files state everything about the stream: reading ahead for stream info
    // (seconds of sound in a long WAV) is needed only by the others.
    if (!statesStreamInfo(fmt) && !d->input_->findInfo(error)) return nullptr;
    d->streamIndex_ = d->input_->bestAudioStream();
    if (d->streamIndex_ < 0) {
        if (error) *error = "the file has no audio stream";
        return nullptr;
    }
    discardOtherStreams(fmt, d->streamIndex_);
    // An MP3 whose tag states its padding: the demuxer would cut the padding where the tag's
    // frame count places it, in the middle of the sound when the count is short. Trim it here,
    // at the end of the frames really present.
    Mp3Tag tag;
    if (isPlainMp3Stream(fmt, d->streamIndex_) && readMp3Tag(d->input_->file()->fd(), &tag) && tag.endPad >= 0) {
        d->manualSkip_ = true;
        d->holdBack_ = mp3EndTrim(tag.endPad);
    }
    d->codec_ = openCodec(fmt->streams[d->streamIndex_], d->manualSkip_, error);
    if (!d->codec_) return nullptr;
    d->packet_ = av_packet_alloc();
    d->frame_ = av_frame_alloc();
    if (!d->packet_ || !d->frame_) {
        if (error) *error = "out of memory";
        return nullptr;
    }
    // Decode the first frame now: a file that yields no sound at all is refused here.
    if (!d->nextFrame() || d->frame_->sample_rate <= 0) {
        if (error) *error = "no decodable audio in the file";
        return nullptr;
    }
    d->srcRate_ = d->frame_->sample_rate;
    const int channels = d->frame_->ch_layout.nb_channels;
    if (d->srcRate_ < kMinRate || d->srcRate_ > kMaxRate) {
        if (error) *error = "the sample rate of " + std::to_string(d->srcRate_) + " Hz cannot be played";
        return nullptr;
    }
    if (channels < 1 || channels > kMaxChannels || !d->setupResampler(d->frame_)) {
        if (error) *error = "the channel layout (" + std::to_string(channels) + " channels) cannot be played";
        return nullptr;
    }
    // WMA with one frame per packet: every frame holds the codec's fixed count of samples, so
    // a stamp rounded to milliseconds still names exactly one frame of the grid.
    if (wmaOneFramePerPacket(fmt, fmt->streams[d->streamIndex_]) && d->frame_->nb_samples > 0)
        d->frameGrid_ = d->frame_->nb_samples;
    // Source frame 0 is the first sample delivered; seeks are placed relative to its stamp, so
    // it is known before anything is read.
    const int64_t ts = d->frameStartSamples(d->frame_);
    d->origin_ = (ts != INT64_MIN ? ts : 0) + (d->manualSkip_ ? manualStartSkip(d->frame_) : 0);
    d->originKnown_ = true;
    d->readStatedLength();
    d->queueFrame();
    return d;
}

Decoder::~Decoder() {
    clearQueue();
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    swr_free(&swr_);
    avcodec_free_context(&codec_);
}

void Decoder::setOutRate(int rate) {
    outRate_ = rate;
    swr_free(&swr_);
    swrFormat_ = -1;
}

bool Decoder::isPlainMp3() const { return isPlainMp3Stream(input_->context(), streamIndex_); }

int Decoder::codecId() const { return codec_ ? static_cast<int>(codec_->codec_id) : 0; }

void Decoder::readStatedLength() {
    const AVFormatContext* fmt = input_->context();
    const std::string name = fmt->iformat ? fmt->iformat->name : "";
    const int id = codecId();
    const int fd = input_->file()->fd();
    int64_t n = -1;
    if (name.find("mp4") != std::string::npos) n = mp4StatedLength(fd, streamIndex_, srcRate_);
    else if (name == "ogg" && (id == AV_CODEC_ID_OPUS || id == AV_CODEC_ID_VORBIS)) n = oggStatedLength(fd);
    else if (name == "flac" && id == AV_CODEC_ID_FLAC) n = flacStatedLength(fd);
    else if (name == "wav" && isPcm(id)) n = wavStatedLength(fd);
    else if (name == "aiff" && isPcm(id)) n = aiffStatedLength(fd);
    statedLength_ = n;
    endLimit_ = n >= 0 ? n : INT64_MAX;
}

int64_t Decoder::estimatedLength() const {
    if (statedLength_ >= 0) return statedLength_;
    const AVFormatContext* fmt = input_->context();
    if (fmt->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE || srcRate_ <= 0) return -1;
    const AVStream* stream = fmt->streams[streamIndex_];
    const AVRational frames{1, srcRate_};
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return av_rescale_q(stream->duration, stream->time_base, frames);
    if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0)
        return av_rescale_q(fmt->duration, AVRational{1, AV_TIME_BASE}, frames);
    return -1;
}

int64_t Decoder::frameStartSamples(const AVFrame* frame) const {
    int64_t pts = frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) return INT64_MIN;
    const AVRational tb = input_->context()->streams[streamIndex_]->time_base;
    const int64_t samples = av_rescale_q(pts, tb, AVRational{1, srcRate_ > 0 ? srcRate_ : frame->sample_rate});
    if (frameGrid_ <= 0) return samples;
    // The nearest start of a frame: a stamp is off by less than a millisecond, a frame is long.
    const int64_t half = frameGrid_ / 2;
    return (samples >= 0 ? (samples + half) / frameGrid_ : -((half - samples) / frameGrid_)) * frameGrid_;
}

int64_t Decoder::manualStartSkip(const AVFrame* frame) {
    const AVFrameSideData* side = av_frame_get_side_data(frame, AV_FRAME_DATA_SKIP_SAMPLES);
    return side && side->size >= 10 ? int64_t(AV_RL32(side->data)) : 0;
}

bool Decoder::nextFrame() {
    AVFormatContext* fmt = input_->context();
    for (;;) {
        int r = avcodec_receive_frame(codec_, frame_);
        if (r == 0) return true;
        if (r == AVERROR_EOF) return false;
        if (demuxEnded_) return false;
        r = av_read_frame(fmt, packet_);
        if (r < 0) {
            demuxEnded_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (packet_->stream_index != streamIndex_) {
            av_packet_unref(packet_);
            continue;
        }
        // A file cut off in its last frame has lost its padding with it: nothing to trim then.
        if (holdBack_ > 0)
            lastFrameCut_ = packet_->size < 4 || packet_->size < mp3FrameBytes(packet_->data);
        r = avcodec_send_packet(codec_, packet_);
        av_packet_unref(packet_);
        if (r < 0 && r != AVERROR(EAGAIN)) ++badPackets_;  // corrupt data: skip the packet
    }
}

bool Decoder::setupResampler(const AVFrame* frame) {
    const int channels = frame->ch_layout.nb_channels;
    if (swr_ && swrFormat_ == frame->format && swrRate_ == frame->sample_rate && swrChannels_ == channels)
        return true;
    swr_free(&swr_);
    if (channels < 1 || channels > kMaxChannels || frame->sample_rate < kMinRate || frame->sample_rate > kMaxRate)
        return false;
    AVChannelLayout in{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&frame->ch_layout) == 0)
        av_channel_layout_default(&in, channels);
    else
        av_channel_layout_copy(&in, &frame->ch_layout);
    AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
    int r = swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_FLT, outRate_, &in,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
    // A mono source plays at full level on both sides.
    if (r >= 0 && channels == 1) {
        const double both[2] = {1.0, 1.0};
        r = swr_set_matrix(swr_, both, 1);
    }
    av_channel_layout_uninit(&in);
    if (r < 0 || swr_init(swr_) < 0) {
        swr_free(&swr_);
        return false;
    }
    swrFormat_ = frame->format;
    swrRate_ = frame->sample_rate;
    swrChannels_ = channels;
    return true;
}

void Decoder::queueFrame() {
    const int64_t n = frame_->nb_samples;
    // A start trim left to us is stated once and may reach over several frames.
    if (manualSkip_) skipCarry_ += manualStartSkip(frame_);
    const int64_t trim = std::min(skipCarry_, std::max<int64_t>(n, 0));
    skipCarry_ -= trim;
    // Timeline position of the frame's first sample (trimmed samples lie before 0).
    int64_t raw = srcPos_;
    if (placeByTimestamp_) {
        const int64_t ts = frameStartSamples(frame_);
        if (ts != INT64_MIN) {
            if (!originKnown_) {
                origin_ = ts + trim;
                originKnown_ = true;
            }
            raw = ts - origin_;
        } else if (!originKnown_) {
            originKnown_ = true;  // no timestamps at all: count from here
            raw = -trim;
        }
        placeByTimestamp_ = false;
    }
    srcPos_ = raw + std::max<int64_t>(n, 0);
    if (n - trim <= 0) return;
    AVFrame* copy = av_frame_alloc();
    if (!copy) return;
    av_frame_move_ref(copy, frame_);
    queue_.push_back({copy, raw + trim, trim, n - trim});
    queuedSamples_ += n - trim;
}

bool Decoder::convertPiece() {
    if (queue_.empty()) return false;
    Queued& q = queue_.front();
    auto advance = [&](int64_t k) {
        q.start += k;
        q.first += k;
        q.count -= k;
        queuedSamples_ -= k;
        if (q.count <= 0) {
            av_frame_free(&q.frame);
            queue_.pop_front();
        }
    };
    // Samples before the seek target or past the end are dropped unconverted.
    const int64_t before = std::clamp<int64_t>(discardUntil_ - q.start, 0, q.count);
    if (before > 0) {
        advance(before);
        return true;
    }
    if (q.start >= endLimit_) {
        advance(q.count);
        return true;
    }
    // The last HOLDBACK samples stay queued until the end of the input says whether they are
    // padding.
    const int64_t allowed = inputEnded_ ? q.count : std::min(q.count, queuedSamples_ - holdBack_);
    if (allowed <= 0) return false;
    const int64_t perPiece = std::max<int64_t>(1, kPieceFrames * srcRate_ / std::max(outRate_, 1));
    const int64_t take = std::min({allowed, perPiece, endLimit_ - q.start});
    if (!setupResampler(q.frame)) {
        advance(take);  // cannot be converted: skip it rather than stall
        return true;
    }
    const auto fmt = static_cast<AVSampleFormat>(q.frame->format);
    const int bps = av_get_bytes_per_sample(fmt);
    const int channels = q.frame->ch_layout.nb_channels;
    const uint8_t* in[kMaxChannels] = {};
    if (av_sample_fmt_is_planar(fmt)) {
        for (int c = 0; c < channels; ++c) in[c] = q.frame->extended_data[c] + q.first * bps;
    } else {
        in[0] = q.frame->extended_data[0] + q.first * bps * channels;
    }
    const int cap = swr_get_out_samples(swr_, static_cast<int>(take));
    if (cap > 0) {
        const size_t base = pending_.size();
        pending_.resize(base + static_cast<size_t>(cap) * 2);
        uint8_t* outPtr = reinterpret_cast<uint8_t*>(pending_.data() + base);
        const int got = swr_convert(swr_, &outPtr, cap, in, static_cast<int>(take));
        pending_.resize(base + static_cast<size_t>(std::max(got, 0)) * 2);
    }
    advance(take);
    return true;
}

void Decoder::endOfInput() {
    inputEnded_ = true;
    if (holdBack_ > 0 && !lastFrameCut_) endLimit_ = std::min(endLimit_, srcPos_ - holdBack_);
}

void Decoder::finish() {
    if (swr_) {
        const int cap = swr_get_out_samples(swr_, 0);
        if (cap > 0) {
            const size_t base = pending_.size();
            pending_.resize(base + static_cast<size_t>(cap) * 2);
            uint8_t* outPtr = reinterpret_cast<uint8_t*>(pending_.data() + base);
            const int got = swr_convert(swr_, &outPtr, cap, nullptr, 0);
            pending_.resize(base + static_cast<size_t>(std::max(got, 0)) * 2);
        }
    }
    srcPos_ = std::min(srcPos_, endLimit_);
    finished_ = true;
}

void Decoder::clearQueue() {
    for (Queued& q : queue_) av_frame_free(&q.frame);
    queue_.clear();
    queuedSamples_ = 0;
}

int64_t Decoder::read(float* out, int64_t maxFrames) {
    int64_t produced = 0;
    while (produced < maxFrames) {
        if (pendingOff_ < pending_.size()) {
            const int64_t avail = static_cast<int64_t>(pending_.size() - pendingOff_) / 2;
            const int64_t n = std::min(avail, maxFrames - produced);
            std::memcpy(out + produced * 2, pending_.data() + pendingOff_, static_cast<size_t>(n) * 2 * sizeof(float));
            pendingOff_ += static_cast<size_t>(n) * 2;
            produced += n;
            continue;
        }
        if (finished_) break;
        pending_.clear();
        pendingOff_ = 0;
        if (convertPiece()) continue;
        if (inputEnded_) {
            finish();
            continue;
        }
        // Past the stated end nothing more is delivered: stop reading there.
        if (srcPos_ >= endLimit_ || !nextFrame()) {
            endOfInput();
            continue;
        }
        queueFrame();
    }
    return produced;
}

bool Decoder::reopenAt(int64_t frame) {
    auto fresh = Decoder::open(input_->file(), outRate_, nullptr);
    if (!fresh) return false;
    std::swap(input_, fresh->input_);
    std::swap(codec_, fresh->codec_);
    std::swap(swr_, fresh->swr_);
    std::swap(packet_, fresh->packet_);
    std::swap(frame_, fresh->frame_);
    std::swap(queue_, fresh->queue_);
    streamIndex_ = fresh->streamIndex_;
    swrFormat_ = fresh->swrFormat_;
    swrRate_ = fresh->swrRate_;
    swrChannels_ = fresh->swrChannels_;
    origin_ = fresh->origin_;
    originKnown_ = fresh->originKnown_;
    placeByTimestamp_ = fresh->placeByTimestamp_;
    srcPos_ = fresh->srcPos_;
    discardUntil_ = frame;
    demuxEnded_ = fresh->demuxEnded_;
    inputEnded_ = fresh->inputEnded_;
    finished_ = fresh->finished_;
    badPackets_ = 0;
    seekPointsAdded_ = false;  // the new demuxer has no index yet
    statedLength_ = fresh->statedLength_;
    endLimit_ = fresh->endLimit_;
    holdBack_ = fresh->holdBack_;
    manualSkip_ = fresh->manualSkip_;
    skipCarry_ = fresh->skipCarry_;
    lastFrameCut_ = fresh->lastFrameCut_;
    queuedSamples_ = fresh->queuedSamples_;
    fresh->queuedSamples_ = 0;
    pending_.clear();
    pendingOff_ = 0;
    return true;
}

void Decoder::addSeekPoints(const std::vector<SeekPoint>& points) {
    AVStream* st = input_->context()->streams[streamIndex_];
    for (const SeekPoint& p : points)
        av_add_index_entry(st, p.bytePos, av_rescale_q(p.sample, AVRational{1, srcRate_}, st->time_base), 0, 0,
                           AVINDEX_KEYFRAME);
    seekPointsAdded_ = !points.empty();
}

bool Decoder::timestampsExact() const {
    if (frameGrid_ > 0) return true;  // placed on the frame grid (see frameStartSamples)
    const AVStream* st = input_->context()->streams[streamIndex_];
    const AVRational tb = st->time_base;
    // The time base resolves single samples, or the codec's fixed frames are stamped exactly
    // (MPEG audio in MPEG program streams and AVI).
    if (tb.num > 0 && srcRate_ > 0 && tb.den % (int64_t(tb.num) * srcRate_) == 0) return true;
    const int id = codecId();
    return isPcm(id) || id == AV_CODEC_ID_MP1 || id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP3;
}

bool Decoder::seek(int64_t target) {
    if (target < 0) target = 0;
    AVFormatContext* fmt = input_->context();
    AVStream* st = fmt->streams[streamIndex_];
    // Where frame stamps cannot be trusted (ASF's milliseconds, several frames per stamped
    // packet), only decoding from the start lands exactly.
    if (!timestampsExact()) return reopenAt(target);
    // Ogg stamps the packets of its last page from the final granule, which misplaces them
    // after a seek there: land well before the end so continuous counting carries us over it.
    const int id = codecId();
    const double preroll = needsNoPreroll(id) ? 0.0 : (id == AV_CODEC_ID_VORBIS || id == AV_CODEC_ID_OPUS) ? 5.0 : 0.3;
    // Seek a little before the target, further back when the demuxer lands after it.
    const double backoffs[] = {preroll, preroll + 2.0, preroll + 15.0, -1.0};
    bool seeked = false;
    for (double back : backoffs) {
        const int64_t at = back < 0 ? 0 : target - static_cast<int64_t>(back * srcRate_);
        // Near the start: open afresh, so that priming frames and encoder delay are handled
        // exactly as the first time.
        if (at <= 0) return reopenAt(target);
        const int64_t ts = av_rescale_q(origin_ + at, AVRational{1, srcRate_}, st->time_base);
        int r = avformat_seek_file(fmt, streamIndex_, INT64_MIN, ts, ts, 0);
        if (r < 0) r = av_seek_frame(fmt, streamIndex_, ts, AVSEEK_FLAG_BACKWARD);
        if (r < 0) continue;
        seeked = true;
        avcodec_flush_buffers(codec_);
        swr_free(&swr_);
        swrFormat_ = -1;
        clearQueue();
        pending_.clear();
        pendingOff_ = 0;
        finished_ = false;
        demuxEnded_ = false;
        inputEnded_ = false;
        endLimit_ = statedLength_ >= 0 ? statedLength_ : INT64_MAX;
        skipCarry_ = 0;
        lastFrameCut_ = false;
        placeByTimestamp_ = true;
        discardUntil_ = target;
        srcPos_ = target;
        // Some demuxers (Ogg) stamp only some packets after a seek: frames before the first
        // stamped one cannot be placed and are dropped (they lie before the target anyway).
        bool got = nextFrame();
        for (int dropped = 0; got && frameStartSamples(frame_) == INT64_MIN && dropped < 64; ++dropped)
            got = nextFrame();
        if (!got) continue;
        const int64_t ts0 = frameStartSamples(frame_);
        if (ts0 != INT64_MIN && ts0 - origin_ > target) continue;
        queueFrame();
        return true;
    }
    // Nothing usable after any seek: decode from the start.
    return reopenAt(target) || seeked;
}

int64_t scanExactLength(const std::shared_ptr<SourceFile>& file, int stream, bool plainMp3,
                        std::vector<SeekPoint>* index) {
    if (plainMp3) {
        const int64_t frames = scanMp3Frames(file->fd(), index);
        if (frames >= 0) return frames;
    } else {
        // Opus in WebM/Matroska: counted from its block headers when the walk can account for
        // every packet.
        const int64_t frames = matroskaOpusLength(file->fd());
        if (frames >= 0) return frames;
    }
    bool decode = false;
    {
        // Stream info is needed even here: without it the parser leaves packet durations unset.
        FormatInput in;
        if (!in.open(file, true, nullptr)) return -1;
        AVFormatContext* fmt = in.context();
        if (stream < 0 || static_cast<unsigned>(stream) >= fmt->nb_streams) return -1;
        discardOtherStreams(fmt, stream);
        AVStream* st = fmt->streams[stream];
        const AVCodecID id = st->codecpar->codec_id;
        const int rate = st->codecpar->sample_rate;
        // Packet durations are exact only for codecs whose frames carry a fixed or stated
        // sample count. Opus packets state their sample count in their first bytes, ADTS frames
        // and WMA packets without the bit reservoir carry a fixed count; Vorbis, AAC in other
        // containers (edit lists) and other WMA (millisecond stamps) are counted by decoding.
        if (wmaOneFramePerPacket(fmt, st)) {
            const int64_t frames = countWmaFrames(fmt, stream);
            if (frames >= 0) return frames;
        }
        const bool opus = id == AV_CODEC_ID_OPUS;
        const bool adts = id == AV_CODEC_ID_AAC && fmt->iformat && std::strcmp(fmt->iformat->name, "aac") == 0;
        const bool exactPackets = isPcm(id) || id == AV_CODEC_ID_MP1 || id == AV_CODEC_ID_MP2 ||
                                  id == AV_CODEC_ID_MP3 || id == AV_CODEC_ID_FLAC || opus || adts;
        decode = !exactPackets || rate <= 0 || (opus && rate != 48000);
        const AVRational tb = st->time_base;
        if (!decode) {
            AVPacket* pkt = av_packet_alloc();
            if (!pkt) return -1;
            int64_t duration = 0, samples = 0, skipped = 0, packets = 0;
            while (av_read_frame(fmt, pkt) >= 0) {
                if (pkt->stream_index == stream) {
                    if (opus) {
                        const int n = opusPacketSamples(pkt->data, size_t(pkt->size));
                        if (n <= 0) {
                            decode = true;
                            av_packet_unref(pkt);
                            break;
                        }
                        samples += n;
                    } else if (pkt->duration <= 0 || (pkt->duration * tb.num * rate) % tb.den != 0) {
                        // A duration that is no whole number of samples in this time base is rounded.
                        decode = true;
                        av_packet_unref(pkt);
                        break;
                    } else {
                        duration += pkt->duration;
                    }
                    size_t size = 0;
                    const uint8_t* side = av_packet_get_side_data(pkt, AV_PKT_DATA_SKIP_SAMPLES, &size);
                    if (side && size >= 8) skipped += int64_t(AV_RL32(side)) + int64_t(AV_RL32(side + 4));
                    // The Opus decoder drops the pre-skip of its header by itself, unless the
                    // first packet states its own start trim.
                    if (opus && packets++ == 0 && !(side && size >= 8) && st->codecpar->extradata_size >= 12)
                        skipped += AV_RL16(st->codecpar->extradata + 10);
                }
                av_packet_unref(pkt);
            }
            av_packet_free(&pkt);
            duration = av_rescale_q(duration, tb, AVRational{1, rate}) + samples;
            if (!decode) {
                const int64_t frames = duration - skipped;
                return std::max<int64_t>(frames, 0);
            }
        }
    }
    // Count what the decoder delivers.
    FormatInput in;
    if (!in.open(file, true, nullptr)) return -1;
    AVFormatContext* fmt = in.context();
    if (static_cast<unsigned>(stream) >= fmt->nb_streams) return -1;
    discardOtherStreams(fmt, stream);
    AVCodecContext* ctx = openCodec(fmt->streams[stream], false, nullptr);
    if (!ctx) return -1;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t frames = 0;
    bool ended = false;
    while (pkt && frame) {
        int r = avcodec_receive_frame(ctx, frame);
        if (r == 0) {
            frames += frame->nb_samples;
            av_frame_unref(frame);
            continue;
        }
        if (r == AVERROR_EOF || ended) break;
        if (av_read_frame(fmt, pkt) < 0) {
            ended = true;
            avcodec_send_packet(ctx, nullptr);
            continue;
        }
        if (pkt->stream_index == stream) avcodec_send_packet(ctx, pkt);
        av_packet_unref(pkt);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    return frames;
}

}  // namespace brisko::audio
