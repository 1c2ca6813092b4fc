// The server end to end over real sockets: a control-surface object runs the listener, and
// WsTestClient plays the browser. No host is attached; the commands used need none.
#include "platform/Platform.h"
#include "plugin/ZYLEngineControlSurface.h"
#include "server/ClientConnection.h"
#include "server/Handshake.h"
#include "server/MessageHandler.h"
#include "server/ServerLimits.h"
#include "server/UserFileReader.h"
#include "support/EngineHarness.h"
#include "support/LoadScale.h"
#include "support/TestEnvironment.h"
#include "support/WsTestClient.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace {
// Armed by a test: the next allocation of exactly this many bytes fails once, as if the
// system were out of memory.
std::atomic<std::size_t> failingAllocationSize{0};
} // namespace

// The sanitizers bring their own allocation functions, so the out-of-memory case runs in
// plain builds only.
#if !ZYL_TEST_SANITIZED_BUILD
void* operator new(std::size_t size) {
  std::size_t armed = size;
  if (size != 0 && failingAllocationSize.compare_exchange_strong(armed, 0)) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
// These are the replacement allocation functions themselves: free() matches the malloc()
// above, which GCC cannot see through the inlined new-expression.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

namespace ZYL {
namespace {

using zyltest::Millis;
using zyltest::WsTestClient;
using Clock = std::chrono::steady_clock;

// Whether 127.0.0.1:7890 accepts a connection within `deadline`; the probe is closed at once.
bool ServerAccepts(Millis deadline) {
  WsTestClient probe;
  return probe.Connect(deadline);
}

// A handler for tests that need only the messages, not the opening or the late start.
class MessagesOnlyHandler : public MessageHandler {
public:
  void Opened(ClientConnection&) override {}
  void Late(ClientConnection&) override {}
};

class Server : public ::testing::Test {
protected:
  void SetUp() override {
    surface_ = std::make_unique<ZYLEngineControlSurface>(nullptr);
    surface_->StartServer();
    ASSERT_TRUE(surface_->server.Running().load());
    ASSERT_TRUE(ServerAccepts(Millis(5000)));
    ASSERT_TRUE(WaitForConnectionCount(0));
  }
  void TearDown() override { surface_->StopServer(); }

  // Connection threads end on their own schedule; wait for the count with a generous bound.
  bool WaitForConnectionCount(std::int32_t count) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (surface_->server.ConnectionCount() != count) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(Millis(10));
    }
    return true;
  }

  WsTestClient OpenClient() {
    WsTestClient client;
    EXPECT_TRUE(client.Open());
    return client;
  }

  std::unique_ptr<ZYLEngineControlSurface> surface_;
};

TEST_F(Server, AcceptsTheUpgradeWithTheExactReplyAndAnswersCommands) {
  WsTestClient client;
  ASSERT_TRUE(client.Connect());
  const std::string reply = client.Handshake("https://localhost:3000");
  EXPECT_EQ(reply, AcceptReply(zyltest::kSampleKey));
  EXPECT_EQ(reply.size(), 129u);
  ASSERT_TRUE(client.SendText("get.version"));
  const std::optional<std::string> version = client.ReceiveText();
  ASSERT_TRUE(version.has_value());
  EXPECT_TRUE(version->starts_with("version:")) << *version;
}

TEST_F(Server, RefusesAnUnlistedOriginWithThe403TextAndCloses) {
  WsTestClient client;
  ASSERT_TRUE(client.Connect());
  EXPECT_EQ(client.Handshake("https://evil.example"), kRefusalReply);
  EXPECT_TRUE(client.WaitClosed());
}

TEST_F(Server, ARequestWithoutKeyGetsNoReplyAtAll) {
  WsTestClient client;
  ASSERT_TRUE(client.Connect());
  ASSERT_TRUE(client.SendRaw(zyltest::UpgradeRequest("http://localhost", std::nullopt)));
  EXPECT_TRUE(client.WaitClosed());
}

TEST_F(Server, TheFirstFrameMaySharePacketWithTheRequest) {
  WsTestClient client;
  ASSERT_TRUE(client.Connect());
  const std::string reply = client.RawHandshake(zyltest::UpgradeRequest() +
                                                zyltest::EncodeClientFrame(0x1, "get.version"));
  EXPECT_TRUE(reply.starts_with("HTTP/1.1 101 ")) << reply;
  EXPECT_TRUE(client.ReceiveText().has_value());
}

TEST_F(Server, ControlFramesAreAnsweredAndOtherFramesSkipped) {
  WsTestClient client = OpenClient();
  ASSERT_TRUE(client.SendFrame(zyltest::kPing, "abc"));
  ASSERT_TRUE(client.SendFrame(zyltest::kBinary, "ignored"));
  ASSERT_TRUE(client.SendText("get.version", false));
  const std::optional<zyltest::WsFrame> pong = client.ReceiveFrame();
  ASSERT_TRUE(pong.has_value());
  EXPECT_EQ(pong->opcode, zyltest::kPong);
  EXPECT_EQ(pong->payload, "abc");
  const std::optional<zyltest::WsFrame> reply = client.ReceiveFrame();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->opcode, zyltest::kText);

  ASSERT_TRUE(client.SendFrame(zyltest::kClose, "\x03\xE8"
                                                "bye"));
  const std::optional<zyltest::WsFrame> close = client.ReceiveFrame();
  ASSERT_TRUE(close.has_value());
  EXPECT_EQ(close->opcode, zyltest::kClose);
  EXPECT_EQ(close->payload, "\x03\xE8");
  EXPECT_TRUE(client.WaitClosed());
}

TEST_F(Server, EmptyTextAndLongLengthFramesEndTheConnectionSilently) {
  WsTestClient empty = OpenClient();
  ASSERT_TRUE(empty.SendText(""));
  EXPECT_TRUE(empty.WaitClosed());
  WsTestClient longLength = OpenClient();
  ASSERT_TRUE(longLength.SendRaw(std::string("\x81\x7F", 2)));
  EXPECT_TRUE(longLength.WaitClosed());
  EXPECT_TRUE(WaitForConnectionCount(0));
}

TEST_F(Server, AClientThatSaysNothingIsClosedAfterFiveSeconds) {
  WsTestClient client;
  ASSERT_TRUE(client.Connect());
  const auto start = Clock::now();
  EXPECT_TRUE(client.WaitClosed(Millis(30000)));
  EXPECT_GE(Clock::now() - start, Millis(server::kFirstByteWaitMilliseconds - 500));
  EXPECT_TRUE(WaitForConnectionCount(0));
}

TEST_F(Server, TheSeventeenthConnectionIsClosedAndAPlaceFreesForTheNext) {
  std::vector<WsTestClient> clients;
  for (int i = 0; i < server::kMaxConnections; ++i)
    clients.push_back(OpenClient());
  ASSERT_TRUE(WaitForConnectionCount(server::kMaxConnections));
  WsTestClient extra;
  ASSERT_TRUE(extra.Connect());
  EXPECT_TRUE(extra.WaitClosed());

  clients.front().Close();
  ASSERT_TRUE(WaitForConnectionCount(server::kMaxConnections - 1));
  WsTestClient next;
  EXPECT_TRUE(next.Open());
  ASSERT_TRUE(next.SendText("get.version"));
  EXPECT_TRUE(next.ReceiveText().has_value());
}

// Regression: a request that never ends used to hold its place for as long as it liked.
TEST_F(Server, TheHandshakeIsBoundedInSizeAndTime) {
  WsTestClient longLine;
  ASSERT_TRUE(longLine.Connect());
  ASSERT_TRUE(longLine.SendRaw("GET /" + std::string(server::kMaxHeaderLineBytes + 10, 'a')));
  EXPECT_TRUE(longLine.WaitClosed());

  WsTestClient endless;
  ASSERT_TRUE(endless.Connect());
  std::string filler = "GET / HTTP/1.1\r\n";
  while (filler.size() <= server::kMaxRequestBytes)
    filler += "X-Filler: 0123456789\r\n";
  ASSERT_TRUE(endless.SendRaw(filler));
  EXPECT_TRUE(endless.WaitClosed());

  WsTestClient stalled;
  ASSERT_TRUE(stalled.Connect());
  ASSERT_TRUE(stalled.SendRaw("GET / HTTP/1.1\r\nSec-WebSocket-Key: abc\r\n"));
  const auto start = Clock::now();
  EXPECT_TRUE(stalled.WaitClosed(Millis(30000)));
  EXPECT_GE(Clock::now() - start, Millis(server::kHandshakeMilliseconds - 500));
  EXPECT_TRUE(WaitForConnectionCount(0));
}

// Regression: a connection still in the handshake was neither woken nor waited for, and
// could use the object after the host had destroyed it.
TEST_F(Server, StopEndsConnectionsInAndAfterTheHandshakeAndWaitsForThem) {
  WsTestClient open = OpenClient();
  WsTestClient stalled;
  ASSERT_TRUE(stalled.Connect());
  ASSERT_TRUE(stalled.SendRaw("GET / HTTP/1.1\r\n"));
  ASSERT_TRUE(WaitForConnectionCount(2));

  const auto start = Clock::now();
  surface_->StopServer();
  // Far below the 5-second handshake bound, which would otherwise end the stalled one.
  EXPECT_LT(Clock::now() - start, Millis(4000));
  EXPECT_EQ(surface_->server.ConnectionCount(), 0);
  EXPECT_FALSE(surface_->server.Running().load());
  EXPECT_FALSE(surface_->server.Listening());
  EXPECT_TRUE(open.WaitClosed(Millis(5000), false));
  EXPECT_TRUE(stalled.WaitClosed(Millis(5000), false));
}

TEST_F(Server, StartWhileRunningKeepsTheServerAndRestartWorks) {
  surface_->StartServer();
  EXPECT_TRUE(surface_->server.Listening());
  EXPECT_TRUE(OpenClient().IsConnected());

  surface_->StopServer();
  surface_->StopServer();
  EXPECT_FALSE(ServerAccepts(Millis(200)));
  surface_->StartServer();
  ASSERT_TRUE(surface_->server.Running().load());
  WsTestClient client = OpenClient();
  ASSERT_TRUE(client.SendText("get.version"));
  EXPECT_TRUE(client.ReceiveText().has_value());
}

// A connection thread outlives its connection for a while, waiting for the next: each one it
// serves starts afresh, and a stop wakes it rather than waiting out its idle time.
TEST_F(Server, ConnectionsOneAfterAnotherAreEachServedAndAStopDoesNotWaitForIdleThreads) {
  for (int n = 0; n < 5; ++n) {
    WsTestClient client = OpenClient();
    ASSERT_TRUE(client.SendText("get.version"));
    EXPECT_TRUE(client.ReceiveText().has_value());
    client.Close();
    ASSERT_TRUE(WaitForConnectionCount(0));
  }
  const auto start = Clock::now();
  surface_->StopServer();
  EXPECT_LT(Clock::now() - start, Millis(server::kIdleThreadMilliseconds / 2));
}

// A read of a settings file that the system holds up (a profile folder on a share that
// stalls): it returns once the test lets it.
class HeldUpRead {
public:
  static platform::FileRead Read(const std::string&, std::size_t) {
    std::unique_lock<std::mutex> lock(mutex_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait(lock, [] { return released_; });
    return {};
  }
  static bool WaitEntered(Millis timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [] { return entered_; });
  }
  // Lets the read return now, or after `timeout` unless it was let go before.
  static void Release(Millis timeout = Millis(0)) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [] { return released_; });
    released_ = true;
    changed_.notify_all();
  }

private:
  static inline std::mutex mutex_;
  static inline std::condition_variable changed_;
  static inline bool entered_ = false;
  static inline bool released_ = false;
};

// Regression: a handshake read the settings file on its own thread, so a read held up in the
// system held the handshake, and a stop waited for it as long as the system did.
TEST_F(Server, AStopDoesNotWaitForASettingsReadThatTheSystemHoldsUp) {
  zyltest::ScopedSettingsFolder settings("server-held-up-read");
  const UserFileSource previous = ReplaceUserFileSource(&HeldUpRead::Read);
  // Lets the read go after a while, so that a stop waiting for it ends in a failure of this
  // test rather than in a test that never ends.
  std::thread watchdog([] { HeldUpRead::Release(Millis(8000)); });
  WsTestClient client;
  ASSERT_TRUE(client.Connect());
  ASSERT_TRUE(client.SendRaw(zyltest::UpgradeRequest()));
  ASSERT_TRUE(HeldUpRead::WaitEntered(Millis(5000)));

  const auto start = Clock::now();
  surface_->StopServer();
  EXPECT_LT(Clock::now() - start, Millis(2000));
  HeldUpRead::Release();
  watchdog.join();
  ReplaceUserFileSource(previous);
}

// Regression: a held port left the server stopped without a word, an engine that looked
// loaded and served nobody. Now it says so once and takes the port when it comes free.
TEST_F(Server, APortHeldElsewhereIsNamedOnceAndTakenWhenItComesFree) {
  surface_->StopServer();
  const int holder = platform::OpenLoopbackListener(server::kPort, 1);
  ASSERT_NE(holder, platform::kNoSocket);
  ZYLEngineControlSurface other(nullptr);
  testing::internal::CaptureStderr();
  other.StartServer();
  EXPECT_TRUE(other.server.Running().load());
  EXPECT_FALSE(other.server.Listening());
  // Two retries come and go while the port is still held.
  std::this_thread::sleep_for(Millis(4500));
  EXPECT_FALSE(other.server.Listening());
  platform::CloseSocket(holder);
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!other.server.Listening() && Clock::now() < deadline)
    std::this_thread::sleep_for(Millis(20));
  const std::string diagnostics = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(other.server.Listening());
  WsTestClient client = OpenClient();
  ASSERT_TRUE(client.SendText("get.version"));
  EXPECT_EQ(client.ReceiveText(), "version:1.2.4");
#ifndef _WIN32
  // Windows sends the line to the debugger's output instead.
  const std::string expected = "cannot listen on 127.0.0.1:7890";
  ASSERT_NE(diagnostics.find(expected), std::string::npos) << diagnostics;
  EXPECT_EQ(diagnostics.find(expected, diagnostics.find(expected) + 1), std::string::npos)
      << "one line, not one per retry: " << diagnostics;
#endif
  other.StopServer();
}

TEST_F(Server, EventsWithoutSubscribersAreNotQueued) {
  surface_->vitals.PublishEvent("event:play:on");
  EXPECT_EQ(surface_->vitals.QueuedEventCount(), 0u);
}

// A host command run for a client may detach the plug-in, which stops the server on that
// client's own thread: the stop must neither join that thread nor wait for it to end.
TEST(ServerStop, AStopFromAConnectionsOwnThreadEndsEveryOtherAndReturns) {
  class StoppingHandler final : public MessagesOnlyHandler {
  public:
    explicit StoppingHandler(ZYL::Server& server) : server_(server) {}
    void HandleMessage(ClientConnection& connection, std::string_view message) override {
      if (message != "stop") return connection.Send(message);
      server_.Stop();
      connection.Send("stopped");
      stopReturned = true;
    }
    std::atomic<bool> stopReturned{false};

  private:
    ZYL::Server& server_;
  };
  ZYL::Server server;
  StoppingHandler handler(server);
  server.Start(handler);
  WsTestClient bystander;
  ASSERT_TRUE(bystander.Open());
  ASSERT_TRUE(bystander.SendText("echo"));
  ASSERT_EQ(bystander.ReceiveText(), "echo");
  WsTestClient stopper;
  ASSERT_TRUE(stopper.Open());
  ASSERT_TRUE(stopper.SendText("stop"));
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!handler.stopReturned && Clock::now() < deadline)
    std::this_thread::sleep_for(Millis(10));
  EXPECT_TRUE(handler.stopReturned);
  EXPECT_FALSE(server.Running().load());
  EXPECT_TRUE(bystander.WaitClosed(Millis(5000), false));
  EXPECT_FALSE(ServerAccepts(Millis(200)));
  // The stopping thread ends by itself; a second stop and the destructor have nothing to join.
  while (server.ConnectionCount() > 0 && Clock::now() < deadline)
    std::this_thread::sleep_for(Millis(10));
  EXPECT_EQ(server.ConnectionCount(), 0);
  server.Stop();
}

// A host may detach and attach again inside one command: the thread the stop ran on is not
// joined, so it must serve nothing of the new start, or a later stop would return while it
// still runs.
TEST(ServerStop, TheThreadAStopRanOnServesNothingOfTheNextStart) {
  class RestartingHandler final : public MessagesOnlyHandler {
  public:
    explicit RestartingHandler(ZYL::Server& server) : server_(server) {}
    void HandleMessage(ClientConnection& connection, std::string_view message) override {
      if (message == "restart") {
        server_.Stop();
        server_.Start(*this);
        restarted = true;
      } else if (message == "work") {
        working = true;
        std::this_thread::sleep_for(Millis(500));
        connection.Send("done");
        working = false;
      }
    }
    std::atomic<bool> restarted{false};
    std::atomic<bool> working{false};

  private:
    ZYL::Server& server_;
  };
  ZYL::Server server;
  RestartingHandler handler(server);
  server.Start(handler);
  {
    WsTestClient restarter;
    ASSERT_TRUE(restarter.Open());
    ASSERT_TRUE(restarter.SendText("restart"));
    EXPECT_TRUE(restarter.WaitClosed(Millis(5000), false));
  }
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!handler.restarted && Clock::now() < deadline)
    std::this_thread::sleep_for(Millis(10));
  ASSERT_TRUE(handler.restarted);
  // Time for the let-go thread to come back for a next connection, were it to.
  std::this_thread::sleep_for(Millis(200));

  WsTestClient worker;
  ASSERT_TRUE(worker.Open());
  ASSERT_TRUE(worker.SendText("work"));
  while (!handler.working && Clock::now() < deadline)
    std::this_thread::sleep_for(Millis(10));
  ASSERT_TRUE(handler.working);
  server.Stop();
  EXPECT_FALSE(handler.working) << "the stop returned while a connection thread still ran";
}

// After a stop nothing stays queued, so a later start replays no stale event.
TEST_F(Server, AStoppedPublisherQueuesNothing) {
  surface_->StopServer();
  surface_->vitals.PublishEvent("event:transport:{\"type\":\"play\",\"on\":true}");
  EXPECT_EQ(surface_->vitals.QueuedEventCount(), 0u);
}

// An allocation failure while one connection is served ends that connection only.
TEST_F(Server, AFailureWhileServingOneConnectionEndsOnlyThatOne) {
  if (zyltest::kSanitizedBuild) GTEST_SKIP() << "sanitizers replace the allocation functions";
  WsTestClient bystander = OpenClient();
  WsTestClient victim = OpenClient();
  // A message size no client-side buffer of this test allocates exactly.
  constexpr std::size_t kMessageSize = 50000;
  const std::string message(kMessageSize, 'm');
  const std::string frame = zyltest::EncodeClientFrame(0x1, message);
  failingAllocationSize.store(kMessageSize + 1);
  ASSERT_TRUE(victim.SendRaw(frame));
  EXPECT_TRUE(victim.WaitClosed());
  failingAllocationSize.store(0);

  ASSERT_TRUE(bystander.SendText("get.version"));
  EXPECT_TRUE(bystander.ReceiveText().has_value());
  WsTestClient newcomer = OpenClient();
  ASSERT_TRUE(newcomer.SendText("get.version"));
  EXPECT_TRUE(newcomer.ReceiveText().has_value());
}

#ifdef __GLIBCXX__
// The first connection needs a thread of its own; when the system cannot give the server's
// entry for that thread, that connection is closed and the server goes on.
TEST(ServerAdmission, AWantOfMemoryWhileAConnectionIsAdmittedClosesThatOneOnly) {
  if (zyltest::kSanitizedBuild) GTEST_SKIP() << "sanitizers replace the allocation functions";
  class EchoHandler final : public MessagesOnlyHandler {
  public:
    void HandleMessage(ClientConnection& connection, std::string_view message) override {
      connection.Send(message);
    }
  };
  EchoHandler handler;
  ZYL::Server server;
  server.Start(handler);
  // The size of one entry of the server's threads, a node of a std::map.
  constexpr std::size_t kThreadEntrySize =
      sizeof(std::_Rb_tree_node<std::pair<const std::thread::id, std::thread>>);
  failingAllocationSize.store(kThreadEntrySize);
  WsTestClient refused;
  ASSERT_TRUE(refused.Connect());
  EXPECT_TRUE(refused.WaitClosed(Millis(5000), false));
  EXPECT_EQ(failingAllocationSize.load(), 0u) << "the failure was not met";
  failingAllocationSize.store(0);

  WsTestClient next;
  ASSERT_TRUE(next.Open());
  ASSERT_TRUE(next.SendText("echo"));
  EXPECT_EQ(next.ReceiveText(), "echo");
  server.Stop();
}
#endif

// Through the module boundary: the host detaches the surface while a client is connected,
// and the connection ends before the host's suites are released.
TEST(ServerInModule, ServesClientsAndStopsWithTheHost) {
  zyltest::EngineHarness engine;
  ASSERT_TRUE(engine.Started());
  WsTestClient client;
  ASSERT_TRUE(client.Open());
  ASSERT_TRUE(client.SendText("get.version"));
  EXPECT_TRUE(client.ReceiveText().has_value());
  EXPECT_TRUE(engine.Shutdown());
  EXPECT_TRUE(client.WaitClosed(Millis(5000), false));
}

// A network peer that keeps guessing the password waits up to a minute before each guess is
// judged; a stop (the editor detaching) must end every such wait at once.
TEST(ServerStop, AStopEndsTheWaitOfAGuessAtOnce) {
  class EchoHandler final : public MessagesOnlyHandler {
  public:
    void HandleMessage(ClientConnection& connection, std::string_view message) override {
      connection.Send(message);
    }
  };
  ZYL::Server server;
  EchoHandler handler;
  server.Start(handler);
  constexpr platform::Ipv4Address kGuesser = 0x0A4E0002; // 10.78.0.2
  for (int n = 0; n < 9; ++n)
    server.NoteAuthentication(kGuesser, false);
  std::atomic<bool> judged{true};
  const auto start = Clock::now();
  std::thread guess([&] { judged = server.WaitToJudge(kGuesser); }); // a 32 s wait
  std::this_thread::sleep_for(Millis(200));
  server.Stop();
  guess.join();
  EXPECT_FALSE(judged);
  EXPECT_LT(Clock::now() - start, Millis(5000));
}

} // namespace
} // namespace ZYL
