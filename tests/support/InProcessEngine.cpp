#include "InProcessEngine.h"

#include <gtest/gtest.h>

namespace zyltest {

namespace {
constexpr hostsdk::HostReference kTestSurfaceReference = 1;
} // namespace

InProcessEngine::InProcessEngine(const nlohmann::json& project)
    : sim_(project,
           [this](const std::string& line) {
             std::lock_guard<std::mutex> lock(outputLock_);
             output_.push_back(line);
           }),
      surface_(std::make_unique<ZYL::ZYLEngineControlSurface>(sim_.BasicSuite())) {
  surface_->AttachHost(kTestSurfaceReference);
}

InProcessEngine::~InProcessEngine() { Detach(); }

void InProcessEngine::Detach() {
  if (!surface_) return;
  surface_->AttachHost(0);
  surface_.reset();
}

std::vector<std::string> InProcessEngine::Output() const {
  std::lock_guard<std::mutex> lock(outputLock_);
  return output_;
}

std::vector<std::string> InProcessEngine::Dispatch(std::string_view text) {
  CaptureSink sink;
  ZYL::EngineParts parts = surface_->Parts();
  ZYL::DispatchCommand(parts, sink, text);
  return sink.Replies();
}

std::string InProcessEngine::DispatchOne(std::string_view text) {
  const std::vector<std::string> replies = Dispatch(text);
  EXPECT_EQ(replies.size(), 1u) << "command: " << text;
  return replies.size() == 1 ? replies.front() : std::string();
}

void ExpectLedgerBalancedAfterDetach(InProcessEngine& engine) {
  engine.Detach();
  EXPECT_TRUE(engine.sim().LedgerBalanced()) << engine.sim().LedgerJson().dump();
}

} // namespace zyltest
