// The command part of the control surface.
#pragma once

#include "hostsdk/ControlSurfaceWrappers.h"

#include <cstdint>

namespace ZYL {

// Command operation 1 is overridden here rather than in the surface class: the Mixer base
// declares an operation with the same name and signature, and one override in the surface
// class would replace both, so the Mixer suite's entry 0 would stop answering '!IMP'.
class SurfaceCommand : public hostsdk::ControlSurfaceCommandBase {
public:
  hostsdk::ErrorCode Request1(std::intptr_t value) override {
    return value == 0 ? hostsdk::kBadParameter : hostsdk::kSuccess;
  }
};

} // namespace ZYL
