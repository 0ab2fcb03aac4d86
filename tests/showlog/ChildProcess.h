// A child program for fault tests: started with its own environment, read line by line from its
// standard output, and killed or waited for.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace brisko::test {

class ChildProcess {
public:
    // ARGS[0] is the program; ENV entries "NAME=VALUE" are added to this process's environment.
    ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& env);
    ~ChildProcess();  // kills a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Lines of its output up to and including the first that equals LAST; fewer when the child
    // ends or TIMEOUT passes first.
    std::vector<std::string> linesUntil(const std::string& last, std::chrono::milliseconds timeout);
    // Sends SIGNAL and reaps it; false when it had already ended.
    bool kill(int signal);
    // Waits for the child's end: the signal that ended it, 0 for a normal exit, -1 on time-out.
    int waitSignal(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
    bool reaped_ = false;
    int status_ = 0;
};

}  // namespace brisko::test
