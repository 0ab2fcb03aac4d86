// What went wrong on the way to the air, in the operator's words: each incident of the sound path
// once, for a window to poll on its clock tick and show without stopping anything.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace brisko {

class HealthFeed {
public:
    HealthFeed();
    ~HealthFeed();
    HealthFeed(const HealthFeed&) = delete;
    HealthFeed& operator=(const HealthFeed&) = delete;

    // What happened since the last call, oldest first. The first call also tells a state the
    // program started in (no sound device). Always empty in a build without the sound engine.
    std::vector<std::string> newIncidents();

private:
    struct Seen;
    std::unique_ptr<Seen> seen_;
};

}  // namespace brisko
