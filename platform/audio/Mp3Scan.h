// Exact length of a plain MP3 file by walking its frame headers, without FFmpeg's packet
// parsing: what the decoder will deliver, with the LAME tag's delay and padding trimmed at the
// end of the frames really present (a tag's frame count that disagrees with them is not trusted).
#pragma once

#include <cstdint>
#include <vector>

namespace brisko::audio {

// Reads the file open on FD. Returns the frame count, or -1 when the file is anything but a
// clean sequence of MPEG audio frames (optionally behind ID3v2 tags and before an ID3v1 or APE
// tag); the caller then counts another way.
// With INDEX, also collects the byte position and sample of every 32nd audio frame, counted
// from the first audio frame (as the demuxer stamps its packets), for seeking.
struct SeekPoint {
    int64_t bytePos;
    int64_t sample;
};
int64_t scanMp3Frames(int fd, std::vector<SeekPoint>* index = nullptr);

// What the Xing/Info tag frame of a layer III file says about trimming.
struct Mp3Tag {
    int64_t audioStart = 0;  // file offset of the first audio frame (after ID3v2 tags and the tag frame)
    int64_t startSkip = 0;   // samples the decoder drops at the start (encoder and decoder delay)
    int64_t endPad = -1;     // encoder padding at the end, -1 when not stated with a frame count
    int64_t tagFrames = 0;   // the tag's frame count (0 when absent)
    bool found = false;      // a Xing/Info frame was found
};
// Reads the tag of the file open on FD; false when the file does not start with MPEG audio
// (behind ID3v2 tags) or its frame cannot be read.
bool readMp3Tag(int fd, Mp3Tag* tag);
// Bytes of the MPEG audio frame whose header is at H (4 bytes), 0 when H is no valid header.
int mp3FrameBytes(const unsigned char* h);

// The decoded samples trimmed at the end for encoder padding PAD: the decoder's own delay of
// 529 samples is already part of the padding.
inline int64_t mp3EndTrim(int64_t pad) { return pad > 529 ? pad - 529 : 0; }

}  // namespace brisko::audio
