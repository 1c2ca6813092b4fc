// Creating, attaching, detaching and destroying a control surface through the built module:
// which host suites and objects it acquires, in which order, when the server runs, and that
// every failure leaves the host whole.
#include "ModuleHost.h"
#include "hostsdk/StringSuite.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>
#include <system_error>

namespace zyltest {
namespace {

using hostsdk::kBadParameter;
using hostsdk::kSuccess;

const std::string kSurfaceHost = std::string(hostsdk::kSurfaceHostSuiteName) + "@1";
const std::string kTransport = std::string(hostsdk::kHostTransportSuiteName) + "@1";
const std::string kCommand = std::string(hostsdk::kHostCommandSuiteName) + "@1";
const std::string kMixer = std::string(hostsdk::kHostMixerSuiteName) + "@1";
const std::string kColor = std::string(hostsdk::kHostColorSuiteName) + "@1";
const std::string kMarker = std::string(hostsdk::kHostMarkerSuiteName) + "@1";
const std::string kStrings = std::string(hostsdk::kStringSuiteName) + "@1";

// Every host object is offered, so each object request succeeds.
nlohmann::json FullProject() {
  return {{"mixer", {{"tracks", 2}, {"meterSource", 1}, {"peaksDb", {-3.0}}}}};
}

nlohmann::json ProjectWithout(std::vector<std::string> suites) {
  nlohmann::json project = FullProject();
  project["unavailableSuites"] = suites;
  return project;
}

nlohmann::json ProjectWithFailingObjectRequest(int position) {
  nlohmann::json project = FullProject();
  project["failingCalls"] = {
      {{"suite", hostsdk::kSurfaceHostSuiteName}, {"position", position}, {"status", 1}}};
  return project;
}

// Destroys the surface, releases the holder and shuts the plug-in down; returns whether the
// simulator's ledger balances afterwards.
bool EndEverything(ModuleHost& host, hostsdk::InstanceHolder holder) {
  EXPECT_EQ(host.PluginSuite().DestroySurface(holder), kSuccess);
  EXPECT_EQ(host.callbacks().ReleaseInstanceHolder(holder), kSuccess);
  host.Shutdown();
  const bool balanced = host.sim().LedgerBalanced();
  EXPECT_TRUE(balanced) << host.sim().LedgerJson().dump();
  return balanced;
}

TEST(SurfaceLifecycle, AttachAcquiresInOrderStartsTheServerAndDetachReleasesInOrder) {
  ModuleHost host(FullProject());
  ASSERT_EQ(host.Startup(), kSuccess);
  host.ClearSuiteCalls();
  hostsdk::InstanceHolder holder = nullptr;
  hostsdk::ControlSurfaceBase* surface = nullptr;

  ASSERT_EQ(host.CreateSurface(&holder, &surface), kSuccess);
  EXPECT_NE(surface, nullptr);
  EXPECT_EQ(host.suiteCalls(),
            (std::vector<std::string>{"+" + kSurfaceHost, "+" + kTransport, "+" + kCommand,
                                      "+" + kMixer, "+" + kColor, "+" + kMarker, "+" + kStrings}));
  EXPECT_TRUE(ServerPortAccepts());

  host.ClearSuiteCalls();
  EXPECT_EQ(host.PluginSuite().DestroySurface(holder), kSuccess);
  EXPECT_EQ(host.suiteCalls(),
            (std::vector<std::string>{"-" + kStrings, "-" + kSurfaceHost, "-" + kTransport,
                                      "-" + kCommand, "-" + kMixer, "-" + kColor, "-" + kMarker}));
  EXPECT_FALSE(ServerPortAccepts());
  EXPECT_TRUE(EndEverything(host, holder));
}

TEST(SurfaceLifecycle, WithoutTheSurfaceHostSuiteNothingElseIsAcquiredAndNoServerRuns) {
  ModuleHost host(ProjectWithout({hostsdk::kSurfaceHostSuiteName}));
  ASSERT_EQ(host.Startup(), kSuccess);
  host.ClearSuiteCalls();
  hostsdk::InstanceHolder holder = nullptr;
  hostsdk::ControlSurfaceBase* surface = nullptr;

  EXPECT_EQ(host.CreateSurface(&holder, &surface), kSuccess);
  EXPECT_NE(surface, nullptr);
  EXPECT_EQ(host.suiteCalls(), std::vector<std::string>{"!" + kSurfaceHost});
  EXPECT_FALSE(ServerPortAccepts());
  EXPECT_TRUE(EndEverything(host, holder));
}

TEST(SurfaceLifecycle, MixerColorAndMarkerAloneStartNoServer) {
  ModuleHost host(
      ProjectWithout({hostsdk::kHostTransportSuiteName, hostsdk::kHostCommandSuiteName}));
  ASSERT_EQ(host.Startup(), kSuccess);
  host.ClearSuiteCalls();
  hostsdk::InstanceHolder holder = nullptr;
  hostsdk::ControlSurfaceBase* surface = nullptr;

  EXPECT_EQ(host.CreateSurface(&holder, &surface), kSuccess);
  // No String suite either: it is taken only for a server.
  EXPECT_EQ(host.suiteCalls(),
            (std::vector<std::string>{"+" + kSurfaceHost, "!" + kTransport, "!" + kCommand,
                                      "+" + kMixer, "+" + kColor, "+" + kMarker}));
  EXPECT_FALSE(ServerPortAccepts());
  EXPECT_TRUE(EndEverything(host, holder));
}

TEST(SurfaceLifecycle, EachRefusedSuiteIsLeftOutAndTheLedgerBalances) {
  for (const char* refused : {hostsdk::kHostTransportSuiteName, hostsdk::kHostCommandSuiteName,
                              hostsdk::kHostMixerSuiteName, hostsdk::kHostColorSuiteName,
                              hostsdk::kHostMarkerSuiteName, hostsdk::kStringSuiteName}) {
    SCOPED_TRACE(refused);
    // The module's own String suite is taken before the surface exists; refuse only the
    // surface's by refusing after start-up.
    ModuleHost host(FullProject());
    ASSERT_EQ(host.Startup(), kSuccess);
    ASSERT_TRUE(host.sim().Execute("set unavailableSuites [\"" + std::string(refused) + "\"]"));
    host.ClearSuiteCalls();
    hostsdk::InstanceHolder holder = nullptr;
    hostsdk::ControlSurfaceBase* surface = nullptr;

    EXPECT_EQ(host.CreateSurface(&holder, &surface), kSuccess);
    const std::vector<std::string>& calls = host.suiteCalls();
    const std::string refusal = std::string("!").append(refused).append("@1");
    EXPECT_NE(std::find(calls.begin(), calls.end(), refusal), calls.end());
    EXPECT_TRUE(ServerPortAccepts()) << "transport or command is still held";
    EXPECT_TRUE(EndEverything(host, holder));
  }
}

TEST(SurfaceLifecycle, AFailedObjectRequestGivesItsSuiteBackAtOnce) {
  const std::vector<std::pair<int, std::string>> requests = {
      {0, kCommand}, {1, kMarker}, {2, kMixer}, {3, kTransport}, {4, kColor}};
  for (const auto& [position, suite] : requests) {
    SCOPED_TRACE(suite);
    ModuleHost host(ProjectWithFailingObjectRequest(position));
    ASSERT_EQ(host.Startup(), kSuccess);
    host.ClearSuiteCalls();
    hostsdk::InstanceHolder holder = nullptr;
    hostsdk::ControlSurfaceBase* surface = nullptr;

    EXPECT_EQ(host.CreateSurface(&holder, &surface), kSuccess);
    const std::vector<std::string>& calls = host.suiteCalls();
    const auto acquired = std::find(calls.begin(), calls.end(), "+" + suite);
    ASSERT_NE(acquired, calls.end());
    ASSERT_NE(acquired + 1, calls.end());
    EXPECT_EQ(*(acquired + 1), "-" + suite);

    host.ClearSuiteCalls();
    EXPECT_EQ(host.PluginSuite().DestroySurface(holder), kSuccess);
    EXPECT_EQ(std::count(host.suiteCalls().begin(), host.suiteCalls().end(), "-" + suite), 0)
        << "released twice";
    EXPECT_TRUE(EndEverything(host, holder));
  }
}

TEST(SurfaceLifecycle, HolderEdgesLeaveTheHostWhole) {
  ModuleHost host(FullProject());
  ASSERT_EQ(host.Startup(), kSuccess);
  EXPECT_EQ(host.callbacks().ReleaseInstanceHolder(nullptr), kSuccess);
  EXPECT_EQ(host.PluginSuite().DestroySurface(nullptr), kSuccess);

  hostsdk::InstanceHolder holder = nullptr;
  ASSERT_EQ(host.callbacks().AllocateInstanceHolder(&holder), kSuccess);
  ASSERT_NE(holder, nullptr);
  host.ClearSuiteCalls();
  EXPECT_EQ(host.PluginSuite().DestroySurface(holder), kSuccess);
  EXPECT_TRUE(host.suiteCalls().empty()) << "an empty holder has nothing to detach";

  hostsdk::ControlSurfaceBase* surface = nullptr;
  EXPECT_EQ(host.PluginSuite().CreateSurface(holder, ModuleHost::kSurfaceReference, nullptr),
            kBadParameter);
  EXPECT_EQ(host.PluginSuite().CreateSurface(nullptr, ModuleHost::kSurfaceReference, &surface),
            kBadParameter);
  ASSERT_EQ(host.PluginSuite().CreateSurface(holder, ModuleHost::kSurfaceReference, &surface),
            kSuccess);

  // A second surface in the same holder would orphan the first one with its server.
  host.ClearSuiteCalls();
  hostsdk::ControlSurfaceBase* second = nullptr;
  EXPECT_EQ(host.PluginSuite().CreateSurface(holder, ModuleHost::kSurfaceReference, &second),
            kBadParameter);
  EXPECT_TRUE(host.suiteCalls().empty());
  EXPECT_TRUE(ServerPortAccepts()) << "the first surface still runs";

  // Releasing a holder that still holds its surface detaches and deletes it.
  host.ClearSuiteCalls();
  EXPECT_EQ(host.callbacks().ReleaseInstanceHolder(holder), kSuccess);
  EXPECT_EQ(host.suiteCalls().size(), 7u);
  EXPECT_FALSE(ServerPortAccepts());
  host.Shutdown();
  EXPECT_TRUE(host.sim().LedgerBalanced()) << host.sim().LedgerJson().dump();
}

TEST(SurfaceLifecycle, AnAttachThatThrowsIsReportedAndUndone) {
  int requests = 0;
  HostFaults faults;
  faults.markerObject = [&requests](hostsdk::HostReference, hostsdk::HostObject* out) {
    if (++requests == 1)
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    *out = &requests;
    return kSuccess;
  };
  ModuleHost host(FullProject(), faults);
  ASSERT_EQ(host.Startup(), kSuccess);
  host.ClearSuiteCalls();
  hostsdk::InstanceHolder holder = nullptr;
  hostsdk::ControlSurfaceBase* surface = reinterpret_cast<hostsdk::ControlSurfaceBase*>(&host);

  EXPECT_EQ(host.CreateSurface(&holder, &surface), hostsdk::kNotImplemented);
  EXPECT_EQ(surface, nullptr);
  const std::vector<std::string>& calls = host.suiteCalls();
  EXPECT_EQ(
      std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c[0] == '+'; }),
      std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c[0] == '-'; }));
  EXPECT_FALSE(ServerPortAccepts());

  // The holder stayed empty, so the host may try again.
  host.ClearSuiteCalls();
  EXPECT_EQ(host.PluginSuite().DestroySurface(holder), kSuccess);
  EXPECT_TRUE(host.suiteCalls().empty());
  EXPECT_EQ(host.PluginSuite().CreateSurface(holder, ModuleHost::kSurfaceReference, &surface),
            kSuccess);
  EXPECT_NE(surface, nullptr);
  EXPECT_TRUE(ServerPortAccepts());
  EXPECT_TRUE(EndEverything(host, holder));
}

TEST(SurfaceLifecycle, TheSimulatorsOwnLifeCycleBalancesItsLedger) {
  std::vector<std::string> output;
  zylsim::Simulator sim(FullProject(),
                        [&output](const std::string& line) { output.push_back(line); });
  std::string error;
  ASSERT_TRUE(sim.LoadModule(ZYL_TEST_MODULE_PATH, &error)) << error;
  ASSERT_TRUE(sim.Start());
  EXPECT_TRUE(ServerPortAccepts());
  EXPECT_TRUE(sim.Execute("detach"));
  EXPECT_FALSE(ServerPortAccepts());
  EXPECT_TRUE(sim.Execute("attach"));
  EXPECT_TRUE(ServerPortAccepts());
  EXPECT_TRUE(sim.Shutdown()) << sim.LedgerJson().dump();
}

} // namespace
} // namespace zyltest
