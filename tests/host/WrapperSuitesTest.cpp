// The wrapper suites as the module registers them: what each entry answers on the surface
// that CreateSurface handed out.
#include "ModuleHost.h"
#include "plugin/ZYLEngineControlSurface.h"
#include "hostsdk/ControlSurfaceWrappers.h"

#include <gtest/gtest.h>

namespace zyltest {
namespace {

using hostsdk::kBadParameter;
using hostsdk::kNotImplemented;
using hostsdk::kSuccess;

class WrapperSuites : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(host.Startup(), kSuccess);
    ASSERT_EQ(host.CreateSurface(&holder, &surface), kSuccess);
    ASSERT_NE(surface, nullptr);
    controlSurface = host.Find<hostsdk::ControlSurfaceSuite>(hostsdk::kControlSurfaceSuiteName, 1);
    ASSERT_NE(controlSurface, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(host.PluginSuite().DestroySurface(holder), kSuccess);
    EXPECT_EQ(host.callbacks().ReleaseInstanceHolder(holder), kSuccess);
    host.Shutdown();
    EXPECT_TRUE(host.sim().LedgerBalanced()) << host.sim().LedgerJson().dump();
  }

  template <typename Part, typename Getter> Part* PartOf(Getter getter) {
    Part* part = nullptr;
    EXPECT_EQ(getter(surface, &part), kSuccess);
    EXPECT_NE(part, nullptr);
    return part;
  }

  ModuleHost host;
  hostsdk::InstanceHolder holder = nullptr;
  hostsdk::ControlSurfaceBase* surface = nullptr;
  const hostsdk::ControlSurfaceSuite* controlSurface = nullptr;
};

TEST_F(WrapperSuites, ControlSurfaceSuiteAnswersAlikeUnderBothVersions) {
  for (const std::int32_t version : {1, 2}) {
    SCOPED_TRACE(version);
    const auto* suite =
        host.Find<hostsdk::ControlSurfaceSuite>(hostsdk::kControlSurfaceSuiteName, version);
    ASSERT_NE(suite, nullptr);
    EXPECT_EQ(suite->Request(surface, 1), kNotImplemented);
    std::int32_t integer = 7;
    EXPECT_EQ(suite->QueryInteger(surface, &integer), kSuccess);
    EXPECT_EQ(integer, 0);
    EXPECT_EQ(suite->RequestWithoutArgument(surface), kSuccess);
    auto* color = reinterpret_cast<hostsdk::ControlSurfaceColorBase*>(surface);
    EXPECT_EQ(suite->GetColor(surface, &color), kSuccess);
    EXPECT_EQ(color, nullptr);

    // The getters hand out parts of the one surface, each distinct from the others.
    const void* parts[] = {PartOf<hostsdk::ControlSurfaceTransportBase>(suite->GetTransport),
                           PartOf<hostsdk::ControlSurfaceMixerBase>(suite->GetMixer),
                           PartOf<hostsdk::ControlSurfaceMarkerBase>(suite->GetMarker),
                           PartOf<hostsdk::ControlSurfaceCommandBase>(suite->GetCommand)};
    const auto* first = reinterpret_cast<const char*>(surface);
    for (std::size_t i = 0; i < std::size(parts); ++i) {
      const auto* part = static_cast<const char*>(parts[i]);
      EXPECT_GT(part, first);
      EXPECT_LT(part, first + sizeof(ZYL::ZYLEngineControlSurface));
      for (std::size_t j = 0; j < i; ++j)
        EXPECT_NE(parts[i], parts[j]);
    }
  }
}

TEST_F(WrapperSuites, CommandSuiteChecksOnlyItsFirstEntry) {
  const auto* suite = host.Find<hostsdk::CommandSuite>(hostsdk::kCommandSuiteName, 1);
  ASSERT_NE(suite, nullptr);
  auto* command = PartOf<hostsdk::ControlSurfaceCommandBase>(controlSurface->GetCommand);
  EXPECT_EQ(suite->Request1(command, 0), kBadParameter);
  EXPECT_EQ(suite->Request1(command, 42), kSuccess);
  EXPECT_EQ(suite->Request2(command, 1, 2), kNotImplemented);
  EXPECT_EQ(suite->Request3(command, 1, 2), kNotImplemented);
  EXPECT_EQ(suite->Request4(command, 1, 2, 3), kNotImplemented);
  EXPECT_EQ(suite->Request5(command, 1, 2, 3), kNotImplemented);
}

// Regression: the command override of operation 1 also replaced the Mixer's operation of the
// same name and signature, so Mixer entry 0 answered like Command entry 0.
TEST_F(WrapperSuites, MixerSuiteKeepsEveryDefault) {
  const auto* suite =
      host.Find<hostsdk::MixerSuite>(hostsdk::kMixerSuiteName, hostsdk::kMixerSuiteVersion);
  ASSERT_NE(suite, nullptr);
  auto* mixer = PartOf<hostsdk::ControlSurfaceMixerBase>(controlSurface->GetMixer);
  EXPECT_EQ(suite->Request1(mixer, 0), kNotImplemented);
  EXPECT_EQ(suite->Request1(mixer, 1), kNotImplemented);
  EXPECT_EQ(suite->Request2(mixer, 1, 2), kNotImplemented);
  EXPECT_EQ(suite->Request3(mixer, 1), kNotImplemented);
  EXPECT_EQ(suite->Request4(mixer, 1, 2, 1), kNotImplemented);
  EXPECT_EQ(suite->Request5(mixer, 1, 2), kNotImplemented);
  EXPECT_EQ(suite->Request6(mixer, 1), kNotImplemented);
  EXPECT_EQ(suite->Request7(mixer, 1), kNotImplemented);
  EXPECT_EQ(suite->Request8(mixer, 1), kNotImplemented);
  EXPECT_EQ(suite->Notify9(mixer, 1, 2, 1), kSuccess);
  EXPECT_EQ(suite->Notify10(mixer, 1, 2, 3, 0.5f), kSuccess);
  EXPECT_EQ(suite->Query11(mixer, nullptr), kBadParameter);
  std::uint8_t byte = 0x5A;
  EXPECT_EQ(suite->Query11(mixer, &byte), kNotImplemented);
  EXPECT_EQ(byte, 0x5A);
}

TEST_F(WrapperSuites, MarkerAndTransportEntriesAnswerSuccess) {
  const auto* markers = host.Find<hostsdk::MarkerSuite1>(hostsdk::kMarkerSuiteName, 1);
  ASSERT_NE(markers, nullptr);
  auto* marker = PartOf<hostsdk::ControlSurfaceMarkerBase>(controlSurface->GetMarker);
  EXPECT_EQ(markers->OnMarkerChanged(marker, 3), kSuccess);
  EXPECT_EQ(markers->OnMarkersRebuilt(marker), kSuccess);

  const auto* transport = host.Find<hostsdk::TransportSuite>(hostsdk::kTransportSuiteName, 1);
  ASSERT_NE(transport, nullptr);
  auto* part = PartOf<hostsdk::ControlSurfaceTransportBase>(controlSurface->GetTransport);
  for (auto entry : {transport->OnStop, transport->OnPlay, transport->OnRecord, transport->OnRewind,
                     transport->OnFastForward, transport->OnAuxiliaryToggle, transport->OnPause}) {
    EXPECT_EQ(entry(part, 1), kSuccess);
    EXPECT_EQ(entry(part, 0), kSuccess);
  }
  EXPECT_EQ(transport->OnTimecode(part, 0, nullptr), kSuccess);
}

TEST_F(WrapperSuites, TransportBooleanIsItsLowByte) {
  const auto* transport = host.Find<hostsdk::TransportSuite>(hostsdk::kTransportSuiteName, 1);
  ASSERT_NE(transport, nullptr);
  auto* part = PartOf<hostsdk::ControlSurfaceTransportBase>(controlSurface->GetTransport);
  // The test is built from the same class, so it can read the module's live state.
  const auto& engine = *static_cast<ZYL::ZYLEngineControlSurface*>(surface);

  EXPECT_EQ(transport->OnPlay(part, 0x101), kSuccess);
  EXPECT_TRUE(engine.transport.playing.load());
  EXPECT_EQ(transport->OnPlay(part, 256), kSuccess);
  EXPECT_FALSE(engine.transport.playing.load());
  EXPECT_EQ(transport->OnRecord(part, 2), kSuccess);
  EXPECT_TRUE(engine.transport.recording.load());
}

} // namespace
} // namespace zyltest
