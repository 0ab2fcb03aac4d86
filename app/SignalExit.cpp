// The self-pipe between the signal handler and the event loop.
#include "app/SignalExit.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace brisko::app {
namespace {

int writeEnd = -1;

extern "C" void onExitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(writeEnd, &byte, 1);  // async-signal-safe
    errno = saved;
}

}  // namespace

bool installExitSignals(QObject* parent, std::function<void()> onSignal) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    writeEnd = fds[1];
    auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, parent);
    auto done = std::make_shared<bool>(false);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [fd = fds[0], onSignal, done] {
        char buffer[16];
        while (::read(fd, buffer, sizeof buffer) > 0) {
        }
        if (*done) return;
        *done = true;
        onSignal();
    });
    struct sigaction action {};
    action.sa_handler = &onExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    return true;
}

}  // namespace brisko::app
