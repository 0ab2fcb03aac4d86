// Child processes for fault tests, with fork and exec.
#include "tests/showlog/ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace brisko::test {

ChildProcess::ChildProcess(const std::vector<std::string>& args,
                           const std::vector<std::string>& env) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        for (const std::string& e : env) ::putenv(::strdup(e.c_str()));
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
}

ChildProcess::~ChildProcess() {
    if (!reaped_) kill(SIGKILL);
    if (out_ >= 0) ::close(out_);
}

std::vector<std::string> ChildProcess::linesUntil(const std::string& last,
                                                  std::chrono::milliseconds timeout) {
    std::vector<std::string> lines;
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (out_ >= 0) {
        size_t nl;
        while ((nl = pending_.find('\n')) != std::string::npos) {
            lines.push_back(pending_.substr(0, nl));
            pending_.erase(0, nl + 1);
            if (lines.back() == last) return lines;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[4096];
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n <= 0) break;
        pending_.append(buffer, static_cast<size_t>(n));
    }
    return lines;
}

bool ChildProcess::kill(int signal) {
    if (pid_ <= 0 || reaped_) return false;
    const bool running = ::waitpid(pid_, &status_, WNOHANG) == 0;
    if (running) {
        ::kill(pid_, signal);
        ::waitpid(pid_, &status_, 0);
    }
    reaped_ = true;
    return running;
}

int ChildProcess::waitSignal(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!reaped_) {
        if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
            reaped_ = true;
            break;
        }
        if (std::chrono::steady_clock::now() > end) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFSIGNALED(status_) ? WTERMSIG(status_) : 0;
}

}  // namespace brisko::test
