// Channel aliases of the Clip Player: one per clip button and one per play-order position. They
// share no name with the decks ("voice" + n), the preview ("newvoice"), the CD ("cd") or each other.
#pragma once

#include <string>

namespace brisko::clip {

// Button B (0..47) always plays on "clip" + B, whatever page is shown.
inline std::string buttonAlias(int b) { return "clip" + std::to_string(b); }
// Play-order position P plays on "cliplist" + P.
inline std::string playOrderAlias(int p) { return "cliplist" + std::to_string(p); }
// The clip file selector's preview.
inline constexpr const char* kPreviewAlias = "newvoice";

}  // namespace brisko::clip
