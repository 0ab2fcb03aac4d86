// Exact length of a plain MP3 file by walking its frame headers, without FFmpeg's packet
// parsing: what the decoder will deliver, with the LAME tag's delay and padding trimmed the way
// the decoder trims them.
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

}  // namespace brisko::audio
