// Reach from other machines, without a network: the settings' listen and port, where the
// server then listens, the handshake's rule for a peer on another machine, the places such
// peers hold and the counting of their failed authentications.
#include "plugin/ZYLEngineControlSurface.h"
#include "server/FailedAuthentications.h"
#include "server/Handshake.h"
#include "server/Ipv4Text.h"
#include "server/ListenPlan.h"
#include "server/PeerPlaces.h"
#include "server/Settings.h"
#include "support/TestEnvironment.h"
#include "support/WsTestClient.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <variant>

namespace ZYL {
namespace {

using Clock = FailedAuthentications::Clock;
using std::chrono::seconds;

constexpr platform::Ipv4Address kStudioPanel = 0xC0A80114; // 192.168.1.20
constexpr platform::Ipv4Address kTablet = 0xC0A80115;      // 192.168.1.21

std::string ListenProblem(std::string_view text) {
  const SettingsResult result = ParseSettings(text);
  if (const auto* error = std::get_if<SettingsError>(&result)) return error->problem;
  return "accepted";
}

TEST(ListenSettings, AnAddressInDottedFormAndAPortInRangeAreRead) {
  const SettingsResult result =
      ParseSettings(R"({"password": "p", "listen": "192.168.1.20", "port": 1024})");
  ASSERT_TRUE(std::holds_alternative<Settings>(result));
  EXPECT_EQ(std::get<Settings>(result).listen, kStudioPanel);
  EXPECT_EQ(std::get<Settings>(result).port, 1024);
  const SettingsResult all = ParseSettings(R"({"listen": "0.0.0.0", "port": 65535})");
  ASSERT_TRUE(std::holds_alternative<Settings>(all));
  EXPECT_EQ(std::get<Settings>(all).listen, platform::kAnyAddress);
  EXPECT_EQ(std::get<Settings>(all).port, 65535);
  const SettingsResult none = ParseSettings("{}");
  EXPECT_FALSE(std::get<Settings>(none).listen);
  EXPECT_FALSE(std::get<Settings>(none).port);
}

TEST(ListenSettings, AnythingButADottedAddressOrAWholePortInRangeBreaksTheFile) {
  for (const char* listen :
       {R"("")", R"("localhost")", R"("127.1")", R"("256.0.0.1")", R"("1.2.3.4.5")",
        R"("01.2.3.4")", R"(" 1.2.3.4")", R"("1.2.3.4 ")", R"("1.2.3.")", R"("1..3.4")",
        R"("1.2.3.1000")", R"("::1")", "2130706433", "null", "true"})
    EXPECT_EQ(ListenProblem(std::string(R"({"listen": )") + listen + "}"),
              R"("listen" must be an IPv4 address such as "0.0.0.0" or "192.168.1.20")")
        << listen;
  for (const char* port : {"1023", "0", "-7890", "65536", "7890.0", "7.89e3", R"("7890")", "null",
                           "18446744073709551615", "99999999999999999999"})
    EXPECT_EQ(ListenProblem(std::string(R"({"port": )") + port + "}"),
              R"("port" must be a whole number from 1024 to 65535)")
        << port;
}

TEST(ListenSettings, AddressesReadBackAsWritten) {
  for (const char* text : {"0.0.0.0", "127.0.0.1", "10.0.0.255", "255.255.255.255"}) {
    const auto address = ParseIpv4(text);
    ASSERT_TRUE(address) << text;
    EXPECT_EQ(Ipv4Text(*address), text);
  }
  EXPECT_TRUE(IsLoopback(*ParseIpv4("127.255.0.9")));
  EXPECT_FALSE(IsLoopback(*ParseIpv4("128.0.0.1")));
  EXPECT_FALSE(IsLoopback(platform::kAnyAddress));
}

std::vector<std::string> PlannedEndpoints(const ListenPlan& plan) {
  std::vector<std::string> texts;
  for (const ListenEndpoint& endpoint : plan.endpoints)
    texts.push_back(EndpointText(endpoint));
  return texts;
}

ListenPlan PlanFor(std::string_view text) { return PlanListeners(ParseSettings(text), 7890); }

TEST(ListenPlanning, NoListenIsLoopbackAloneOnTheDefaultOrTheNamedPort) {
  using Texts = std::vector<std::string>;
  EXPECT_EQ(PlannedEndpoints(PlanFor("{}")), Texts{"127.0.0.1:7890"});
  EXPECT_EQ(PlannedEndpoints(PlanFor(R"({"port": 8100})")), Texts{"127.0.0.1:8100"});
  EXPECT_EQ(PlannedEndpoints(PlanFor(R"({"listen": "127.0.0.1"})")), Texts{"127.0.0.1:7890"});
  EXPECT_EQ(PlanFor("{}").diagnostic, "");
}

TEST(ListenPlanning, AnAddressIsBoundBesideLoopbackAndEveryInterfaceAlone) {
  using Texts = std::vector<std::string>;
  EXPECT_EQ(
      PlannedEndpoints(PlanFor(R"({"password": "p", "listen": "192.168.1.20", "port": 8100})")),
      (Texts{"127.0.0.1:8100", "192.168.1.20:8100"}));
  EXPECT_EQ(PlannedEndpoints(PlanFor(R"({"password": "p", "listen": "0.0.0.0"})")),
            Texts{"0.0.0.0:7890"});
  // Another loopback address lets in nobody from outside: no password needed.
  EXPECT_EQ(PlannedEndpoints(PlanFor(R"({"listen": "127.0.0.2"})")),
            (Texts{"127.0.0.1:7890", "127.0.0.2:7890"}));
}

TEST(ListenPlanning, WithoutAPasswordOnlyLoopbackIsBoundAndALineSaysWhy) {
  using Texts = std::vector<std::string>;
  for (const char* text : {R"({"listen": "0.0.0.0", "port": 8100})",
                           R"({"listen": "0.0.0.0", "port": 8100, "password": ""})"}) {
    const ListenPlan plan = PlanFor(text);
    EXPECT_EQ(PlannedEndpoints(plan), Texts{"127.0.0.1:8100"}) << text;
    EXPECT_EQ(plan.diagnostic, "ZYL Engine: settings.json sets \"listen\": \"0.0.0.0\" without a "
                               "password; listening on 127.0.0.1 only");
  }
}

TEST(ListenPlanning, ABrokenFileIsServedOnLoopbackAtTheDefaultPortSoThatItsErrorIsSeen) {
  using Texts = std::vector<std::string>;
  for (const char* text : {R"({"password": "p", "listen": "192.168.1", "port": 8100})",
                           R"({"password": "p", "listen": "192.168.1.20", "port": 80})"})
    EXPECT_EQ(PlannedEndpoints(PlanFor(text)), Texts{"127.0.0.1:7890"}) << text;
}

// The port the file names is the one listened on, and the one info reports.
TEST(ListenPlanning, TheServerListensOnThePortTheFileNames) {
  const zyltest::ScopedSettingsFolder folder("listen-port");
  std::ofstream(folder.EngineFolder() / "settings.json", std::ios::binary) << R"({"port": 8100})";
  ZYLEngineControlSurface surface(nullptr);
  surface.StartServer();
  zyltest::WsTestClient client;
  ASSERT_TRUE(client.Connect(zyltest::Millis(5000), 8100));
  EXPECT_TRUE(client.Handshake().starts_with("HTTP/1.1 101 "));
  const std::optional<ListenEndpoint> listening = surface.server.ListeningOn();
  ASSERT_TRUE(listening);
  EXPECT_EQ(EndpointText(*listening), "127.0.0.1:8100");
  EXPECT_FALSE(zyltest::WsTestClient().Connect(zyltest::Millis(100), 7890));
  surface.StopServer();
  EXPECT_FALSE(surface.server.ListeningOn());
}

// The rule for peers on other machines, in the folder of the test's own.
class NetworkPeerAnswer : public ::testing::Test {
protected:
  void SetUp() override { std::filesystem::create_directories(folder_); }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  void WriteSettings(const std::string& text) {
    std::ofstream(folder_ / "settings.json", std::ios::binary) << text;
  }
  HandshakeAnswer Answer(const std::string& protocols,
                         std::optional<platform::Ipv4Address> peer = kStudioPanel) {
    // A sound upgrade in every other respect.
    HandshakeRequest request{std::string(zyltest::kSampleKey), "http://localhost", protocols};
    request.requestLine = "GET / HTTP/1.1";
    request.upgrade = "websocket";
    request.connection = "Upgrade";
    request.version = "13";
    return AnswerRequest(request, (folder_ / "origins.txt").string(),
                         (folder_ / "settings.json").string(), peer);
  }
  const std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() /
      ("zyl-network-peer-" + std::to_string(zyltest::ProcessId()));
};

TEST_F(NetworkPeerAnswer, TheTextProtocolIsRefusedWhateverTheSettingsSay) {
  for (const char* settings : {"{}", R"({"password": "p", "textProtocol": true})"}) {
    WriteSettings(settings);
    EXPECT_EQ(Answer("chat").reply, kRefusalReply) << settings;
    EXPECT_EQ(Answer("chat", std::nullopt).admission->protocol, WireProtocol::Text) << settings;
  }
}

TEST_F(NetworkPeerAnswer, TheJsonProtocolNeedsAPassword) {
  WriteSettings(R"({"listen": "0.0.0.0"})");
  EXPECT_EQ(Answer("zyl.v2").reply, kRefusalReply);
  WriteSettings(R"({"listen": "0.0.0.0", "password": ""})");
  EXPECT_EQ(Answer("zyl.v2").reply, kRefusalReply);
  WriteSettings(R"({"password": "p"})");
  const HandshakeAnswer admitted = Answer("zyl.v2");
  ASSERT_TRUE(admitted.admission);
  EXPECT_EQ(admitted.admission->networkPeer, kStudioPanel);
  EXPECT_FALSE(Answer("zyl.v2", std::nullopt).admission->networkPeer);
}

TEST_F(NetworkPeerAnswer, TheOriginAndABrokenFileAreJudgedFirst) {
  WriteSettings(R"({"port": 1})");
  EXPECT_TRUE(Answer("zyl.v2").reply.starts_with("HTTP/1.1 500 ")) << Answer("zyl.v2").reply;
}

TEST(PeerPlaces, NetworkPeersHoldEightPlacesAtMostAndTwoPerAddress) {
  PeerPlaces places;
  EXPECT_TRUE(places.Take(10, kStudioPanel));
  EXPECT_TRUE(places.Take(11, kStudioPanel));
  EXPECT_FALSE(places.Take(12, kStudioPanel));
  places.GiveBack(10);
  EXPECT_TRUE(places.Take(12, kStudioPanel));
  for (platform::Socket socket = 20; socket < 26; ++socket)
    EXPECT_TRUE(places.Take(socket, kTablet + static_cast<platform::Ipv4Address>(socket)));
  EXPECT_EQ(places.Held(), 8u);
  EXPECT_FALSE(places.Take(30, kTablet));
  // A socket without a place gives nothing back.
  places.GiveBack(99);
  EXPECT_FALSE(places.Take(30, kTablet));
  places.GiveBack(20);
  EXPECT_TRUE(places.Take(30, kTablet));
}

// `count` failures of `peer`, one second apart from `start`, each after its wait.
Clock::time_point FailRepeatedly(FailedAuthentications& failures, platform::Ipv4Address peer,
                                 int count, Clock::time_point start) {
  Clock::time_point now = start;
  for (int n = 0; n < count; ++n) {
    now += failures.BeginJudging(peer, now) + seconds(1);
    failures.Failed(peer, now);
  }
  return now;
}

TEST(FailedAuthentications, FromTheFifthFailureTheWaitDoublesUpTo60Seconds) {
  FailedAuthentications failures;
  const Clock::time_point start{};
  Clock::time_point now = start;
  std::vector<long long> waits;
  for (int n = 0; n < 12; ++n) {
    const auto wait = failures.BeginJudging(kStudioPanel, now);
    waits.push_back(std::chrono::duration_cast<seconds>(wait).count());
    now += wait;
    failures.Failed(kStudioPanel, now);
    now += seconds(1);
  }
  EXPECT_EQ(waits, (std::vector<long long>{0, 0, 0, 0, 0, 2, 4, 8, 16, 32, 60, 60}));
  // Another address is not slowed.
  EXPECT_EQ(failures.BeginJudging(kTablet, now), Clock::duration::zero());
}

TEST(FailedAuthentications, WhileAnIdentifyWaitsTheAddressMustWait) {
  FailedAuthentications failures;
  const Clock::time_point now = FailRepeatedly(failures, kStudioPanel, 5, Clock::time_point{});
  EXPECT_FALSE(failures.MustWait(kStudioPanel, now));
  EXPECT_EQ(failures.BeginJudging(kStudioPanel, now), seconds(2));
  EXPECT_TRUE(failures.MustWait(kStudioPanel, now + seconds(1)));
  EXPECT_FALSE(failures.MustWait(kTablet, now + seconds(1)));
  EXPECT_FALSE(failures.MustWait(kStudioPanel, now + seconds(2)));
}

TEST(FailedAuthentications, ASuccessOrTenMinutesForgetTheFailures) {
  FailedAuthentications failures;
  Clock::time_point now = FailRepeatedly(failures, kStudioPanel, 6, Clock::time_point{});
  EXPECT_EQ(failures.BeginJudging(kStudioPanel, now), seconds(4));
  failures.Succeeded(kStudioPanel);
  EXPECT_EQ(failures.BeginJudging(kStudioPanel, now), Clock::duration::zero());
  EXPECT_FALSE(failures.MustWait(kStudioPanel, now));

  now = FailRepeatedly(failures, kTablet, 5, now);
  EXPECT_EQ(failures.BeginJudging(kTablet, now + std::chrono::minutes(9)), seconds(2));
  // The first failure leaves the window: four remain.
  EXPECT_EQ(failures.BeginJudging(kTablet, now + std::chrono::minutes(10)),
            Clock::duration::zero());
}

TEST(FailedAuthentications, TheTableIsBoundedAndForgetsTheAddressHeardFromLongestAgo) {
  FailedAuthentications failures(3);
  Clock::time_point now = FailRepeatedly(failures, kStudioPanel, 5, Clock::time_point{});
  now = FailRepeatedly(failures, kTablet, 5, now);
  now = FailRepeatedly(failures, kTablet + 1, 1, now);
  // The panel is heard from again, so the tablet is now the oldest.
  EXPECT_EQ(failures.BeginJudging(kStudioPanel, now), seconds(2));
  now = FailRepeatedly(failures, kTablet + 2, 1, now + seconds(2));
  EXPECT_EQ(failures.Remembered(), 3u);
  EXPECT_EQ(failures.BeginJudging(kTablet, now), Clock::duration::zero());
  EXPECT_EQ(failures.BeginJudging(kStudioPanel, now), seconds(2));
  for (platform::Ipv4Address peer = 1; peer < 1000; ++peer)
    failures.Failed(peer, now);
  EXPECT_EQ(failures.Remembered(), 3u);
}

} // namespace
} // namespace ZYL
