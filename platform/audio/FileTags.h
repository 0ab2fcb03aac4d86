// A file's artist and title tags, as FFmpeg reads them from its container or stream.
#pragma once

#include <string>

namespace brisko::audio {

// Fills *ARTIST and *TITLE with the file's tags ("" where it has none or cannot be read). Opens
// the file: call it where a slow read harms nobody.
void readTags(const std::string& path, std::string* artist, std::string* title);

}  // namespace brisko::audio
