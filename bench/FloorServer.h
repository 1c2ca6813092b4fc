// The floor: the least any server can do for a round trip. It accepts the upgrade with a
// fixed reply and then answers every chunk the client sends with the same reply frames the
// engine sends for the command under test, one send per frame as the engine writes them.
// Everything here runs in threads of the bench program itself.
//
// It takes a request either in one receive, or field by field with the engine's own frame
// parser, as the engine must (header, extended length, masking key, payload, each in a
// receive of its exact size, so that no byte of a following frame is taken early): the
// second form shows what that read order costs, apart from everything else the engine does.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zylbench {

// The floors' answer to every upgrade request, whatever its key: no floor computes anything.
inline constexpr std::string_view kFloorUpgradeReply =
    "HTTP/1.1 101 Switching Protocols\r\n"
    "Upgrade: websocket\r\n"
    "Connection: Upgrade\r\n"
    "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n";

enum class FloorReads { WholeRequest, PerField };

class FloorServer {
public:
  explicit FloorServer(std::vector<std::string> replyFrames,
                       FloorReads reads = FloorReads::WholeRequest);
  ~FloorServer();
  FloorServer(const FloorServer&) = delete;
  FloorServer& operator=(const FloorServer&) = delete;

  // 0 when the listener could not be opened.
  std::uint16_t Port() const noexcept { return port_; }

private:
  void AcceptLoop();
  void Serve(int socket);
  // A connection's last step on its own thread: closes the socket and hands the thread over
  // to be joined, so that a floor serving thousands of handshakes holds no more descriptors
  // and threads than the engine does.
  void Finish(int socket);
  void JoinFinishedThreads();
  // Receives one client frame field by field; false when the connection is over.
  static bool ReceiveFrameByFields(int socket);

  const std::vector<std::string> replyFrames_;
  const FloorReads reads_;
  std::uint16_t port_ = 0;
  int listener_ = -1;
  std::atomic<bool> running_{true};
  std::mutex socketsLock_;                         // guards the three below
  std::set<int> sockets_;                          // open connections
  std::map<std::thread::id, std::thread> threads_; // serving
  std::vector<std::thread> finished_;              // done, not yet joined
  std::thread acceptThread_;
};

} // namespace zylbench
