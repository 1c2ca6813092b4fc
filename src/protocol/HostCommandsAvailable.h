// Whether the host can list and run its commands for this surface.
#pragma once

#include "host/ZYLEngineControlSurface.h"

namespace ZYL {

// The Command suite with its host object and the String suite, including every entry that
// listing and running commands calls: a host whose table lacks one is treated as offering
// no commands rather than being called through a null pointer.
inline bool HostCommandsAvailable(const ZYLEngineControlSurface& surface) noexcept {
  const hostsdk::HostCommandSuite1* commands = surface.commandSuite;
  const hostsdk::StringSuite1* strings = surface.stringSuite;
  return commands != nullptr && surface.commandHost != nullptr && strings != nullptr &&
         commands->GetCommandCount != nullptr && commands->DescribeCommand != nullptr &&
         commands->ExecuteCommand != nullptr && strings->DisposeString != nullptr &&
         strings->AllocateFromUtf8 != nullptr && strings->CopyToUtf8 != nullptr;
}

} // namespace ZYL
