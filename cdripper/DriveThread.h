// Calls into the ripping library that may wait for a drive (a spin-up, a scratched disc) run on
// one worker thread, one at a time and in the order asked; the window's thread waits for each
// while it goes on handling its events, so that a slow drive never freezes the program's windows.
#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace brisko::cdripper {

// Runs JOB on the drive thread and returns when it has run; an exception it throws is thrown
// again here. On the application's main thread, events are handled while waiting (within about
// 10 ms of their arrival), so a handler may run and ask for drive calls of its own: those queue
// behind JOB and are waited for in their turn. Other threads simply wait. May block on a drive.
void runOnDriveThread(const std::function<void()>& job);

// CALL's result, computed on the drive thread (see runOnDriveThread).
template <typename Call>
auto onDriveThread(Call&& call) -> std::invoke_result_t<Call&> {
    using Result = std::invoke_result_t<Call&>;
    if constexpr (std::is_void_v<Result>) {
        runOnDriveThread([&call] { call(); });
    } else {
        std::optional<Result> result;
        runOnDriveThread([&call, &result] { result.emplace(call()); });
        return std::move(*result);
    }
}

// Whether a caller is waiting for the drive thread now: a window whose handler is waiting must
// not go away until the wait is over.
bool driveCallWaiting();

}  // namespace brisko::cdripper
