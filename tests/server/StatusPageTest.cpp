// The status page a browser's address bar gets from the engine's port, and the diagnostic
// lines it shows: end to end over real sockets, with the engine's own facts.
#include "server/StatusPage.h"

#include "plugin/ZYLEngineControlSurface.h"
#include "server/DiagnosticLog.h"
#include "server/ServerLimits.h"
#include "support/TestEnvironment.h"
#include "support/WsTestClient.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

namespace ZYL {
namespace {

using zyltest::Millis;
using zyltest::WsTestClient;

std::string PlainGet(std::string_view host, std::string_view requestLine = "GET / HTTP/1.1") {
  return std::string(requestLine) + "\r\nHost: " + std::string(host) +
         "\r\nAccept: text/html\r\nUser-Agent: test\r\n\r\n";
}

// How many recent diagnostic lines contain `text`.
long LinesWith(std::string_view text) {
  const std::vector<std::string> lines = RecentDiagnostics();
  return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.find(text) != std::string::npos;
  });
}

std::optional<platform::Ipv4Address> Ipv4(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                          std::uint8_t d) {
  return (platform::Ipv4Address{a} << 24) | (platform::Ipv4Address{b} << 16) |
         (platform::Ipv4Address{c} << 8) | d;
}

TEST(StatusPageRequest, OnlyTheNamesOfThisMachineWithAnyPortAreHosts) {
  for (const char* host :
       {"127.0.0.1", "127.0.0.1:7890", "localhost", "LocalHost:7890", "[::1]", "[::1]:7890"})
    EXPECT_TRUE(HostNamesThisMachine(host)) << host;
  // A page that renamed its own domain to 127.0.0.1 still sends its own name.
  for (const char* host : {"", "rebound.example", "rebound.example:7890", "127.0.0.1.nip.io:7890",
                           "localhost.rebound.example", "localhost:", "localhost:78x",
                           "localhost,rebound.example", "[::1]x", "::1", "127.0.0.2"})
    EXPECT_FALSE(HostNamesThisMachine(host)) << host;
}

TEST(StatusPageRequest, ANetworkPeerGetsNothingWhateverItsHostSays) {
  HandshakeRequest request;
  request.requestLine = "GET / HTTP/1.1";
  request.host = "127.0.0.1:7890";
  request.accept = "text/html";
  EXPECT_NE(StatusPageAnswer(request, Ipv4(127, 0, 0, 1), {}), "");
  EXPECT_EQ(StatusPageAnswer(request, Ipv4(192, 168, 1, 20), {}), "");
  EXPECT_EQ(StatusPageAnswer(request, std::nullopt, {}), "");
}

// The reply's head and body; the body is "" when the head names no length.
struct Reply {
  std::string head;
  std::string body;
};
Reply Ask(std::string_view request) {
  WsTestClient client;
  EXPECT_TRUE(client.Connect());
  Reply reply{client.RawHandshake(request), {}};
  const std::size_t length = reply.head.find("Content-Length: ");
  if (length == std::string::npos) return reply;
  const std::size_t size = std::stoul(reply.head.substr(length + 16));
  reply.body = client.ReceiveBytes(size).value_or("(body cut short)");
  EXPECT_TRUE(client.WaitClosed(Millis(5000), true));
  return reply;
}

class StatusPage : public ::testing::Test {
protected:
  void SetUp() override {
    surface_ = std::make_unique<ZYLEngineControlSurface>(nullptr);
    surface_->StartServer();
    WsTestClient probe;
    ASSERT_TRUE(probe.Connect(Millis(5000)));
  }
  void TearDown() override { surface_->StopServer(); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(settings_.EngineFolder() / name, std::ios::binary) << text;
  }

  // A fresh settings folder per test, whose path names the test.
  zyltest::ScopedSettingsFolder settings_{
      std::string("status-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  std::unique_ptr<ZYLEngineControlSurface> surface_;
};

TEST_F(StatusPage, APlainGetFromThisMachineShowsWhatRunsAndNoScript) {
  for (const char* host : {"127.0.0.1:7890", "localhost:7890", "[::1]:7890", "localhost"}) {
    const Reply reply = Ask(PlainGet(host));
    EXPECT_EQ(reply.head.rfind("HTTP/1.1 200 OK\r\n", 0), 0U) << host << ": " << reply.head;
    EXPECT_NE(reply.head.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
    // No other origin may read it.
    EXPECT_EQ(reply.head.find("Access-Control"), std::string::npos) << reply.head;
    EXPECT_EQ(reply.body.find("<script"), std::string::npos);
    EXPECT_NE(reply.body.find("ZYL Engine " ZYL_ENGINE_VERSION), std::string::npos) << reply.body;
    EXPECT_NE(reply.body.find("inside the editor"), std::string::npos);
    EXPECT_NE(reply.body.find(settings_.EngineFolder().string()), std::string::npos);
    EXPECT_NE(reply.body.find("<td id=json-protocol>admitted, without a password</td>"),
              std::string::npos);
    EXPECT_NE(reply.body.find("<td id=text-protocol>admitted</td>"), std::string::npos);
    EXPECT_NE(reply.body.find("INSTALL.txt"), std::string::npos);
  }
}

TEST_F(StatusPage, AnyOtherRequestWithoutAKeyIsClosedWithoutAWordAsBefore) {
  for (const std::string& request :
       {PlainGet("rebound.example:7890"), PlainGet("127.0.0.1:7890", "GET /x HTTP/1.1"),
        PlainGet("127.0.0.1:7890", "POST / HTTP/1.1"), std::string("GET / HTTP/1.1\r\n\r\n"),
        // Asks for no page: a probe, or a WebSocket client that lost its key.
        std::string("GET / HTTP/1.1\r\nHost: 127.0.0.1:7890\r\n\r\n"),
        zyltest::UpgradeRequest(zyltest::kDefaultOrigin, std::nullopt)}) {
    WsTestClient client;
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.SendRaw(request));
    EXPECT_TRUE(client.WaitClosed(Millis(5000), true)) << request;
  }
}

TEST_F(StatusPage, AHandshakeOnThePathOfThePageIsUntouched) {
  WsTestClient client;
  ASSERT_TRUE(client.Connect());
  const std::string reply =
      client.RawHandshake(zyltest::UpgradeRequest(zyltest::kDefaultOrigin, zyltest::kSampleKey));
  EXPECT_EQ(reply.rfind("HTTP/1.1 101 ", 0), 0U) << reply;
  ASSERT_TRUE(client.SendText("get.version"));
  EXPECT_EQ(client.ReceiveText(), "version:" ZYL_ENGINE_VERSION);
}

TEST_F(StatusPage, APasswordTurnsTheTextProtocolOffAndThePageSaysSo) {
  Write("settings.json", R"({"password": "secret"})");
  const Reply reply = Ask(PlainGet("127.0.0.1:7890"));
  EXPECT_NE(reply.body.find("<td id=json-protocol>admitted, with the password from settings.json"),
            std::string::npos);
  EXPECT_NE(reply.body.find("<td id=text-protocol>off, since settings.json sets a password"),
            std::string::npos)
      << reply.body;
  EXPECT_EQ(reply.body.find("secret"), std::string::npos);
}

TEST_F(StatusPage, ABrokenSettingsFileIsShownEscapedAndNotedOncePerChange) {
  const std::string path = (settings_.EngineFolder() / "settings.json").string();
  Write("settings.json", "{\"<script>x</script>\": 1}");
  for (int handshake = 0; handshake < 3; ++handshake) {
    WsTestClient client;
    ASSERT_TRUE(client.Connect());
    EXPECT_EQ(client.Handshake().rfind("HTTP/1.1 500 ", 0), 0U);
  }
  const Reply reply = Ask(PlainGet("127.0.0.1:7890"));
  EXPECT_NE(reply.body.find("none: every connection is refused (HTTP 500)"), std::string::npos);
  EXPECT_NE(reply.body.find("unknown member &quot;&lt;script&gt;x&lt;/script&gt;&quot;"),
            std::string::npos)
      << reply.body;
  EXPECT_EQ(reply.body.find("<script"), std::string::npos);
  EXPECT_EQ(LinesWith(path), 1) << "one line for three handshakes and a page";

  // Mended, then broken again: one more line, with the new place.
  Write("settings.json", R"({"password": "x"})");
  Ask(PlainGet("127.0.0.1:7890"));
  Write("settings.json", "{\n  \"password\": tru\n}");
  const Reply again = Ask(PlainGet("127.0.0.1:7890"));
  EXPECT_EQ(LinesWith(path), 2);
  EXPECT_EQ(LinesWith("line 2, column 18"), 1);
  EXPECT_NE(again.body.find("line 2, column 18"), std::string::npos) << again.body;
}

TEST_F(StatusPage, AnOriginsEntryThatCanNeverMatchIsNotedOncePerChange) {
  Write("origins.txt", "# studio\nstudio.lan:8000\ntools.lan\n");
  for (int handshake = 0; handshake < 2; ++handshake) {
    WsTestClient client;
    ASSERT_TRUE(client.Connect());
    // The refusal itself stays the fixed 403.
    EXPECT_EQ(client.Handshake("http://studio.lan:8000"),
              "HTTP/1.1 403 Forbidden\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
  }
  EXPECT_EQ(LinesWith("origins.txt line 2 never matches"), 1);
  EXPECT_EQ(LinesWith("http://studio.lan:8000"), 1);
  const Reply reply = Ask(PlainGet("localhost:7890"));
  EXPECT_NE(reply.body.find("origins.txt line 2 never matches"), std::string::npos) << reply.body;
  EXPECT_EQ(LinesWith("origins.txt line 2"), 1) << "the page does not repeat it";

  Write("origins.txt", "tools.lan\nhttp://studio.lan:8000\nstudio.lan/app\n");
  Ask(PlainGet("localhost:7890"));
  EXPECT_EQ(LinesWith("origins.txt line 3 never matches"), 1);
  EXPECT_EQ(LinesWith("origins.txt line 2"), 1) << "a good entry is not mentioned";
}

// An editor user never sees the debug output: a port held at start shows on the page once
// the engine has the port.
TEST(StatusPageLines, APortHeldAtStartIsShownOnThePage) {
  zyltest::ScopedSettingsFolder settings("status-held-port");
  const platform::Socket holder = platform::OpenLoopbackListener(server::kPort, 1);
  ASSERT_NE(holder, platform::kNoSocket);
  ZYLEngineControlSurface surface(nullptr);
  surface.StartServer();
  EXPECT_FALSE(surface.server.Listening());
  platform::CloseSocket(holder);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!surface.server.Listening() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(Millis(20));
  ASSERT_TRUE(surface.server.Listening());
  const Reply reply = Ask(PlainGet("127.0.0.1:7890"));
  EXPECT_NE(reply.body.find("cannot listen on 127.0.0.1:7890"), std::string::npos) << reply.body;
  surface.StopServer();
}

} // namespace
} // namespace ZYL
