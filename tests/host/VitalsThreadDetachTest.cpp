// A host may detach the plug-in from inside a call that the vitals thread makes, and delete
// the surface there and then: the stop must not wait for the very thread it runs on, and
// the thread must touch nothing of the deleted surface once the call returns.
#include "ModuleHost.h"
#include "support/ProcessResources.h"
#include "support/WsTestClient.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace zyltest {
namespace {

using Clock = std::chrono::steady_clock;
using hostsdk::kSuccess;

// Polls `done` until it holds or ten seconds have passed.
template <typename Condition> bool WaitFor(Condition done) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!done() && Clock::now() < deadline)
    std::this_thread::sleep_for(Millis(10));
  return done();
}

TEST(VitalsThreadDetach, AHostThatDestroysTheSurfaceInsideAVitalsCallIsLeftWhole) {
  ModuleHost* host = nullptr;
  hostsdk::InstanceHolder holder = nullptr;
  std::atomic<bool> detachStarted{false};
  std::atomic<bool> detachReturned{false};
  std::thread::id detachingThread;

  HostFaults faults;
  // Only the vitals thread asks for the track count, while it builds a record.
  faults.trackCount = [&](hostsdk::HostObject, std::int32_t* count) {
    if (!detachStarted.exchange(true)) {
      detachingThread = std::this_thread::get_id();
      EXPECT_EQ(host->PluginSuite().DestroySurface(holder), kSuccess);
      EXPECT_EQ(host->callbacks().ReleaseInstanceHolder(holder), kSuccess);
      detachReturned = true;
    }
    *count = 2;
    return kSuccess;
  };
  ModuleHost moduleHost({{"mixer", {{"tracks", 2}, {"meterSource", 1}, {"peaksDb", {-3.0}}}}},
                        faults);
  host = &moduleHost;
  ASSERT_EQ(moduleHost.Startup(), kSuccess);
  // ThreadSanitizer starts a thread of its own with the process's first thread; start one
  // first, so that the count below holds only the module's threads.
  std::thread([] {}).join();
  const int threadsBefore = ThreadCount();
  hostsdk::ControlSurfaceBase* surface = nullptr;
  ASSERT_EQ(moduleHost.CreateSurface(&holder, &surface), kSuccess);

  WsTestClient subscriber;
  ASSERT_TRUE(subscriber.Open());
  ASSERT_TRUE(subscriber.SendText("vitals.subscribe"));

  ASSERT_TRUE(WaitFor([&] { return detachStarted.load(); })) << "no record was built";
  ASSERT_TRUE(WaitFor([&] { return detachReturned.load(); }))
      << "the detach waited for the thread it was made on";
  EXPECT_NE(detachingThread, std::this_thread::get_id());
  EXPECT_TRUE(subscriber.WaitClosed(Millis(5000), false));
  EXPECT_FALSE(ServerPortAccepts());
  // The vitals thread ends by itself; its last act must not crash or touch the host.
  EXPECT_TRUE(WaitFor([&] { return ThreadCount() <= threadsBefore; }))
      << ThreadCount() << " threads, " << threadsBefore << " before the surface";

  moduleHost.Shutdown();
  EXPECT_TRUE(moduleHost.sim().LedgerBalanced()) << moduleHost.sim().LedgerJson().dump();
}

} // namespace
} // namespace zyltest
