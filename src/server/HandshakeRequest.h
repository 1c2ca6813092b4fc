// Reads a client's upgrade request from bytes, without a socket, keeping only the headers
// the engine looks at.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ZYL {

struct HandshakeRequest {
  std::string key;    // trimmed Sec-WebSocket-Key value, case kept; "" when none
  std::string origin; // trimmed Origin value; "" when none
  // The Sec-WebSocket-Protocol values, several headers joined with ","; "" when none.
  std::string protocols = {}; // = {}: a request given as {key, origin} stays complete
  // What RFC 6455 asks of the upgrade itself, which only a JSON-protocol client is held to:
  // the request line, and the Upgrade, Connection and Sec-WebSocket-Version values (several
  // headers of one name joined with ","); "" when none.
  std::string requestLine = {};
  std::string upgrade = {};
  std::string connection = {};
  std::string version = {};
  // The Host values, several headers joined with ","; "" when none.
  std::string host = {};
  // The Accept values, several headers joined with ","; "" when none.
  std::string accept = {};
  bool operator==(const HandshakeRequest&) const = default;
};

// The subprotocol a client offers to speak the JSON protocol.
inline constexpr std::string_view kJsonSubprotocol = "zyl.v2";

// Whether the comma-separated `list` holds `entry` as one of its (trimmed) entries; with
// `ignoreCase`, ASCII letter case aside (`entry` then given in lower case).
bool ListHolds(std::string_view list, std::string_view entry, bool ignoreCase);

// Whether the comma-separated `protocols` list "zyl.v2" as one of its (trimmed) entries.
bool OffersJsonProtocol(std::string_view protocols);

class HandshakeRequestReader {
public:
  enum class Status {
    NeedMore,       // every byte given was taken; the blank line has not come yet
    Complete,       // the blank line ended the request
    LineTooLong,    // a line exceeded kMaxHeaderLineBytes
    RequestTooLong, // the request exceeded kMaxRequestBytes
  };
  struct Step {
    Status status = Status::NeedMore;
    std::size_t consumed = 0; // bytes taken; nothing after the blank line is taken
  };

  // Takes bytes one at a time: LF ends a line, CR is dropped wherever it stands, the first
  // empty line ends the request. Must not be fed after a status other than NeedMore.
  Step Feed(std::string_view bytes);

  // The peer closed or failed: the pending line ends there, and with it the request.
  Status Finish();

  const HandshakeRequest& Request() const noexcept { return request_; }

private:
  Status EndLine();
  void AppendWithoutCarriageReturns(std::string_view text);

  HandshakeRequest request_;
  std::string line_;
  bool requestLineRead_ = false;
  std::size_t requestBytes_ = 0;
};

} // namespace ZYL
