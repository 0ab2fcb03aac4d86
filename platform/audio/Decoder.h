// Decodes one audio stream of a media file into interleaved stereo float at the output rate, with
// sample-exact seeking on the decoded timeline (frame 0 = first sample the decoder delivers after
// trimming encoder delay), ending where the container states the sound ends.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/Mp3Scan.h"
#include "platform/audio/SourceFile.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace brisko::audio {

class Decoder {
public:
    // Opens FILE, finds its audio stream and decodes the first frame. nullptr and *error on failure,
    // also for a sample rate or channel layout that cannot be played.
    static std::unique_ptr<Decoder> open(std::shared_ptr<SourceFile> file, int outRate, std::string* error);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    int sourceRate() const { return srcRate_; }
    int outRate() const { return outRate_; }
    int streamIndex() const { return streamIndex_; }
    int codecId() const;
    // Whether the file is a plain MP3 stream (MP3 container, MP3 codec).
    bool isPlainMp3() const;
    // Changes the output rate; takes effect with the next seek.
    void setOutRate(int rate);
    // The exact length the container states (source frames), read at open; -1 where the file
    // states none exactly and only counting can tell. Decoding ends there.
    int64_t statedLength() const { return statedLength_; }
    // What the header says of the length (source frames) where it states no exact one: the
    // container's duration, which may be off by some frames or more (-1 when there is none, or
    // when it is only a guess from the bitrate). The stated length where there is one.
    int64_t estimatedLength() const;

    // Writes up to MAX frames into OUT (interleaved stereo); returns the number written. Fewer
    // than MAX only at the end of the stream (then atEnd() is true).
    int64_t read(float* out, int64_t maxFrames);
    bool atEnd() const { return finished_ && pendingOff_ >= pending_.size(); }
    // Source frame just after the last one decoded; exact once atEnd().
    int64_t sourcePosition() const { return srcPos_; }

    // Restarts decoding so that the next frame read is source frame FRAME (sample-exact).
    // Returns false when the container cannot seek; decoding then continues from the start.
    bool seek(int64_t frame);
    // Tells the demuxer where frames start (from a length scan), so that a first seek far into
    // the file jumps there instead of reading every packet on the way.
    void addSeekPoints(const std::vector<SeekPoint>& points);
    bool hasSeekPoints() const { return seekPointsAdded_; }
    // On a decoder fresh from open(): drops everything before source frame FRAME. The way to
    // reach a position in a file whose container cannot seek.
    void skipTo(int64_t frame) { discardUntil_ = frame > 0 ? frame : 0; }

private:
    Decoder() = default;
    // A decoded frame placed on the timeline, converted in bounded pieces.
    struct Queued {
        AVFrame* frame;
        int64_t start;  // source frame of its first usable sample
        int64_t first;  // index of that sample in the frame (samples before it are trimmed)
        int64_t count;  // usable samples from FIRST
    };

    // Starts over as freshly opened, dropping source frames before FRAME.
    bool reopenAt(int64_t frame);
    // Reads what the container states about the length and the trimming of the end.
    void readStatedLength();
    // Whether frame timestamps after a seek give exact sample positions in this stream.
    bool timestampsExact() const;
    bool setupResampler(const AVFrame* frame);
    // Decodes the next frame into frame_; false at the end of the stream.
    bool nextFrame();
    // Places frame_ on the timeline and queues it for conversion.
    void queueFrame();
    // Converts the next bounded piece of the oldest queued frame that may be converted; false
    // when none may be yet.
    bool convertPiece();
    void endOfInput();
    void finish();
    void clearQueue();
    int64_t frameStartSamples(const AVFrame* frame) const;
    // Samples at the start of FRAME that the decoder left for us to trim.
    static int64_t manualStartSkip(const AVFrame* frame);

    std::unique_ptr<FormatInput> input_;
    AVCodecContext* codec_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int streamIndex_ = -1;
    int srcRate_ = 0;
    int outRate_ = 0;
    // Resampler input configuration, to notice format changes mid-stream.
    int swrFormat_ = -1;
    int swrRate_ = 0;
    int swrChannels_ = 0;

    int64_t origin_ = 0;         // timestamp (in samples) of source frame 0
    // Frames of the codec's fixed length whose stamps (in milliseconds) are placed on that grid:
    // WMA with one frame per packet. 0 for every other stream.
    int64_t frameGrid_ = 0;
    bool originKnown_ = false;
    bool placeByTimestamp_ = true;  // next frame is placed by its timestamp (after open or seek)
    int64_t srcPos_ = 0;         // source frame following the last decoded one
    int64_t discardUntil_ = 0;   // source frames before this are dropped (seek target)
    bool demuxEnded_ = false;
    bool inputEnded_ = false;    // no more frames will be queued
    bool finished_ = false;
    int badPackets_ = 0;
    bool seekPointsAdded_ = false;
    int64_t statedLength_ = -1;
    int64_t endLimit_ = INT64_MAX;  // source frames from here on are not delivered
    int64_t holdBack_ = 0;          // trailing samples to drop, known only at the end: kept back
    bool manualSkip_ = false;       // the codec leaves start trimming to us (set at open)
    int64_t skipCarry_ = 0;         // start trim not yet applied
    bool lastFrameCut_ = false;     // the last packet read was a cut-off frame

    std::deque<Queued> queue_;      // decoded frames not yet converted
    int64_t queuedSamples_ = 0;

    std::vector<float> pending_;  // converted frames not yet read
    size_t pendingOff_ = 0;       // in floats
};

// Exact number of source frames the decoder delivers for FILE's stream STREAM: a packet scan
// (durations minus the trimmed encoder delay and padding) where packet durations are exact, a
// full decode where they are not (Vorbis, Opus, or any packet without a duration). -1 on failure.
// PLAINMP3 says the file is an MP3 file (container and codec), which allows a faster walk over
// its frame headers.
// With INDEX, seek points found on the way are returned there.
int64_t scanExactLength(const std::shared_ptr<SourceFile>& file, int stream, bool plainMp3 = false,
                        std::vector<SeekPoint>* index = nullptr);

}  // namespace brisko::audio
