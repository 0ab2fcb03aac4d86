// One CD window among the running copies of the program of one user: the window holds an
// exclusive lock on a file in the user's runtime folder for as long as it is open. The kernel
// releases the lock when its process ends, however it ends, so a crashed copy never blocks one.
#pragma once

#include <string>

namespace brisko::cdripper {

class CdWindowLock {
public:
    enum class Result {
        Taken,          // this window holds it now
        HeldElsewhere,  // another copy's CD window holds it
        Unavailable,    // the lock file cannot be used: nobody can be told apart
    };

    // FOLDER is created (private to the user) when missing.
    explicit CdWindowLock(std::string folder);
    ~CdWindowLock();
    CdWindowLock(const CdWindowLock&) = delete;
    CdWindowLock& operator=(const CdWindowLock&) = delete;

    // Takes the lock without waiting.
    Result acquire();
    void release();
    bool held() const { return fd_ >= 0; }

private:
    std::string folder_;
    int fd_ = -1;
};

// The user's runtime folder for the program's locks: $XDG_RUNTIME_DIR/brisko, else
// /tmp/brisko-UID.
std::string defaultLockFolder();

}  // namespace brisko::cdripper
