// The one WebSocket client every benchmark uses, whatever the server: it upgrades, sends
// masked text frames built once in advance and reads the server's unmasked frames from a
// buffer of its own, so the client's cost is the same against the engine, the floor and
// the peer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zylbench {

// Which protocol a connection speaks: the text commands, or JSON messages chosen with the
// "zyl.v2" subprotocol (opened through hello, identify and identified).
enum class Protocol { Text, Json };

// A masked, final text frame of `text` (7- or 16-bit length), as a browser would send it.
std::string MaskedTextFrame(std::string_view text);

class BenchClient {
public:
  static constexpr std::size_t kReadChunk = 64 * 1024;

  BenchClient() = default;
  ~BenchClient();
  BenchClient(const BenchClient&) = delete;
  BenchClient& operator=(const BenchClient&) = delete;

  // Connects to 127.0.0.1:port and completes the upgrade; false unless the server said 101.
  // Every later receive gives up after `timeoutMilliseconds`, so no run can hang.
  bool Open(std::uint16_t port, int timeoutMilliseconds = 5000);
  // Opens as above with the JSON protocol and identifies with `subscriptions` (a JSON array);
  // false unless the server said identified.
  bool OpenJson(std::uint16_t port, std::string_view subscriptions = "[]");
  bool Open(std::uint16_t port, Protocol protocol) {
    return protocol == Protocol::Json ? OpenJson(port) : Open(port);
  }
  // Shrinks the socket's receive buffer, so that a client that reads slowly holds the sender
  // back soon instead of after megabytes.
  void ShrinkReceiveBuffer();
  void Close();
  bool IsOpen() const noexcept { return socket_ >= 0; }

  bool Send(std::string_view frameBytes);
  // The payload of the next text frame (other frames are skipped); false on close/time-out.
  bool ReceiveText(std::string& text);
  // Sends `frameBytes` and reads `replies` text frames; false when one did not come.
  bool RoundTrip(std::string_view frameBytes, int replies);

private:
  bool Upgrade(std::uint16_t port, std::string_view request, int timeoutMilliseconds);
  // Makes at least `count` unread bytes available in the buffer.
  bool Fill(std::size_t count);

  std::string_view Unread() const noexcept { return {buffer_.data() + read_, filled_ - read_}; }

  int socket_ = -1;
  // Allocated once and received into in place: zero-filling a fresh chunk per receive would
  // add the client's own cost to every figure.
  std::string buffer_ = std::string(kReadChunk, '\0');
  std::size_t read_ = 0;   // bytes of buffer_ already consumed
  std::size_t filled_ = 0; // bytes of buffer_ received
  std::string scratch_;
};

} // namespace zylbench
