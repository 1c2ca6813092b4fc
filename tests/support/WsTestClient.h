// A small blocking WebSocket client over a real socket to the engine's server, for tests
// that go through the network: it speaks the client side of the upgrade and of the framing,
// and can also send any bytes at all, so tests can feed the server malformed input.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zyltest {

inline constexpr std::uint16_t kServerPort = 7890;
// The sample nonce of RFC 6455; any 16-byte Base64 value would do.
inline constexpr std::string_view kSampleKey = "dGhlIHNhbXBsZSBub25jZQ==";
inline constexpr std::string_view kDefaultOrigin = "http://localhost";

using Millis = std::chrono::milliseconds;

// One frame as the server sent it (the server never masks).
struct WsFrame {
  bool fin = true;
  std::uint8_t opcode = 0;
  std::string payload;
};

enum WsOpcode : std::uint8_t {
  kContinuation = 0x0,
  kText = 0x1,
  kBinary = 0x2,
  kClose = 0x8,
  kPing = 0x9,
  kPong = 0xA,
};

// Builds a client frame: FIN set, the given opcode, masked with a fixed key when `masked`.
// The length form (7-bit, 16-bit or 64-bit) follows the payload size.
std::string EncodeClientFrame(std::uint8_t opcode, std::string_view payload, bool masked = true);

// A standard upgrade request; an empty optional leaves the header out entirely.
std::string UpgradeRequest(std::optional<std::string_view> origin = kDefaultOrigin,
                           std::optional<std::string_view> key = kSampleKey);

class WsTestClient {
public:
  WsTestClient() = default;
  ~WsTestClient();
  WsTestClient(const WsTestClient&) = delete;
  WsTestClient& operator=(const WsTestClient&) = delete;
  WsTestClient(WsTestClient&& other) noexcept;
  WsTestClient& operator=(WsTestClient&& other) noexcept;

  // Connects to 127.0.0.1:port, retrying until `deadline` has passed. `prepare`, when
  // given, is called with each new socket before it connects (for options such as buffer
  // sizes that only take full effect from the start of a connection).
  bool Connect(Millis deadline = Millis(5000), std::uint16_t port = kServerPort,
               const std::function<void(int socket)>& prepare = {});
  // Connects to the IPv4 `address` (host byte order) as Connect does to 127.0.0.1.
  bool ConnectTo(std::uint32_t address, Millis deadline = Millis(5000),
                 std::uint16_t port = kServerPort);

  // Sends UpgradeRequest(origin, key) and returns the server's raw HTTP reply up to and
  // including the blank line; "" when the server closed or sent nothing within `timeout`.
  std::string Handshake(std::optional<std::string_view> origin = kDefaultOrigin,
                        std::optional<std::string_view> key = kSampleKey,
                        Millis timeout = Millis(5000));
  // Sends `request` as it stands and returns the raw reply as Handshake does.
  std::string RawHandshake(std::string_view request, Millis timeout = Millis(5000));
  // Reads an HTTP reply up to and including the blank line ("" on close or time-out).
  std::string ReadHttpReply(Millis timeout = Millis(5000));

  // Connect and Handshake with the defaults; true when the server answered 101.
  bool Open(Millis deadline = Millis(5000));

  bool SendRaw(std::string_view bytes);
  bool SendText(std::string_view text, bool masked = true);
  bool SendFrame(std::uint8_t opcode, std::string_view payload, bool masked = true);

  // The next whole frame, or nothing on time-out, close or a malformed header.
  std::optional<WsFrame> ReceiveFrame(Millis timeout = Millis(5000));
  // The payload of the next text frame. With `skipPushes`, text frames beginning with
  // "vitals:" or "event:" are passed over; non-text frames are always passed over.
  std::optional<std::string> ReceiveText(Millis timeout = Millis(5000), bool skipPushes = true);
  // Exactly `count` raw bytes, or nothing on time-out or close.
  std::optional<std::string> ReceiveBytes(std::size_t count, Millis timeout = Millis(5000));

  // True when the server ends the connection (orderly close or reset) within `timeout`.
  // With `requireSilence`, any byte arriving first makes it false.
  bool WaitClosed(Millis timeout = Millis(7000), bool requireSilence = true);

  bool IsConnected() const noexcept { return socket_ >= 0; }
  int Socket() const noexcept { return socket_; }
  void Close();

private:
  bool ConnectAt(std::uint32_t address, Millis deadline, std::uint16_t port,
                 const std::function<void(int socket)>& prepare);
  // Moves at least `count` bytes into inbox_; false on time-out or close.
  bool Fill(std::size_t count, std::chrono::steady_clock::time_point deadline);
  // One recv into inbox_ waiting until `deadline`: >0 bytes, 0 closed, -1 time-out/error.
  long ReceiveSome(std::chrono::steady_clock::time_point deadline);

  int socket_ = -1;
  std::string inbox_;
  bool peerClosed_ = false;
};

} // namespace zyltest
