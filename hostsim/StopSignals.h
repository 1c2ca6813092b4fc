// SIGINT and SIGTERM end the simulator as quit does. The flag is raised where the signal
// arrives; the wake-up runs on an ordinary thread, so that a waiter may sleep without a
// timeout and still notice the signal at once.
#pragma once

#include <functional>

namespace zylsim {

// Installs the handling; call before any other thread starts, so that they all inherit it.
void CatchStopSignals();

// Whether SIGINT or SIGTERM has come.
bool StopSignalled() noexcept;

// Runs `wake` (once) when a stop signal comes, or at once when one came already; an empty
// function removes it. `wake` must not call back into these functions.
void OnStopSignal(std::function<void()> wake);

} // namespace zylsim
