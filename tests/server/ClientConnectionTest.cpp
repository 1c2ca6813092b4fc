// A connection shared by its own thread and the pushing thread, over a loopback pair: frames
// stay whole and unmixed, a stalled peer is cut off, and the socket outlives every holder.
#include "server/ClientConnection.h"

#include "platform/Platform.h"
#include "server/ClosePayload.h"
#include "server/FrameReader.h"
#include "server/FrameWriter.h"
#include "server/Handshake.h"
#include "server/ServerLimits.h"
#include "support/WsTestClient.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ZYL {
namespace {

// Engine end and peer end of a connection over 127.0.0.1:7890 (the tests hold the port's
// lock), made the way the server and a client make theirs on every operating system.
struct SocketPair {
  SocketPair() {
    EXPECT_TRUE(platform::StartNetworking());
    const platform::Socket listener = platform::OpenLoopbackListener(zyltest::kServerPort, 1);
    EXPECT_NE(listener, platform::kNoSocket);
    if (listener == platform::kNoSocket) return;
    peer = platform::ConnectLoopback(zyltest::kServerPort);
    EXPECT_NE(peer, platform::kNoSocket);
    if (peer != platform::kNoSocket &&
        platform::WaitReadable(listener, 10000) == platform::WaitResult::Ready)
      engine = platform::Accept(listener);
    EXPECT_NE(engine, platform::kNoSocket);
    platform::CloseSocket(listener);
  }
  ~SocketPair() {
    if (peer != platform::kNoSocket) platform::CloseSocket(peer);
  }
  platform::Socket engine = platform::kNoSocket;
  platform::Socket peer = platform::kNoSocket;
};

// Reads one whole server frame from `socket` (blocking); nothing at end of stream.
std::optional<std::string> ReadServerFrame(platform::Socket socket) {
  auto readExactly = [socket](std::size_t size) -> std::optional<std::string> {
    std::string bytes(size, '\0');
    // Gathers until the whole size arrived: a single receive may return less.
    const std::ptrdiff_t got = platform::Receive(socket, bytes.data(), size, true);
    if (got < 0 || static_cast<std::size_t>(got) != size) return std::nullopt;
    return bytes;
  };
  const auto header = readExactly(2);
  if (!header || static_cast<std::uint8_t>((*header)[0]) != 0x81) return std::nullopt;
  std::uint64_t length = static_cast<std::uint8_t>((*header)[1]) & 0x7F;
  if (length >= 126) {
    const auto extended = readExactly(length == 126 ? 2 : 8);
    if (!extended) return std::nullopt;
    length = 0;
    for (const char byte : *extended)
      length = (length << 8) | static_cast<std::uint8_t>(byte);
  }
  return readExactly(length);
}

std::string PushText(int thread, int index, std::size_t size) {
  std::string text = "push " + std::to_string(thread) + "/" + std::to_string(index) + " ";
  text.resize(size, static_cast<char>('a' + thread));
  return text;
}

// Regression: without one send lock per connection, frames written by the connection's
// thread and the pushing thread interleave and the client loses the stream.
TEST(ClientConnection, FramesFromManyThreadsArriveWholeAndUnmixed) {
  SocketPair pair;
  // Room for every push at once: this test is about frames staying whole, not the bound.
  auto connection = std::make_shared<ClientConnection>(pair.engine, std::size_t{64} << 20);
  constexpr int kThreads = 16;
  constexpr int kFramesPerThread = 12;
  std::set<std::string> expected;
  std::vector<std::thread> writers;
  for (int thread = 0; thread < kThreads; ++thread) {
    // Sizes cross the 16-bit and the 64-bit length forms and exceed the socket buffer.
    const std::size_t size = 60000 + static_cast<std::size_t>(thread) * 1000;
    for (int index = 0; index < kFramesPerThread; ++index)
      expected.insert(PushText(thread, index, size));
    // Half write as a connection's own thread does, half as the pushing thread does.
    writers.emplace_back([connection, thread, size] {
      for (int index = 0; index < kFramesPerThread; ++index) {
        if (thread % 2 == 0)
          SendTextFrame(*connection, PushText(thread, index, size));
        else
          connection->Push(EncodeTextFrame(PushText(thread, index, size)));
      }
      // A push leaves what the full socket did not take for the pushing thread to write
      // later, as the publishers do; a last push that met a full socket would otherwise
      // leave the reader waiting for ever on the rest of its frame.
      if (thread % 2 == 1)
        while (connection->WriteQueued())
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
  }
  std::set<std::string> received;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const std::optional<std::string> text = ReadServerFrame(pair.peer);
    if (!text) {
      // Stop reading: the writers' sends time out and they end, so they can be joined.
      ADD_FAILURE() << "frame " << i << " did not parse";
      break;
    }
    EXPECT_TRUE(expected.contains(*text)) << "frame " << i << " is mixed or cut";
    received.insert(*text);
  }
  for (std::thread& writer : writers)
    writer.join();
  EXPECT_EQ(received, expected);
}

TEST(ClientConnection, SocketClosesOnlyWhenTheLastHolderLetsGo) {
  SocketPair pair;
  auto connection = std::make_shared<ClientConnection>(pair.engine);
  std::shared_ptr<ClientConnection> pushSnapshot = connection;
  connection.reset(); // the connection thread has ended
  SendTextFrame(*pushSnapshot, "event:late");
  EXPECT_EQ(ReadServerFrame(pair.peer), "event:late");
  pushSnapshot.reset(); // the pushing thread lets go
  char byte = 0;
  EXPECT_EQ(platform::Receive(pair.peer, &byte, 1, false), 0) << "the socket should be closed now";
}

// Regression: a peer that never reads used to block its senders for ever.
TEST(ClientConnection, APeerThatStopsReadingIsCutOffAfterTheSendTimeout) {
  SocketPair pair;
  ClientConnection connection(pair.engine);
  const std::string big(1 << 20, 'x');
  const auto start = std::chrono::steady_clock::now();
  bool allSent = true;
  for (int i = 0; i < 64 && allSent; ++i)
    allSent = connection.SendBytes(big);
  EXPECT_FALSE(allSent);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  // Once cut, nothing more goes out (a frame may have been cut in the middle).
  EXPECT_FALSE(connection.SendBytes("x"));
  // The connection's own reader now ends instead of waiting for the peer.
  EXPECT_EQ(ReadLenientMessage(connection), "");
}

// A peer that takes a little now and then must not keep one write going a bound per trickle.
TEST(ClientConnection, TheSendTimeoutBoundsTheWholeWriteOfAPeerThatBarelyReads) {
  SocketPair pair;
  ClientConnection connection(pair.engine);
  std::atomic<bool> done{false};
  std::thread trickle([&] {
    std::vector<char> chunk(256 * 1024);
    while (!done.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(700));
      if (platform::Receive(pair.peer, chunk.data(), chunk.size(), false) <= 0) return;
    }
  });
  const std::string huge(64 << 20, 'x'); // minutes' worth at the peer's pace
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(connection.SendBytes(huge));
  const auto took = std::chrono::steady_clock::now() - start;
  done = true;
  trickle.join();
  EXPECT_LT(took, std::chrono::milliseconds(server::kSendTimeoutMilliseconds + 3000));
}

// A push never waits on the peer: one that does not read is cut off once its queue would
// pass the bound, at once rather than after a send time-out.
TEST(ClientConnection, APeerThatNeverReadsIsCutOffOnceItsQueuePassesTheBound) {
  SocketPair pair;
  constexpr std::size_t kBound = 256 * 1024;
  ClientConnection connection(pair.engine, kBound);
  const std::string frame = EncodeTextFrame(std::string(8 * 1024, 'p'));
  const auto start = std::chrono::steady_clock::now();
  std::size_t pushed = 0;
  // Far more than the bound and the socket's buffers together.
  while (pushed < (256u << 20) && connection.Push(frame))
    pushed += frame.size();
  EXPECT_LT(pushed, 256u << 20) << "the queue grew past its bound";
  EXPECT_GE(pushed, kBound - frame.size()) << "cut off before the queue was full";
  // A push that waited on the peer would take the whole send time-out; the rest is CPU time,
  // which Wine on a loaded machine stretched past a second.
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(server::kSendTimeoutMilliseconds))
      << "a push waited on the peer";
  EXPECT_FALSE(connection.Push(frame));
  // The connection's own reader now ends instead of waiting for the peer.
  EXPECT_EQ(ReadLenientMessage(connection), "");
}

// Everything the peer receives until the engine's end closes, as frames in order; the
// payload of a frame cut short by the end is left out.
std::vector<zyltest::WsFrame> ReadUntilClosed(platform::Socket socket) {
  std::string stream;
  std::vector<char> chunk(64 * 1024);
  while (platform::WaitReadable(socket, 10000) == platform::WaitResult::Ready) {
    const std::ptrdiff_t got = platform::Receive(socket, chunk.data(), chunk.size(), false);
    if (got <= 0) break;
    stream.append(chunk.data(), static_cast<std::size_t>(got));
  }
  std::vector<zyltest::WsFrame> frames;
  std::size_t at = 0;
  while (stream.size() - at >= 2) {
    std::uint64_t length = static_cast<std::uint8_t>(stream[at + 1]) & 0x7F;
    std::size_t header = 2;
    if (length >= 126) {
      header += length == 126 ? 2 : 8;
      if (stream.size() - at < header) break;
      length = 0;
      for (std::size_t i = at + 2; i < at + header; ++i)
        length = (length << 8) | static_cast<std::uint8_t>(stream[i]);
    }
    if (stream.size() - at - header < length) break;
    frames.push_back({true, static_cast<std::uint8_t>(stream[at] & 0x0F),
                      stream.substr(at + header, static_cast<std::size_t>(length))});
    at += header + static_cast<std::size_t>(length);
  }
  return frames;
}

constexpr std::size_t kPushSize = 8191; // odd, so that the socket now and then takes part of one

// What a slow JSON-protocol peer found once it read again: the first pushes whole and in
// order, none of those after the cut, the close "too slow" and the end of the stream.
void ExpectWholePushesThenTooSlow(const std::vector<zyltest::WsFrame>& frames, int pushed) {
  ASSERT_GE(frames.size(), 2u);
  const std::size_t texts = frames.size() - 1;
  EXPECT_LT(texts, static_cast<std::size_t>(pushed)) << "the pushes not begun were kept";
  for (std::size_t i = 0; i < texts; ++i) {
    EXPECT_EQ(frames[i].opcode, zyltest::kText) << "frame " << i;
    ASSERT_EQ(frames[i].payload, PushText(0, static_cast<int>(i), kPushSize)) << "frame " << i;
  }
  EXPECT_EQ(frames.back().opcode, zyltest::kClose);
  EXPECT_EQ(frames.back().payload, "\x0F\xA6too slow"); // 4006
}

// The peer reads again while the pushing thread goes on writing what waits.
void ExpectTooSlowWhileThePusherWrites(SocketPair& pair, ClientConnection& connection, int pushed) {
  EXPECT_FALSE(connection.Push(EncodeTextFrame("late"))) << "a push was taken after the cut";
  std::thread pusher([&] {
    while (connection.WriteQueued())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  const std::vector<zyltest::WsFrame> frames = ReadUntilClosed(pair.peer);
  pusher.join();
  ExpectWholePushesThenTooSlow(frames, pushed);
}

// Pushes until the connection takes no more; the count taken.
int PushUntilRefused(ClientConnection& connection) {
  int pushed = 0;
  while (pushed < 100000 && connection.Push(EncodeTextFrame(PushText(0, pushed, kPushSize))))
    ++pushed;
  EXPECT_LT(pushed, 100000) << "the queue grew past its bound";
  return pushed;
}

// Regression: a JSON-protocol peer whose queue passed its bound was cut off with no close
// frame, so a client could not tell a slow read from a crash of the editor.
TEST(ClientConnection, AJsonPeerPastTheBoundFindsWholeFramesThenTooSlow) {
  SocketPair pair;
  ClientConnection connection(pair.engine, 256 * 1024);
  connection.Admit({WireProtocol::Json, {}});
  const int pushed = PushUntilRefused(connection);
  ExpectTooSlowWhileThePusherWrites(pair, connection, pushed);
}

// Regression: a send of the connection's own thread (a pong, a response) was refused at once
// while the close waited, so the thread ended the connection and the close was lost with it.
TEST(ClientConnection, TheCloseOfASlowJsonPeerOutlivesItsOwnThreadsRefusedSend) {
  SocketPair pair;
  auto connection = std::make_shared<ClientConnection>(pair.engine, 256 * 1024);
  connection->Admit({WireProtocol::Json, {}});
  const int pushed = PushUntilRefused(*connection);
  // The connection's thread answers a ping, then ends, and lets the connection go.
  std::thread own([connection = std::move(connection)]() mutable {
    EXPECT_FALSE(connection->SendBytes(std::string_view("\x8A\x00", 2)));
    connection.reset();
  });
  const std::vector<zyltest::WsFrame> frames = ReadUntilClosed(pair.peer);
  own.join();
  ExpectWholePushesThenTooSlow(frames, pushed);
}

// The same for a peer that took nothing for the send time-out, long before any bound.
TEST(ClientConnection, AJsonPeerThatTakesNothingForTheSendTimeoutFindsTooSlow) {
  SocketPair pair;
  ClientConnection connection(pair.engine, std::size_t{64} << 20);
  connection.Admit({WireProtocol::Json, {}});
  int pushed = 0;
  while (pushed < 100000 && connection.Push(EncodeTextFrame(PushText(0, pushed, kPushSize)))) {
    ++pushed;
    if (connection.WriteQueued()) break; // the socket is full
  }
  const auto stalled = std::chrono::steady_clock::now();
  while (connection.Push(EncodeTextFrame(PushText(0, pushed, kPushSize))) &&
         std::chrono::steady_clock::now() - stalled < std::chrono::seconds(10)) {
    ++pushed;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const auto gaveUp = std::chrono::steady_clock::now() - stalled;
  EXPECT_GE(gaveUp, std::chrono::milliseconds(server::kSendTimeoutMilliseconds - 100));
  EXPECT_LT(gaveUp, std::chrono::milliseconds(server::kSendTimeoutMilliseconds + 3000));
  ExpectTooSlowWhileThePusherWrites(pair, connection, pushed);
}

// Regression: the engine's stop waited up to the send time-out on each JSON-protocol peer
// that did not read, one after another, before it could say "going away".
TEST(ClientConnection, TheLastFrameNeverWaitsOnAPeerThatDoesNotRead) {
  SocketPair pair;
  ClientConnection connection(pair.engine, std::size_t{64} << 20);
  connection.Admit({WireProtocol::Json, {}});
  while (connection.Push(EncodeTextFrame(PushText(0, 0, kPushSize))) && !connection.WriteQueued()) {
  }
  const auto start = std::chrono::steady_clock::now();
  connection.SendLast(CloseFrame(1001, "the engine is stopping"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_FALSE(connection.Push(EncodeTextFrame("late")));
  EXPECT_EQ(ReadLenientMessage(connection), "");
}

// The upgrade request is taken to its blank line and no further, whatever the segments.
TEST(ClientConnection, TheFirstFrameSentWithTheRequestIsReadAfterTheHandshake) {
  SocketPair pair;
  ClientConnection connection(pair.engine);
  const std::string stream =
      zyltest::UpgradeRequest() + zyltest::EncodeClientFrame(0x1, "get.version");
  ASSERT_EQ(platform::SendSome(pair.peer, stream.data(), stream.size()),
            static_cast<std::ptrdiff_t>(stream.size()));
  EXPECT_TRUE(PerformHandshake(connection));
  EXPECT_EQ(ReadLenientMessage(connection), "get.version");
  const std::string reply = AcceptReply(zyltest::kSampleKey);
  std::string received(reply.size(), '\0');
  ASSERT_EQ(platform::Receive(pair.peer, received.data(), received.size(), true),
            static_cast<std::ptrdiff_t>(reply.size()));
  EXPECT_EQ(received, reply);
}

TEST(ClientConnection, ARequestArrivingOneByteAtATimeIsReadWhole) {
  SocketPair pair;
  ClientConnection connection(pair.engine);
  const std::string stream =
      zyltest::UpgradeRequest() + zyltest::EncodeClientFrame(0x1, "get.version");
  std::thread trickle([&] {
    for (const char byte : stream) {
      platform::SendSome(pair.peer, &byte, 1);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  EXPECT_TRUE(PerformHandshake(connection));
  EXPECT_EQ(ReadLenientMessage(connection), "get.version");
  trickle.join();
}

// Frames that arrive together are taken from one buffer: sizes around and above its
// capacity, and a ping between them, must come out whole and in order.
TEST(ClientConnection, MessagesThatArriveTogetherAreReadWholeAndInOrder) {
  SocketPair pair;
  ClientConnection connection(pair.engine);
  std::vector<std::string> texts;
  std::string stream;
  for (const std::size_t size : {5u, 4090u, 4096u, 5000u, 1u, 65535u, 300u, 8191u}) {
    texts.push_back(PushText(static_cast<int>(texts.size()), 0, size));
    stream += zyltest::EncodeClientFrame(0x1, texts.back(), texts.size() % 2 == 0);
    if (texts.size() == 3) stream += zyltest::EncodeClientFrame(0x9, "mid");
  }
  std::thread writer([&] { platform::SendSome(pair.peer, stream.data(), stream.size()); });
  for (const std::string& text : texts)
    EXPECT_EQ(ReadLenientMessage(connection), text);
  writer.join();
  std::string pong(5, '\0');
  ASSERT_EQ(platform::Receive(pair.peer, pong.data(), pong.size(), true), 5);
  EXPECT_EQ(pong, "\x8A\x03mid");
}

// Sends `bytes` to `socket` one at a time, `gap` apart.
std::thread Trickle(platform::Socket socket, std::string bytes, std::chrono::milliseconds gap) {
  return std::thread([socket, bytes = std::move(bytes), gap] {
    for (const char byte : bytes) {
      platform::SendSome(socket, &byte, 1);
      std::this_thread::sleep_for(gap);
    }
  });
}

// Regression: once a byte had come, the JSON reader waited for the rest of the field however
// long it took, so a client sending a byte now and then outlasted every deadline.
TEST(ClientConnection, AJsonMessageTrickledPastItsBoundOrTheDeadlineIsLate) {
  const std::string frame = zyltest::EncodeClientFrame(0x1, R"({"op":"identify","protocol":2})");
  constexpr std::chrono::milliseconds kGap(40); // the whole frame takes over 1.4 s
  constexpr std::chrono::milliseconds kBound(300);
  {
    SocketPair pair;
    ClientConnection connection(pair.engine);
    std::thread trickle = Trickle(pair.peer, frame, kGap);
    EXPECT_EQ(ReadRfc6455Message(connection, std::nullopt, kBound).status, FramedRead::Status::Late);
    trickle.join();
  }
  {
    SocketPair pair;
    ClientConnection connection(pair.engine);
    std::thread trickle = Trickle(pair.peer, frame, kGap);
    EXPECT_EQ(ReadRfc6455Message(connection, std::chrono::steady_clock::now() + kBound,
                              std::chrono::seconds(10))
                  .status,
              FramedRead::Status::Late);
    trickle.join();
  }
}

// The bound runs from a message's first byte: neither the wait before it nor a ping before
// that counts.
TEST(ClientConnection, AJsonMessageAfterAPingAndALongSilenceIsRead) {
  SocketPair pair;
  ClientConnection connection(pair.engine);
  constexpr std::chrono::milliseconds kBound(300);
  std::thread peer([&] {
    const std::string ping = zyltest::EncodeClientFrame(0x9, "p");
    platform::SendSome(pair.peer, ping.data(), ping.size());
    std::this_thread::sleep_for(kBound * 2);
    const std::string text = zyltest::EncodeClientFrame(0x1, "{}");
    platform::SendSome(pair.peer, text.data(), text.size());
  });
  const FramedRead read = ReadRfc6455Message(connection, std::nullopt, kBound);
  peer.join();
  EXPECT_EQ(read.status, FramedRead::Status::Message);
  EXPECT_EQ(read.message, "{}");
}

TEST(ClientConnection, ReaderAnswersControlFramesOnTheSameSocket) {
  SocketPair pair;
  ClientConnection connection(pair.engine);
  const std::string stream = zyltest::EncodeClientFrame(0x9, "abc") +
                             zyltest::EncodeClientFrame(0x1, "get.version") +
                             zyltest::EncodeClientFrame(0x8, "\x03\xE8"
                                                             "done");
  ASSERT_EQ(platform::SendSome(pair.peer, stream.data(), stream.size()),
            static_cast<std::ptrdiff_t>(stream.size()));
  EXPECT_EQ(ReadLenientMessage(connection), "get.version");
  EXPECT_EQ(ReadLenientMessage(connection), "");
  std::string replies(9, '\0');
  ASSERT_EQ(platform::Receive(pair.peer, replies.data(), replies.size(), true), 9);
  EXPECT_EQ(replies, std::string("\x8A\x03"
                                 "abc"
                                 "\x88\x02\x03\xE8",
                                 9));
}

} // namespace
} // namespace ZYL
