// Lets every running instance of the program be seen by the others: each holds an exclusive lock
// on a file of its own in a per-user folder for as long as it runs. A file whose lock can be
// taken belongs to an instance that has ended (even by a crash) and is removed.
#pragma once

#include <string>

namespace brisko::cdripper {

class InstanceRegistry {
public:
    // FOLDER is created when missing.
    explicit InstanceRegistry(std::string folder);
    ~InstanceRegistry();
    InstanceRegistry(const InstanceRegistry&) = delete;
    InstanceRegistry& operator=(const InstanceRegistry&) = delete;

    // Registers this instance under NAME (for example its process id). False when the folder
    // cannot be used; the instance then simply cannot be seen.
    bool registerSelf(const std::string& name);
    // Whether another registered instance is running now.
    bool othersRunning() const;

private:
    std::string folder_;
    std::string ownFile_;
    int fd_ = -1;
};

// The per-user folder the program's instances register in: $XDG_RUNTIME_DIR/brisko-instances,
// else /tmp/brisko-instances-UID.
std::string defaultInstanceFolder();

// The program's own registration, made once at start-up.
void registerProgramInstance();
// Whether another instance of the program is running (false when this one is not registered).
bool anotherProgramInstanceRunning();

}  // namespace brisko::cdripper
