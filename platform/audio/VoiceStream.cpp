// The two kinds of voice stream: a decoded media file, and a PcmSource converted to the output
// rate in pieces of at most kPiece source frames.
#include "platform/audio/VoiceStream.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

#include "platform/audio/Decoder.h"
#include "platform/audio/PcmSource.h"
#include "platform/audio/SourceFile.h"

namespace brisko::audio {
namespace {

std::string readErrorText(const SourceFile& file) {
    return "read error in " + file.path() + ": " + std::strerror(file.lastReadErrno());
}

class FileStream final : public VoiceStream {
public:
    FileStream(std::shared_ptr<SourceFile> file, std::unique_ptr<Decoder> decoder, int outRate)
        : file_(std::move(file)), decoder_(std::move(decoder)), outRate_(outRate),
          errorsAtStart_(file_->readErrors()) {}

    int sourceRate() const override { return decoder_->sourceRate(); }

    int64_t read(float* out, int64_t maxFrames) override {
        const int64_t got = decoder_->read(out, maxFrames);
        // The decoder takes a failed read for the end of the stream; the file knows better.
        if (decoder_->atEnd() && error_.empty() && file_->readErrors() != errorsAtStart_) error_ = readErrorText(*file_);
        return got;
    }
    bool atEnd() const override { return decoder_->atEnd(); }
    int64_t sourcePosition() const override { return decoder_->sourcePosition(); }
    std::string error() const override { return error_; }

    void seek(int64_t frame, const std::vector<SeekPoint>& hints) override {
        error_.clear();
        errorsAtStart_ = file_->readErrors();
        if (!decoder_->hasSeekPoints()) decoder_->addSeekPoints(hints);
        if (!decoder_->seek(frame)) {
            // The container cannot seek: decode again from the start up to the frame.
            if (auto fresh = Decoder::open(file_, outRate_, nullptr)) {
                fresh->skipTo(frame);
                decoder_ = std::move(fresh);
            }
        }
    }

    bool wantsHints() const override { return !decoder_->hasSeekPoints(); }

    void setOutRate(int rate) override {
        outRate_ = rate;
        decoder_->setOutRate(rate);
    }

private:
    std::shared_ptr<SourceFile> file_;
    std::unique_ptr<Decoder> decoder_;
    int outRate_;
    uint64_t errorsAtStart_;
    std::string error_;
};

class PcmStream final : public VoiceStream {
public:
    static constexpr int kPiece = 4096;  // source frames read and converted at a time

    PcmStream(std::unique_ptr<PcmSource> source, int outRate)
        : source_(std::move(source)), rate_(source_->sampleRate()), length_(source_->lengthFrames()),
          outRate_(outRate), in_(size_t(kPiece) * 2) {}
    ~PcmStream() override { swr_free(&swr_); }

    bool setUp(std::string* error) {
        if (!prepareConverter()) {
            if (error) *error = "cannot convert the source's rate to the output rate";
            return false;
        }
        return true;
    }

    int sourceRate() const override { return rate_; }

    int64_t read(float* out, int64_t maxFrames) override {
        int64_t produced = 0;
        while (produced < maxFrames) {
            if (pendingOff_ < pendingFrames_) {
                const int64_t n = std::min(pendingFrames_ - pendingOff_, maxFrames - produced);
                std::memcpy(out + produced * 2, pending_.data() + pendingOff_ * 2, size_t(n) * 2 * sizeof(float));
                pendingOff_ += n;
                produced += n;
                continue;
            }
            if (ended_) break;
            if (!swr_) {
                // Same rate: straight into OUT.
                const int64_t want = std::min<int64_t>(maxFrames - produced, kPiece);
                const int64_t got = pull(out + produced * 2, want);
                produced += std::max<int64_t>(got, 0);
                continue;
            }
            convertPiece();
        }
        return produced;
    }

    bool atEnd() const override { return ended_ && pendingOff_ >= pendingFrames_; }
    int64_t sourcePosition() const override { return position_; }
    std::string error() const override { return error_; }

    void seek(int64_t frame, const std::vector<SeekPoint>&) override {
        frame = std::clamp<int64_t>(frame, 0, length_);
        error_.clear();
        ended_ = false;
        pendingOff_ = pendingFrames_ = 0;
        position_ = frame;
        std::string why;
        if (!source_->seek(frame, &why)) fail(why.empty() ? "the source cannot seek" : why);
        // A fresh converter: nothing of the old position may sound after the new one.
        if (!prepareConverter()) fail("cannot convert the source's rate to the output rate");
    }

    void setOutRate(int rate) override { outRate_ = rate; }

private:
    void fail(const std::string& why) {
        error_ = why;
        ended_ = true;
    }

    // Reads up to WANT source frames into DEST; marks the end or the error. Returns frames read.
    int64_t pull(float* dest, int64_t want) {
        if (position_ >= length_) {
            ended_ = true;
            return 0;
        }
        want = std::min(want, length_ - position_);
        std::string why;
        const int64_t got = source_->read(dest, want, &why);
        if (got < 0) {
            fail(why.empty() ? "read error" : why);
            return 0;
        }
        if (got == 0) {
            fail("the source ended before its length");
            return 0;
        }
        position_ += std::min(got, want);
        return std::min(got, want);
    }

    // Converts one piece of source frames (or the converter's tail at the end) into pending_.
    void convertPiece() {
        const int64_t got = pull(in_.data(), kPiece);
        const auto* inPtr = reinterpret_cast<const uint8_t*>(in_.data());
        const int cap = swr_get_out_samples(swr_, static_cast<int>(got));
        pendingOff_ = pendingFrames_ = 0;
        if (cap <= 0) return;
        if (pending_.size() < size_t(cap) * 2) pending_.resize(size_t(cap) * 2);
        auto* outPtr = reinterpret_cast<uint8_t*>(pending_.data());
        const int n = got > 0 ? swr_convert(swr_, &outPtr, cap, &inPtr, static_cast<int>(got))
                              : swr_convert(swr_, &outPtr, cap, nullptr, 0);  // flush at the end
        pendingFrames_ = std::max(n, 0);
    }

    bool prepareConverter() {
        swr_free(&swr_);
        if (rate_ == outRate_) return true;
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        if (swr_alloc_set_opts2(&swr_, &stereo, AV_SAMPLE_FMT_FLT, outRate_, &stereo, AV_SAMPLE_FMT_FLT, rate_, 0,
                                nullptr) < 0 ||
            swr_init(swr_) < 0) {
            swr_free(&swr_);
            return false;
        }
        return true;
    }

    std::unique_ptr<PcmSource> source_;
    int rate_;
    int64_t length_;
    int outRate_;
    SwrContext* swr_ = nullptr;
    std::vector<float> in_;
    std::vector<float> pending_;
    int64_t pendingFrames_ = 0;
    int64_t pendingOff_ = 0;
    int64_t position_ = 0;
    bool ended_ = false;
    std::string error_;
};

}  // namespace

std::unique_ptr<VoiceStream> makeFileStream(std::shared_ptr<SourceFile> file, std::unique_ptr<Decoder> decoder,
                                            int outRate) {
    return std::make_unique<FileStream>(std::move(file), std::move(decoder), outRate);
}

std::unique_ptr<VoiceStream> makePcmStream(std::unique_ptr<PcmSource> source, int outRate, std::string* error) {
    if (!source) {
        if (error) *error = "no source";
        return nullptr;
    }
    if (source->sampleRate() < 1000 || source->sampleRate() > 768000) {
        if (error) *error = "the source's sample rate (" + std::to_string(source->sampleRate()) + " Hz) is not playable";
        return nullptr;
    }
    if (source->lengthFrames() < 0) {
        if (error) *error = "the source does not know its length";
        return nullptr;
    }
    auto stream = std::make_unique<PcmStream>(std::move(source), outRate);
    if (!stream->setUp(error)) return nullptr;
    return stream;
}

}  // namespace brisko::audio
