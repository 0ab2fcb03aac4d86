// The black box: the file last loaded or started, kept in a small memory-mapped file
// (brisko.lastfile). Writing it is a copy into memory, so the window never waits for the disk,
// and the kernel keeps it when the program dies at once after, as it does when a file crashes
// it on load, before the journal's writer could write anything. Holds the session it belongs to.
#pragma once

#include <cstdint>
#include <string>

namespace brisko::showlog {

class LastFile {
public:
    LastFile() = default;
    ~LastFile();
    LastFile(const LastFile&) = delete;
    LastFile& operator=(const LastFile&) = delete;

    // Maps PATH (created when missing). False when it cannot be mapped: note() then does nothing.
    bool open(const std::string& path);
    void close();
    // Records PATH as the session's last file, loaded or started on DECK (-1: not on a deck).
    // Paths longer than the slot are cut short.
    void note(int64_t session, int deck, const std::string& path);

    // Reads what PATH holds: false when there is nothing readable.
    static bool read(const std::string& path, int64_t* session, int* deck, std::string* file);

private:
    void* map_ = nullptr;
};

}  // namespace brisko::showlog
