// Peers on another machine, over a real second address: the test makes a network namespace
// of its own for the peer, joined to the engine's by a veth pair (engine side 10.78.0.1,
// peer side 10.78.0.2), and the engine listens on 10.78.0.1 beside 127.0.0.1. Where no
// namespace can be made (no root, no unshare, or the test is not in a namespace of its
// own, whose network must not be touched) every case here reports itself skipped.
#include "platform/Platform.h"
#include "server/Base64.h"
#include "support/EngineHarness.h"
#include "support/TestEnvironment.h"
#include "support/WsTestClient.h"

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <sched.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ZYL {
namespace {

using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;
using zyltest::Millis;
using zyltest::WsTestClient;

constexpr platform::Ipv4Address kEngineAddress = 0x0A4E0001; // 10.78.0.1
constexpr std::string_view kPassword = "studio secret";

// Runs a shell command line; true when it succeeded.
bool RunShell(const std::string& line) {
  return std::system((line + " >/dev/null 2>&1").c_str()) == 0;
}

// A namespace of the peer's own, held by a child process that only sleeps, and the veth
// pair between it and the test's namespace.
class PeerNamespace {
public:
  PeerNamespace() = default;
  ~PeerNamespace() {
    if (child_ <= 0) return;
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
  }
  PeerNamespace(const PeerNamespace&) = delete;
  PeerNamespace& operator=(const PeerNamespace&) = delete;

  // Makes the namespace and the pair, without the engine side's address; "" when done,
  // else why not.
  std::string Make() {
    // Only lo in the test's namespace: it is one of its own (scripts/isolated-net), so
    // nothing here can reach the machine's real network.
    // (/proc/self/net/dev lists the interfaces of this process's namespace; /sys would show
    // those of whoever mounted it.)
    std::ifstream devices("/proc/self/net/dev");
    std::string line;
    std::getline(devices, line);
    std::getline(devices, line); // two lines of headings
    if (!devices) return "cannot list the network interfaces";
    while (std::getline(devices, line)) {
      const std::size_t start = line.find_first_not_of(' ');
      if (start == std::string::npos || line.compare(start, 3, "lo:") != 0)
        return "the test does not run in a network namespace of its own";
    }
    if (::geteuid() != 0) return "not root";
    const char* argv[] = {"unshare", "-n", "sleep", "300", nullptr};
    // Its output goes nowhere, so that it never holds the test's own output open (a test
    // runner waits for that to end).
    posix_spawn_file_actions_t quiet;
    ::posix_spawn_file_actions_init(&quiet);
    ::posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = ::posix_spawnp(&child_, "unshare", &quiet, nullptr,
                                       const_cast<char* const*>(argv), environ);
    ::posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) return "cannot run unshare";
    const std::string own = Namespace("/proc/self/ns/net");
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Namespace(PeerPath()) == own || Namespace(PeerPath()).empty()) {
      if (Clock::now() > deadline) return "unshare -n made no namespace";
      std::this_thread::sleep_for(Millis(10));
    }
    const std::string pid = std::to_string(child_);
    if (!RunShell("ip link add zyl-engine type veth peer name zyl-peer netns " + pid) ||
        !RunShell("ip link set zyl-engine up") ||
        !RunShell("nsenter -t " + pid +
                  " -n sh -c 'ip link set lo up && ip addr add 10.78.0.2/24 dev zyl-peer && ip "
                  "link set zyl-peer up'"))
      return "cannot make a veth pair";
    return "";
  }

  static bool AddEngineAddress() { return RunShell("ip addr add 10.78.0.1/24 dev zyl-engine"); }

  // Runs `work` on a thread of its own inside the peer's namespace: every socket it makes
  // is the peer's.
  void Run(const std::function<void()>& work) const {
    std::thread([&] {
      const int handle = ::open(PeerPath().c_str(), O_RDONLY | O_CLOEXEC);
      const bool entered = handle >= 0 && ::setns(handle, CLONE_NEWNET) == 0;
      if (handle >= 0) ::close(handle);
      if (entered) {
        work();
      } else {
        ADD_FAILURE() << "cannot enter the peer's namespace";
      }
    }).join();
  }

private:
  std::string PeerPath() const { return "/proc/" + std::to_string(child_) + "/ns/net"; }
  static std::string Namespace(const std::string& path) {
    std::error_code error;
    return std::filesystem::read_symlink(path, error).string();
  }

  pid_t child_ = -1;
};

std::string ProofDigest(const std::string& text) {
  const auto digest = platform::Sha256(text);
  return digest ? Base64Encode(*digest) : std::string();
}

// The handshake's reply to an upgrade asking for `protocols` ("" asks for none).
std::string UpgradeWith(WsTestClient& client, std::string_view protocols) {
  std::string request = zyltest::UpgradeRequest();
  if (!protocols.empty())
    request.insert(request.size() - 2,
                   "Sec-WebSocket-Protocol: " + std::string(protocols) + "\r\n");
  return client.RawHandshake(request);
}

int ClosedWith(const std::optional<zyltest::WsFrame>& frame) {
  if (!frame || frame->opcode != zyltest::kClose || frame->payload.size() < 2) return 0;
  return static_cast<unsigned char>(frame->payload[0]) << 8 |
         static_cast<unsigned char>(frame->payload[1]);
}

// Opens a protocol-2 connection and identifies with `password`; the first message after
// the identify: identified (as text), or the close code as "close N".
std::string IdentifyAs(WsTestClient& client, std::string_view password, bool fromPeer = true) {
  const bool connected = fromPeer ? client.ConnectTo(kEngineAddress) : client.Connect();
  if (!connected) return "no connection";
  const std::string reply = UpgradeWith(client, "zyl.v2");
  if (!reply.starts_with("HTTP/1.1 101 ")) return reply.empty() ? "no reply" : reply;
  const Json hello =
      Json::parse(client.ReceiveText(Millis(5000), false).value_or("null"), nullptr, false);
  if (!hello.is_object() || !hello["authentication"].is_object()) return "hello: " + hello.dump();
  const std::string salt = hello["authentication"]["salt"];
  const std::string challenge = hello["authentication"]["challenge"];
  const std::string answer = ProofDigest(ProofDigest(std::string(password) + salt) + challenge);
  client.SendText(Json{{"op", "identify"}, {"protocol", 2}, {"authentication", answer}}.dump());
  const std::optional<zyltest::WsFrame> frame = client.ReceiveFrame(Millis(10000));
  if (frame && frame->opcode == zyltest::kText) return frame->payload;
  return "close " + std::to_string(ClosedWith(frame));
}

// The op of a message, or the text itself when it is no JSON object with one. (Nothing here
// may throw: a peer's work runs on a thread of its own.)
std::string OpOf(const std::string& text) {
  const Json message = Json::parse(text, nullptr, false);
  if (!message.is_object() || !message.contains("op") || !message["op"].is_string()) return text;
  return message["op"].get<std::string>();
}

class NetworkPeers : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string why = peer_.Make();
    if (!why.empty()) GTEST_SKIP() << "skipped, no network namespace with a veth pair: " << why;
  }

  // Writes settings.json and starts the engine, which reads where to listen from it.
  void StartEngine(const std::string& settings) {
    WriteSettings(settings);
    engine_ = std::make_unique<zyltest::EngineHarness>();
    ASSERT_TRUE(engine_->Started());
  }
  void WriteSettings(const std::string& text) {
    std::ofstream(folder_.EngineFolder() / "settings.json", std::ios::binary) << text;
  }

  PeerNamespace peer_;
  zyltest::ScopedSettingsFolder folder_{"network-peers"};
  std::unique_ptr<zyltest::EngineHarness> engine_;
};

const std::string kListenWithPassword =
    R"({"password": "studio secret", "listen": "10.78.0.1", "textProtocol": true})";

TEST_F(NetworkPeers, APeerIsAdmittedWithThePasswordOnlyAndNeverToTheTextProtocol) {
  ASSERT_TRUE(PeerNamespace::AddEngineAddress());
  StartEngine(kListenWithPassword);
  peer_.Run([] {
    WsTestClient text;
    ASSERT_TRUE(text.ConnectTo(kEngineAddress));
    EXPECT_TRUE(UpgradeWith(text, "").starts_with("HTTP/1.1 403 Forbidden\r\n"));

    WsTestClient admitted;
    EXPECT_EQ(OpOf(IdentifyAs(admitted, kPassword)), "identified");
    admitted.SendText(R"({"op":"request","id":1,"method":"info"})");
    const Json info =
        Json::parse(admitted.ReceiveText(Millis(5000), false).value_or("null"), nullptr, false);
    ASSERT_TRUE(info.is_object() && info["result"].is_object()) << info;
    EXPECT_EQ(info["result"]["listen"], "10.78.0.1") << info;
    EXPECT_EQ(info["result"]["port"], 7890) << info;

    WsTestClient refused;
    EXPECT_EQ(IdentifyAs(refused, "a guess"), "close 4004");
  });
  // Loopback as before: the text protocol, as the file admits it, and no count of failures.
  WsTestClient local;
  ASSERT_TRUE(local.Connect());
  EXPECT_TRUE(UpgradeWith(local, "").starts_with("HTTP/1.1 101 "));

  // Without a password nobody from the network is let in, though the listener stays.
  WriteSettings(R"({"listen": "10.78.0.1"})");
  peer_.Run([] {
    WsTestClient json;
    ASSERT_TRUE(json.ConnectTo(kEngineAddress));
    EXPECT_TRUE(UpgradeWith(json, "zyl.v2").starts_with("HTTP/1.1 403 Forbidden\r\n"));
  });
}

TEST_F(NetworkPeers, WithoutAPasswordOnlyLoopbackIsBoundAndALineSaysWhy) {
  ASSERT_TRUE(PeerNamespace::AddEngineAddress());
  testing::internal::CaptureStderr();
  StartEngine(R"({"listen": "10.78.0.1"})");
  const std::string diagnostics = testing::internal::GetCapturedStderr();
  EXPECT_NE(diagnostics.find("\"listen\": \"10.78.0.1\" without a password; listening on "
                             "127.0.0.1 only"),
            std::string::npos)
      << diagnostics;
  peer_.Run([] {
    WsTestClient client;
    EXPECT_FALSE(client.ConnectTo(kEngineAddress, Millis(300)));
  });
  WsTestClient local;
  EXPECT_TRUE(local.Open());
}

TEST_F(NetworkPeers, GuessesWaitLongerAndLongerAcrossConnectionsWhileLoopbackDoesNot) {
  ASSERT_TRUE(PeerNamespace::AddEngineAddress());
  StartEngine(kListenWithPassword);
  peer_.Run([] {
    for (int n = 0; n < 5; ++n) {
      WsTestClient client;
      ASSERT_EQ(IdentifyAs(client, "a guess"), "close 4004") << n;
    }
    std::vector<Clock::duration> took;
    for (int n = 0; n < 2; ++n) {
      // IdentifyAs connects by itself. A connection opened here first would be closed
      // unread by it, and with the last guess's connection, whose close the engine may not
      // have read yet, a third from the address: beyond its two places, it is refused.
      WsTestClient client;
      const auto start = Clock::now();
      std::thread guess([&] { EXPECT_EQ(IdentifyAs(client, "a guess"), "close 4004"); });
      // While the guess waits, a new connection from the address is closed at accept.
      std::this_thread::sleep_for(Millis(1000));
      WsTestClient meanwhile;
      if (meanwhile.ConnectTo(kEngineAddress, Millis(500))) {
        EXPECT_EQ(UpgradeWith(meanwhile, "zyl.v2"), "");
      }
      guess.join();
      took.push_back(Clock::now() - start);
    }
    // 2 s and 4 s before the answer is judged, then the second of every failure.
    EXPECT_GE(took[0], Millis(2900));
    EXPECT_GE(took[1], Millis(4900));
    EXPECT_GE(took[1] - took[0], Millis(1500));
  });
  // A loopback client is neither counted nor made to wait longer than the one second.
  const auto start = Clock::now();
  WsTestClient local;
  EXPECT_EQ(IdentifyAs(local, "a guess", false), "close 4004");
  EXPECT_LT(Clock::now() - start, Millis(2500));
}

TEST_F(NetworkPeers, AnAddressNotYetThereIsRetriedWhileLoopbackServes) {
  testing::internal::CaptureStderr();
  StartEngine(kListenWithPassword);
  WsTestClient local;
  EXPECT_TRUE(local.Open());
  ASSERT_TRUE(PeerNamespace::AddEngineAddress());
  peer_.Run([] {
    WsTestClient client;
    // Bound at the next try, 2 s after the last.
    EXPECT_EQ(OpOf(IdentifyAs(client, kPassword)), "identified");
  });
  const std::string diagnostics = testing::internal::GetCapturedStderr();
  const std::string expected = "cannot listen on 10.78.0.1:7890";
  EXPECT_NE(diagnostics.find(expected), std::string::npos) << diagnostics;
  EXPECT_EQ(diagnostics.find(expected, diagnostics.find(expected) + 1), std::string::npos)
      << "one line, not one per retry: " << diagnostics;
}

TEST_F(NetworkPeers, AnAddressHoldsTwoPlacesAndLoopbackStillGetsIn) {
  ASSERT_TRUE(PeerNamespace::AddEngineAddress());
  StartEngine(kListenWithPassword);
  std::vector<WsTestClient> held(2);
  peer_.Run([&] {
    for (WsTestClient& client : held) {
      ASSERT_TRUE(client.ConnectTo(kEngineAddress));
      ASSERT_TRUE(UpgradeWith(client, "zyl.v2").starts_with("HTTP/1.1 101 "));
    }
    WsTestClient third;
    ASSERT_TRUE(third.ConnectTo(kEngineAddress));
    EXPECT_EQ(UpgradeWith(third, "zyl.v2"), "");
  });
  WsTestClient local;
  EXPECT_TRUE(local.Open());
}

} // namespace
} // namespace ZYL
#endif
