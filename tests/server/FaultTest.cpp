// Clients and a system that misbehave, end to end through the module in the simulated host:
// upgrade requests that stall, a subscriber that never reads, and an accept that fails for
// want of descriptors. None of them may hold up anyone else for longer than its bound.
#include "support/EngineHarness.h"
#include "support/LoadScale.h"
#include "support/ProcessResources.h"
#include "support/PushTraffic.h"
#include "support/TestEnvironment.h"
#include "support/TestSockets.h"
#include "support/WsTestClient.h"

#include <atomic>
#include <cerrno>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace std::chrono_literals;
using zyltest::EngineHarness;
using zyltest::Millis;
using zyltest::Scaled;
using zyltest::WsFrame;
using zyltest::WsTestClient;
using Clock = std::chrono::steady_clock;

constexpr auto kSendBound = 2s;      // the server's bound on one stalled send
constexpr auto kHandshakeBound = 5s; // the server's bound on an upgrade request

bool AnswersVersion(WsTestClient& client) {
  return client.SendText("get.version") && client.ReceiveText() == "version:1.2.4";
}

TEST(EngineFaults, SixteenStalledRequestsGiveTheirPlacesBackAfterTheHandshakeBound) {
  EngineHarness engine;
  ASSERT_TRUE(engine.Started());
  std::this_thread::sleep_for(300ms); // the harness's probe connection gives its place back

  std::vector<WsTestClient> stalled(16);
  std::optional<Clock::time_point> firstByte;
  for (WsTestClient& client : stalled) {
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.SendRaw("G"));
    if (!firstByte) firstByte = Clock::now();
  }
  // Every place is taken: one more connection is closed at once, without a byte.
  WsTestClient extra;
  ASSERT_TRUE(extra.Connect());
  EXPECT_TRUE(extra.WaitClosed(Millis(3000)));

  WsTestClient next;
  bool served = false;
  while (!served && Clock::now() < *firstByte + kHandshakeBound + 7s) {
    served =
        next.Connect() && next.Handshake(zyltest::kDefaultOrigin, zyltest::kSampleKey, Millis(2000))
                              .starts_with("HTTP/1.1 101 ");
    if (!served) std::this_thread::sleep_for(100ms);
  }
  const auto waited = Clock::now() - *firstByte;
  ASSERT_TRUE(served) << "no place came free after the stalled requests ran out of time";
  EXPECT_GE(waited, kHandshakeBound - 500ms) << "a stalled request lost its place too early";
  EXPECT_TRUE(AnswersVersion(next));
  for (WsTestClient& client : stalled)
    EXPECT_TRUE(client.WaitClosed(Millis(3000), false));
}

// A client whose receive window is tiny and whose segments are small, so that the server's
// buffers for it fill after a few kilobytes once it stops reading.
bool OpenStarvedSubscriber(WsTestClient& client) {
  return client.Connect(Millis(5000), zyltest::kServerPort, zyltest::StarveReceives) &&
         client.Handshake().starts_with("HTTP/1.1 101 ") && zyltest::Subscribe(client);
}

// Reads a subscriber's pushes on a thread of its own, checking the events and timing the
// longest wait between two of them.
class EventReader {
public:
  explicit EventReader(WsTestClient& client)
      : thread_([this, &client] {
          std::optional<Clock::time_point> last;
          while (!stop_.load()) {
            const std::optional<WsFrame> frame = client.ReceiveFrame(Millis(100));
            if (!frame || !frame->payload.starts_with("event:")) continue;
            const auto now = Clock::now();
            if (last) longestGap_ = std::max(longestGap_, now - *last);
            last = now;
            if (frame->payload != zyltest::PlayEvent(received_.load()) && fault_.empty())
              fault_ = "event " + std::to_string(received_.load()) + ": " + frame->payload;
            ++received_;
          }
        }) {}
  ~EventReader() { Stop(); }

  // Waits up to `deadline` for `count` events, then stops reading.
  void Await(int count, Millis deadline) {
    const auto end = Clock::now() + deadline;
    while (received_.load() < count && Clock::now() < end)
      std::this_thread::sleep_for(20ms);
    Stop();
  }
  int Received() const noexcept { return received_.load(); }
  Clock::duration LongestGap() const noexcept { return longestGap_; }
  const std::string& Fault() const noexcept { return fault_; }

private:
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  std::atomic<bool> stop_{false};
  std::atomic<int> received_{0};
  Clock::duration longestGap_{}; // read only after the thread has ended
  std::string fault_;            // likewise
  std::thread thread_;
};

TEST(EngineFaults, ASubscriberThatNeverReadsIsCutOffWithoutHoldingUpTheOthers) {
  EngineHarness engine;
  ASSERT_TRUE(engine.Started());
  WsTestClient starved;
  ASSERT_TRUE(OpenStarvedSubscriber(starved));
  WsTestClient reader;
  ASSERT_TRUE(reader.Open());
  ASSERT_TRUE(zyltest::Subscribe(reader));

  EventReader events(reader);
  zyltest::TransportToggler host(engine, 500us);
  std::this_thread::sleep_for(std::chrono::seconds(Scaled(5, 7)));
  const int fired = host.Stop();
  EXPECT_EQ(host.Failures(), 0);
  events.Await(fired, Millis(15000));

  EXPECT_EQ(events.Received(), fired) << "the subscriber that reads lost events";
  EXPECT_EQ(events.Fault(), "");
  EXPECT_LT(events.LongestGap(), kSendBound + 2500ms)
      << "pushes waited behind the subscriber that never reads";
  // The server gave up on it (only a stalled send does that: it sent nothing and still
  // has a place). Where the client cannot shrink its segments (Winsock, and Wine, refuse
  // TCP_MAXSEG), the small receive buffer alone leaves a loopback connection taking about
  // 1.7 MB before a send would wait, far more than this test pushes; the cut-off is then
  // checked where the segment size can be set.
#ifndef _WIN32
  EXPECT_TRUE(starved.WaitClosed(Millis(10000), false));
#endif
  EXPECT_TRUE(AnswersVersion(reader));
}

// Regression: each push waited on every subscriber's send in turn, so subscribers that
// never read held every other one up by the send bound apiece, here for half a minute.
TEST(EngineFaults, FourteenSubscribersThatNeverReadHoldUpNoPush) {
  EngineHarness engine;
  ASSERT_TRUE(engine.Started());
  std::vector<WsTestClient> starved(14);
  for (WsTestClient& client : starved)
    ASSERT_TRUE(OpenStarvedSubscriber(client));
  WsTestClient reader;
  ASSERT_TRUE(reader.Open());
  ASSERT_TRUE(zyltest::Subscribe(reader));

  EventReader events(reader);
  zyltest::TransportToggler host(engine, 500us);
  std::this_thread::sleep_for(std::chrono::seconds(Scaled(4, 6)));
  const int fired = host.Stop();
  EXPECT_EQ(host.Failures(), 0);
  events.Await(fired, Millis(15000));

  EXPECT_EQ(events.Received(), fired) << "the subscriber that reads lost events";
  EXPECT_EQ(events.Fault(), "");
  EXPECT_LT(events.LongestGap(), 1s) << "pushes waited behind the subscribers that never read";
  EXPECT_TRUE(AnswersVersion(reader));
}

TEST(EngineFaults, DetachReturnsPromptlyWhileASubscriberIsStuck) {
  EngineHarness engine;
  ASSERT_TRUE(engine.Started());
  WsTestClient starved;
  ASSERT_TRUE(OpenStarvedSubscriber(starved));
  {
    // Enough pushes to fill its buffers; the server is then in or near a stalled send.
    zyltest::TransportToggler host(engine, 500us);
    std::this_thread::sleep_for(1500ms);
  }

  const auto start = Clock::now();
  EXPECT_TRUE(engine.Execute("detach"));
  EXPECT_LT(Clock::now() - start, kSendBound + 3s) << "detach waited on the stuck subscriber";
#ifndef _WIN32
  // Without TCP_MAXSEG (see above) this peer's connection holds about 1.7 MB, which its
  // window of a few kilobytes takes longer than the wait to drain before the end shows.
  EXPECT_TRUE(starved.WaitClosed(Millis(5000), false));
#endif

  EXPECT_TRUE(engine.Execute("attach"));
  WsTestClient after;
  EXPECT_TRUE(after.Open());
  EXPECT_TRUE(AnswersVersion(after));
  after.Close();
  EXPECT_TRUE(engine.Shutdown());
}

#ifndef _WIN32
// Lowers this process's descriptor limit and takes every free descriptor below it, as a
// host process that ran out of them; everything is given back by Release or at the end.
class DescriptorExhaustion {
public:
  explicit DescriptorExhaustion(rlim_t headroom) {
    if (::getrlimit(RLIMIT_NOFILE, &saved_) != 0) return;
    rlimit lowered = saved_;
    lowered.rlim_cur = static_cast<rlim_t>(zyltest::OpenDescriptorCount()) + headroom;
    if (lowered.rlim_cur >= saved_.rlim_cur || ::setrlimit(RLIMIT_NOFILE, &lowered) != 0) return;
    lowered_ = true;
    fillers_.reserve(lowered.rlim_cur);
    for (rlim_t n = 0; n < lowered.rlim_cur; ++n) {
      const int filler = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
      if (filler < 0) {
        exhausted_ = errno == EMFILE;
        return;
      }
      fillers_.push_back(filler);
    }
  }
  ~DescriptorExhaustion() { Release(); }
  DescriptorExhaustion(const DescriptorExhaustion&) = delete;
  DescriptorExhaustion& operator=(const DescriptorExhaustion&) = delete;

  bool Exhausted() const noexcept { return exhausted_; }
  void FreeOne() {
    if (fillers_.empty()) return;
    ::close(fillers_.back());
    fillers_.pop_back();
  }
  void Release() {
    for (const int filler : fillers_)
      ::close(filler);
    fillers_.clear();
    if (lowered_) ::setrlimit(RLIMIT_NOFILE, &saved_);
    lowered_ = false;
  }

private:
  rlimit saved_{};
  bool lowered_ = false;
  bool exhausted_ = false;
  std::vector<int> fillers_;
};

#endif

TEST(EngineFaults, AcceptOutOfDescriptorsBacksOffAndServesOnceTheyAreFree) {
#ifdef _WIN32
  // Windows has no per-process descriptor limit that a test could lower and fill.
  GTEST_SKIP() << "no descriptor limit to exhaust on Windows";
#else
  EngineHarness engine;
  ASSERT_TRUE(engine.Started());
  std::this_thread::sleep_for(300ms);

  DescriptorExhaustion exhaustion(64);
  ASSERT_TRUE(exhaustion.Exhausted());
  // The one free descriptor becomes the client's; the server has none left to accept with.
  exhaustion.FreeOne();
  WsTestClient client;
  ASSERT_TRUE(client.Connect());
  const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int probeError = errno;
  if (probe >= 0) ::close(probe);
  ASSERT_LT(probe, 0);
  ASSERT_EQ(probeError, EMFILE);

  // The pending connection keeps the listener readable while accept fails: a loop without a
  // pause would spend a whole core (or whatever share a busy machine gives it).
  std::this_thread::sleep_for(300ms);
  const auto cpuBefore = zyltest::ProcessCpuTime();
  std::this_thread::sleep_for(2s);
  const auto cpuSpent = zyltest::ProcessCpuTime() - cpuBefore;
  exhaustion.Release();
  EXPECT_LT(cpuSpent, 150ms) << "the accept loop spins while accept fails";

  EXPECT_TRUE(client.Handshake().starts_with("HTTP/1.1 101 "));
  EXPECT_TRUE(AnswersVersion(client));
#endif
}

#ifndef _WIN32
// Regression: with a pipe as settings.json, a handshake waited in open() for a writer, and
// the host's detach waited for that handshake (in an attack, over 45 s). The handshake now
// refuses the pipe at once with 500, and the detach is not held up.
TEST(EngineFaults, ADetachWhileAHandshakeMeetsASettingsPipeIsNotHeldUp) {
  zyltest::ScopedSettingsFolder settings("fault-settings-pipe");
  const std::string pipe = (settings.EngineFolder() / "settings.json").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // A writer comes after 8 s, so that an open waiting for one ends in a failure of this
  // test rather than in a test that never ends.
  std::promise<void> stopped;
  std::thread writer([&pipe, late = stopped.get_future()] {
    late.wait_for(8s);
    const int end = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
    if (end >= 0) ::close(end);
  });
  EngineHarness engine;
  ASSERT_TRUE(engine.Started());
  WsTestClient client;
  ASSERT_TRUE(client.Connect());
  ASSERT_TRUE(client.SendRaw(zyltest::UpgradeRequest()));
  std::this_thread::sleep_for(300ms); // the handshake reaches the settings file

  const auto start = Clock::now();
  EXPECT_TRUE(engine.Shutdown());
  EXPECT_LT(Clock::now() - start, 2s);
  EXPECT_EQ(client.ReadHttpReply(Millis(1000)).rfind("HTTP/1.1 500 ", 0), 0U);
  stopped.set_value();
  writer.join();
}
#endif

} // namespace
