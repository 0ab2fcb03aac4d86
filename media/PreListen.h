// Pre-listening: a file played from its start on the cue output, which only the operator hears,
// on an alias of its own, so that nothing on air is touched.
#pragma once

#include <cstdint>
#include <string>

namespace brisko {

// The console's pre-listen alias: one pre-listen at a time, whichever list or deck it came from.
inline constexpr const char* kPreListenAlias = "prelisten";

// Plays PATH from its start on ALIAS, heard on the cue output only. Whatever ALIAS held is closed
// first, so a new pre-listen ends the last one. The alias is routed to the cue before it plays:
// when that fails (no cue output is set) or the file cannot be opened or played, ALIAS is closed
// again, nothing sounds anywhere, and the error text is returned. "Success" when it plays.
std::string startPreListen(int64_t parentWindow, const std::string& alias, const std::string& path);

// Whether a cue output is set (--cue or BRISKO_CUE). Without one the console offers no
// pre-listening: its keys and menus are what they were.
bool cueOutputSet();

// Whether ALIAS is still sounding (its mode reads "playing").
bool preListenSounds(const std::string& alias);

// Ends the pre-listen on ALIAS: stopped and closed.
void stopPreListen(const std::string& alias);

}  // namespace brisko
