// vitals.subscribe: one registry entry per connection, no reply.
#include "ProtocolTestSupport.h"
#include "support/WsTestClient.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using zyltest::InProcessEngine;

TEST(VitalsSubscribeTest, SubscribingTwiceCountsOnceAndIsNotAnswered) {
  InProcessEngine engine(nlohmann::json::object());
  zyltest::WsTestClient client;
  ASSERT_TRUE(client.Open());
  ASSERT_TRUE(client.SendText("vitals.subscribe"));
  ASSERT_TRUE(client.SendText("vitals.subscribe"));
  ASSERT_TRUE(client.SendText("get.version"));
  // Messages are handled in order, so both subscriptions are done once this arrives.
  EXPECT_EQ(client.ReceiveText(), "version:1.2.4");

  ZYL::ZYLEngineControlSurface& surface = engine.surface();
  EXPECT_EQ(surface.server.SubscriberCount(), 1);
  EXPECT_EQ(surface.server.Subscribers().size(), 1u);
  client.Close();
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

// Regression: a socket that is no registered connection would never be removed again, so
// it stayed counted and would receive pushes once its number was reused.
TEST(VitalsSubscribeTest, ASinkThatIsNoConnectionSubscribesNothing) {
  InProcessEngine engine(nlohmann::json::object());
  for (const int socket : {-1, 4242}) {
    zyltest::CaptureSink sink(socket);
    ZYL::EngineParts parts = engine.surface().Parts();
    ZYL::DispatchCommand(parts, sink, "vitals.subscribe");
    EXPECT_TRUE(sink.Replies().empty());
  }
  ZYL::ZYLEngineControlSurface& surface = engine.surface();
  EXPECT_EQ(surface.server.SubscriberCount(), 0);
  EXPECT_TRUE(surface.server.Subscribers().empty());
}

} // namespace
