#include "EngineHarness.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>
#include <thread>

namespace zyltest {

EngineHarness::EngineHarness(const nlohmann::json& project)
    : sim_(project, [this](const std::string& line) {
        std::lock_guard<std::mutex> lock(outputLock_);
        output_.push_back(line);
      }) {
  std::string error;
  if (!sim_.LoadModule(ZYL_TEST_MODULE_PATH, &error)) {
    ADD_FAILURE() << "cannot load " << ZYL_TEST_MODULE_PATH << ": " << error;
    return;
  }
  if (!sim_.Start()) {
    ADD_FAILURE() << "the simulator could not start the module";
    return;
  }
  started_ = WaitForServer();
  if (!started_) ADD_FAILURE() << "the engine's server did not come up on 127.0.0.1:7890";
}

EngineHarness::~EngineHarness() { sim_.Shutdown(); }

std::vector<std::string> EngineHarness::Output() const {
  std::lock_guard<std::mutex> lock(outputLock_);
  return output_;
}

bool EngineHarness::Execute(const std::string& line) { return sim_.Execute(line); }

bool EngineHarness::Shutdown() { return sim_.Shutdown(); }

bool EngineHarness::WaitForServer(Millis deadline) {
  WsTestClient probe;
  if (!probe.Connect(deadline)) return false;
  // The probe holds one of the server's places until its thread has seen the end: waiting for
  // the server's close gives it back before a test counts on every place.
  ZYL::platform::ShutdownSend(probe.Socket());
  return probe.WaitClosed(deadline);
}

} // namespace zyltest
