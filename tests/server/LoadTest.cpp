// The engine under load, end to end: the built module runs in the simulated host and real
// WebSocket clients use every place the server has, while the host fires transport events,
// while connections are made and torn down by the thousand, and while the host detaches and
// re-attaches the surface.
#include "support/EngineHarness.h"
#include "support/LoadScale.h"
#include "support/ProcessResources.h"
#include "support/PushTraffic.h"
#include "support/TestSockets.h"
#include "support/WsTestClient.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using zyltest::EncodeClientFrame;
using zyltest::EngineHarness;
using zyltest::Millis;
using zyltest::Scaled;
using zyltest::WsFrame;
using zyltest::WsTestClient;
using Clock = std::chrono::steady_clock;

constexpr int kClients = 16; // every place the server has
constexpr int kWindow = 32;  // commands a client keeps in flight

int Camera(int client, int n) { return (client + n / 2) % 16 + 1; }

// Command n of a client: get.version and multicam.angle alternate, and the angle walks
// through all sixteen cameras from a start of its own per client, so that a reply which
// reached the wrong client, or came out of order, shows as a mismatch.
std::string Command(int client, int n) {
  return n % 2 == 0 ? "get.version" : "multicam.angle:" + std::to_string(Camera(client, n));
}

std::string ExpectedReply(int client, int n) {
  return n % 2 == 0 ? "version:1.2.4" : "multicam.angle.ok:" + std::to_string(Camera(client, n));
}

bool IsPayload(const std::string& text, std::string_view prefix) {
  return text.starts_with(prefix) && nlohmann::json::accept(text.substr(prefix.size()));
}

// Everything one client received, checked frame by frame.
struct ClientLog {
  int replies = 0;
  int events = 0;
  int records = 0;
  std::string fault; // the first thing that was wrong; empty while all is well

  void Fail(const std::string& what) {
    if (fault.empty()) fault = what;
  }

  // Checks and counts a push; returns the text of anything else (a reply).
  std::optional<std::string> Take(const WsFrame& frame) {
    if (!frame.fin || frame.opcode != zyltest::kText) {
      Fail("a frame that is not one whole text message");
      return std::nullopt;
    }
    const std::string& text = frame.payload;
    if (text.starts_with("event:")) {
      if (text != zyltest::PlayEvent(events))
        Fail("event " + std::to_string(events) + " lost or out of order: " + text);
      ++events;
      return std::nullopt;
    }
    if (text.starts_with("vitals:")) {
      if (!IsPayload(text, "vitals:")) Fail("a vitals record that is not whole JSON: " + text);
      ++records;
      return std::nullopt;
    }
    return text;
  }
};

// Runs `commands` commands with kWindow in flight, checking each reply against its command.
void RunCommands(WsTestClient& client, int index, int commands, ClientLog& log) {
  int sent = 0;
  while (log.replies < commands && log.fault.empty()) {
    std::string batch;
    for (; sent < commands && sent - log.replies < kWindow; ++sent)
      batch += EncodeClientFrame(zyltest::kText, Command(index, sent));
    if (!batch.empty() && !client.SendRaw(batch)) return log.Fail("the server stopped reading");
    const std::optional<WsFrame> frame = client.ReceiveFrame(Millis(15000));
    if (!frame) return log.Fail("no frame after reply " + std::to_string(log.replies));
    const std::optional<std::string> reply = log.Take(*frame);
    if (!reply) continue;
    if (*reply != ExpectedReply(index, log.replies))
      log.Fail("reply " + std::to_string(log.replies) + " was " + *reply);
    ++log.replies;
  }
}

// Reads pushes until every event fired (`fired`, negative while still firing) has arrived.
void AwaitEvents(WsTestClient& client, const std::atomic<int>& fired, ClientLog& log) {
  const auto deadline = Clock::now() + 30s;
  while (log.fault.empty()) {
    const int expected = fired.load();
    if (expected >= 0 && log.events >= expected) return;
    if (Clock::now() > deadline)
      return log.Fail("only " + std::to_string(log.events) + " of the events arrived");
    if (const std::optional<WsFrame> frame = client.ReceiveFrame(Millis(100)))
      if (log.Take(*frame)) log.Fail("a reply nobody asked for");
  }
}

TEST(EngineUnderLoad, SixteenSubscribersGetEveryReplyAndEventWholeAndInOrder) {
  EngineHarness engine;
  ASSERT_TRUE(engine.Started());
  const int commands = Scaled(2000, 150);
  std::vector<WsTestClient> clients(kClients);
  for (WsTestClient& client : clients) {
    ASSERT_TRUE(client.Open());
    ASSERT_TRUE(zyltest::Subscribe(client));
  }

  std::vector<ClientLog> logs(kClients);
  std::atomic<int> finished{0};
  std::atomic<int> fired{-1};
  std::thread host([&] {
    zyltest::TransportToggler toggler(engine, 2ms);
    while (finished.load() < kClients)
      std::this_thread::sleep_for(10ms);
    fired = toggler.Stop();
    EXPECT_EQ(toggler.Failures(), 0);
  });
  std::vector<std::thread> threads;
  for (int i = 0; i < kClients; ++i)
    threads.emplace_back([&, i] {
      RunCommands(clients[i], i, commands, logs[i]);
      ++finished;
      AwaitEvents(clients[i], fired, logs[i]);
    });
  for (std::thread& thread : threads)
    thread.join();
  host.join();

  for (int i = 0; i < kClients; ++i) {
    EXPECT_EQ(logs[i].fault, "") << "client " << i;
    EXPECT_EQ(logs[i].replies, commands) << "client " << i;
    EXPECT_EQ(logs[i].events, fired.load()) << "client " << i;
  }
}

// With a zero linger time, close sends a reset instead of an orderly end.
void Reset(WsTestClient& client) {
  zyltest::ResetOnClose(client.Socket());
  client.Close();
}

// One connection, ended in one of three ways: closed after a served command, reset in the
// middle of a frame, or reset in the middle of the upgrade request.
bool Cycle(int kind) {
  WsTestClient client;
  const auto deadline = Clock::now() + 10s;
  // A place may still be held by a connection that is ending, which closes a newcomer.
  while (!(kind == 2 ? client.Connect() : client.Open())) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  if (kind == 0) return client.SendText("get.version") && client.ReceiveText() == "version:1.2.4";
  const std::string bytes =
      kind == 1 ? EncodeClientFrame(zyltest::kText, "get.version") : zyltest::UpgradeRequest();
  const bool sent = client.SendRaw(bytes.substr(0, bytes.size() / 2));
  Reset(client);
  return sent;
}

bool WaitFor(const std::function<bool()>& condition, Millis deadline) {
  const auto end = Clock::now() + deadline;
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

TEST(EngineUnderLoad, ConnectionCyclesAndResetsLeaveNoDescriptorOrThreadBehind) {
  EngineHarness engine;
  ASSERT_TRUE(engine.Started());
  // A first connection, so that whatever is made lazily once does not count as a leak.
  ASSERT_TRUE(Cycle(0));
  std::this_thread::sleep_for(500ms);
  const int descriptors = zyltest::OpenDescriptorCount();
  const int threads = zyltest::ThreadCount();
#ifdef _WIN32
  // Wine answers GetProcessHandleCount with 0, so there is nothing to compare there.
  if (descriptors == 0) GTEST_SKIP() << "the system reports no handle count";
#endif
  ASSERT_GT(descriptors, 0);
  ASSERT_GT(threads, 0);

  constexpr int kWorkers = 4;
  const int cycles = Scaled(3000, 300);
  std::atomic<int> failed{0};
  std::vector<std::thread> workers;
  for (int worker = 0; worker < kWorkers; ++worker)
    workers.emplace_back([&, worker] {
      for (int n = worker; n < cycles; n += kWorkers)
        if (!Cycle(n % 3)) ++failed;
    });
  for (std::thread& worker : workers)
    worker.join();
  EXPECT_EQ(failed.load(), 0);

  // Connection threads end on their own once their peer has gone.
  EXPECT_TRUE(WaitFor(
      [&] {
        return zyltest::OpenDescriptorCount() <= descriptors && zyltest::ThreadCount() <= threads;
      },
      15s))
      << "descriptors " << zyltest::OpenDescriptorCount() << " (before: " << descriptors
      << "), threads " << zyltest::ThreadCount() << " (before: " << threads << ")";
  EXPECT_TRUE(Cycle(0));
}

// A worker of the detach test: one command after another, reconnecting whenever the host's
// detach ended the connection. A reply that does arrive must be the right one.
void HammerAcrossDetaches(int index, const std::atomic<bool>& stop, std::atomic<int>& served,
                          std::string& fault) {
  WsTestClient client;
  const bool scans = index % 4 == 0;
  for (int n = 0; !stop.load() && fault.empty();) {
    if (!client.IsConnected() && !client.Open(Millis(1000))) {
      client.Close();
      continue;
    }
    const std::string command = scans ? "debug.tlscan:0:200000:50" : Command(index, n);
    const std::optional<std::string> reply =
        client.SendText(command) ? client.ReceiveText(Millis(15000)) : std::nullopt;
    if (!reply) {
      client.Close();
      continue;
    }
    if (scans ? !IsPayload(*reply, "tlscan:") : *reply != ExpectedReply(index, n))
      fault = command + " was answered with " + *reply;
    ++n;
    ++served;
  }
}

TEST(EngineUnderLoad, DetachAndAttachUnderTrafficAndScansKeepTheLedgerBalanced) {
  EngineHarness engine;
  ASSERT_TRUE(engine.Started());
  std::atomic<bool> stop{false};
  std::atomic<int> served{0};
  std::vector<std::string> faults(kClients);
  std::vector<std::thread> workers;
  for (int i = 0; i < kClients; ++i)
    workers.emplace_back([&, i] { HammerAcrossDetaches(i, stop, served, faults[i]); });

  // Each round lets traffic flow before the host detaches, so detaches meet commands and
  // scans under way.
  const auto traffic = [&] {
    const int before = served.load();
    return WaitFor([&] { return served.load() >= before + kClients; }, 20s);
  };
  const int rounds = Scaled(12, 4);
  for (int round = 0; round < rounds; ++round) {
    EXPECT_TRUE(traffic()) << "no traffic before round " << round;
    EXPECT_TRUE(engine.Execute("detach"));
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(engine.Execute("attach"));
  }
  EXPECT_TRUE(traffic()) << "the server did not serve again after the last attach";
  stop = true;
  for (std::thread& worker : workers)
    worker.join();

  for (int i = 0; i < kClients; ++i)
    EXPECT_EQ(faults[i], "") << "client " << i;
  EXPECT_TRUE(engine.Shutdown());
}

} // namespace
