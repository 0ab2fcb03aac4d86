// Exact length of a plain MP3 file by walking its frame headers, without FFmpeg's packet
// parsing: what the decoder will deliver, with the LAME tag's delay and padding trimmed the way
// the decoder trims them.
#pragma once

#include <cstdint>

namespace brisko::audio {

// Reads the file open on FD. Returns the frame count, or -1 when the file is anything but a
// clean sequence of MPEG audio frames (optionally behind ID3v2 tags and before an ID3v1 or APE
// tag); the caller then counts another way.
int64_t scanMp3Frames(int fd);

}  // namespace brisko::audio
