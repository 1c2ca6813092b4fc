// The editor's own commands: whether the host offers them, listing them and running one.
#pragma once

#include "host/HostCall.h"
#include "host/HostSuites.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ZYL {

// The Command suite with its host object and the String suite, including every entry that
// listing and running commands calls: a host whose table lacks one is treated as offering
// no commands rather than being called through a null pointer.
bool HostCommandsAvailable(const HostSuites& host) noexcept;

// Hands a command to the host, with a category when one is given (non-empty). Not done when
// a host string could not be made; the host does not say whether the command ran.
HostOutcome ExecuteHostCommand(const HostSuites& host, std::string_view category,
                               std::string_view command);

// Fire and forget: missing suites make this a silent no-op.
void RunHostCommand(const HostSuites& host, std::string_view name);

// The multicam cameras the host's camera commands choose between.
constexpr std::int32_t kFirstCamera = 1;
constexpr std::int32_t kLastCamera = 16;

// Runs the host's own command that switches the multicam angle to `camera` (from
// kFirstCamera to kLastCamera) without a cut, wherever the editor's focus is; fire and
// forget, as RunHostCommand.
void SwitchMulticamCamera(const HostSuites& host, std::int32_t camera);

// The host's four texts of one command, exactly as it gives them, in the host's order.
using HostCommandTexts = std::array<std::string, 4>;

// How many commands the host lists, into `count`; returns the host's status. Requires
// HostCommandsAvailable.
hostsdk::ErrorCode HostCommandCount(const HostSuites& host, std::uint32_t& count);

// One command's texts; nothing when the host cannot describe it. Requires
// HostCommandsAvailable.
std::optional<HostCommandTexts> DescribeHostCommand(const HostSuites& host, std::uint32_t index);

} // namespace ZYL
