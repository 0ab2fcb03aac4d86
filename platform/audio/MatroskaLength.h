// Exact length of Opus in WebM/Matroska from the container's structure alone: a walk over the
// block headers of the audio track that reads each packet's first bytes and skips the rest.
#pragma once

#include <cstdint>

namespace brisko::audio {

// Frames (at 48 kHz) the decoder delivers for the file open on FD: the samples every Opus packet
// of the file's one audio track states in its table of contents, less the header's pre-skip and
// each block's discard padding. -1 when the file is not such a file or holds anything the walk
// cannot account for exactly (laced or encrypted blocks, compressed tracks, several audio
// tracks, an element it cannot get past, a file cut off or ending in other data); the caller
// then counts another way.
int64_t matroskaOpusLength(int fd);

}  // namespace brisko::audio
