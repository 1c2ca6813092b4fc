// The entry protocol through the built module: EntryPoint, the module callbacks, the suite
// list and the plug-in suite's entries other than surface creation.
#include "ModuleHost.h"
#include "hostsdk/ControlSurfaceWrappers.h"
#include "hostsdk/StringSuite.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>

namespace zyltest {
namespace {

using hostsdk::kBadParameter;
using hostsdk::kNotImplemented;
using hostsdk::kSuccess;

const std::string kPluginSuites = "Plugin Suites Suite@2";
const std::string kStringSuiteKey = "HOSTSDK StringSuite@1";

TEST(PluginEntry, NullBasicSuiteIsRefusedAndTheTableIsLeftAlone) {
  ModuleHost host;
  ASSERT_NE(host.entryPoint(), nullptr);
  std::array<unsigned char, sizeof(hostsdk::PluginEntryTable)> bytes;
  bytes.fill(0xA5);
  hostsdk::PluginEntryTable table;
  std::memcpy(&table, bytes.data(), bytes.size());

  EXPECT_EQ(host.entryPoint()(nullptr, nullptr, nullptr, 0, &table), kBadParameter);
  EXPECT_EQ(std::memcmp(&table, bytes.data(), bytes.size()), 0);
}

TEST(PluginEntry, StartupRegistersThePluginSuiteThenTheWrapperSuitesInOrder) {
  ModuleHost host;
  ASSERT_EQ(host.Startup(), kSuccess);

  const std::vector<std::pair<std::string, std::int32_t>> expected = {
      {hostsdk::kControlSurfacePluginSuiteName, 1},
      {hostsdk::kControlSurfaceSuiteName, 1},
      {hostsdk::kControlSurfaceSuiteName, 2},
      {hostsdk::kCommandSuiteName, 1},
      {hostsdk::kTransportSuiteName, 1},
      {hostsdk::kMixerSuiteName, 2},
      {hostsdk::kColorSuiteName, 1},
      {hostsdk::kMarkerSuiteName, 1},
  };
  const std::vector<RegisteredSuite>& registered = host.registered();
  ASSERT_EQ(registered.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(registered[i].name);
    EXPECT_EQ(registered[i].name, expected[i].first);
    EXPECT_EQ(registered[i].apiVersion, expected[i].second);
    EXPECT_EQ(registered[i].internalVersion, expected[i].second);
    EXPECT_NE(registered[i].table, nullptr);
    EXPECT_EQ(registered[i].hostPluginReference, nullptr);
  }
  EXPECT_EQ(registered[1].table, registered[2].table) << "both versions share one table";

  hostsdk::SuiteList list = nullptr;
  EXPECT_EQ(host.callbacks().GetSuiteList(&list), kSuccess);
  EXPECT_NE(list, nullptr);
  EXPECT_EQ(host.suiteCalls(),
            (std::vector<std::string>{"+" + kStringSuiteKey, "+" + kPluginSuites}));

  host.Shutdown();
  EXPECT_TRUE(host.suiteListFreed());
  EXPECT_EQ(host.suiteCalls().back(), "-" + kStringSuiteKey);
  EXPECT_TRUE(host.sim().LedgerBalanced()) << host.sim().LedgerJson().dump();
}

TEST(PluginEntry, StartupFailuresReturnTheHostsCodeAndHoldNothing) {
  {
    SCOPED_TRACE("no String suite");
    ModuleHost host(nlohmann::json{{"unavailableSuites", {hostsdk::kStringSuiteName}}});
    EXPECT_NE(host.Startup(), kSuccess);
    EXPECT_TRUE(host.registered().empty());
    EXPECT_TRUE(host.sim().LedgerBalanced()) << host.sim().LedgerJson().dump();
  }
  {
    // Regression: the String suite acquired first stayed held when the Plugin Suites Suite
    // was refused, and a host that skips PluginShutdown after a failed start-up leaked it.
    SCOPED_TRACE("no Plugin Suites Suite");
    HostFaults faults;
    faults.refusePluginSuites = true;
    ModuleHost host(nlohmann::json::object(), faults);
    EXPECT_EQ(host.Startup(), ModuleHost::kRefused);
    EXPECT_EQ(host.suiteCalls(),
              (std::vector<std::string>{"+" + kStringSuiteKey, "!" + kPluginSuites,
                                        "-" + kStringSuiteKey}));
    EXPECT_TRUE(host.sim().LedgerBalanced()) << host.sim().LedgerJson().dump();
    host.Shutdown(); // a host that does call it gets no second release
    EXPECT_EQ(host.suiteCalls().size(), 3u);
  }
  {
    SCOPED_TRACE("no suite list");
    HostFaults faults;
    faults.refuseSuiteList = true;
    ModuleHost host(nlohmann::json::object(), faults);
    EXPECT_EQ(host.Startup(), kSuccess);
    EXPECT_TRUE(host.registered().empty());
    hostsdk::SuiteList list = reinterpret_cast<hostsdk::SuiteList>(&host);
    EXPECT_EQ(host.callbacks().GetSuiteList(&list), kSuccess);
    EXPECT_EQ(list, nullptr);
    host.Shutdown();
    EXPECT_FALSE(host.suiteListFreed());
    EXPECT_TRUE(host.sim().LedgerBalanced()) << host.sim().LedgerJson().dump();
  }
}

std::string HostStringText(const hostsdk::StringSuite1& strings, const hostsdk::HostString& text) {
  char buffer[64] = {};
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(strings.CopyToUtf8(&text, buffer, &size), kSuccess);
  return buffer;
}

TEST(PluginEntry, IdentityTextsAreHostStringsTheHostOwns) {
  ModuleHost host;
  ASSERT_EQ(host.Startup(), kSuccess);
  const hostsdk::BasicSuite* basic = host.sim().BasicSuite();
  const void* table = nullptr;
  ASSERT_EQ(basic->AcquireSuite(hostsdk::kStringSuiteName, 1, &table), kSuccess);
  const auto& strings = *static_cast<const hostsdk::StringSuite1*>(table);

  hostsdk::HostString identifier{};
  hostsdk::HostString displayName{};
  ASSERT_EQ(host.PluginSuite().GetIdentifier(nullptr, &identifier), kSuccess);
  ASSERT_EQ(host.PluginSuite().GetDisplayName(nullptr, &displayName), kSuccess);
  EXPECT_EQ(HostStringText(strings, identifier), "ZYL.Engine");
  EXPECT_EQ(HostStringText(strings, displayName), "ZYL Engine");

  strings.DisposeString(&identifier);
  strings.DisposeString(&displayName);
  basic->ReleaseSuite(hostsdk::kStringSuiteName, 1);
  host.Shutdown();
  EXPECT_TRUE(host.sim().LedgerBalanced()) << host.sim().LedgerJson().dump();
}

TEST(PluginEntry, ReservedEntriesAnswerNotImplemented) {
  ModuleHost host;
  ASSERT_EQ(host.Startup(), kSuccess);
  const hostsdk::ControlSurfacePluginSuite1& suite = host.PluginSuite();
  for (auto entry :
       {suite.Reserved4, suite.Reserved5, suite.Reserved7, suite.Reserved8, suite.Reserved9}) {
    EXPECT_EQ(entry(nullptr), kNotImplemented);
  }
  std::uint8_t byte = 0xAB;
  EXPECT_EQ(suite.Reserved6(nullptr, &byte), kNotImplemented);
  EXPECT_EQ(byte, 0);
  EXPECT_EQ(suite.Reserved6(nullptr, nullptr), kNotImplemented);
}

TEST(PluginEntry, CallbacksRejectNullOutPointers) {
  ModuleHost host;
  ASSERT_EQ(host.Startup(), kSuccess);
  EXPECT_EQ(host.callbacks().AllocateInstanceHolder(nullptr), kBadParameter);
  EXPECT_EQ(host.callbacks().GetSuiteList(nullptr), kBadParameter);
  EXPECT_EQ(host.PluginSuite().GetIdentifier(nullptr, nullptr), kBadParameter);
}

} // namespace
} // namespace zyltest
