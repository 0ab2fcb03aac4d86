// Exact lengths read from what a container states, without decoding: MP4 sample tables with their
// edit list, the last Ogg granule, FLAC's stream info checked against its last frame, WAV and AIFF data sizes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brisko::audio {

// Each returns the number of frames the decoder delivers for the file open on FD, or -1 when the
// file does not state it in a form that can be trusted (the caller then counts another way).

// TRACK is the index of the track among the file's tracks (the demuxer's stream index); RATE the
// rate the decoder delivers. The media length less the priming the edit list skips, cut to the
// edit's end where that ends earlier than the media.
int64_t mp4StatedLength(int fd, int track, int rate);
// A single Opus or Vorbis stream that starts at granule 0 and ends with an end-of-stream page.
int64_t oggStatedLength(int fd);
// STREAMINFO's total, when the last frame is whole and ends exactly there; for a file cut off in
// its last frame, where the whole frames end.
int64_t flacStatedLength(int fd);
// PCM data size over the block size, as far as the file holds it.
int64_t wavStatedLength(int fd);
int64_t aiffStatedLength(int fd);

// Samples (at 48 kHz) in one Opus packet, from its table-of-contents bytes; 0 for an empty one.
int opusPacketSamples(const uint8_t* packet, size_t size);

// Reads N bytes at POS; false on a short read or an error.
bool readAt(int fd, int64_t pos, void* buf, size_t n);
// Bytes read at POS, up to N (0 at the end or on an error).
size_t readSome(int fd, int64_t pos, void* buf, size_t n);

}  // namespace brisko::audio
