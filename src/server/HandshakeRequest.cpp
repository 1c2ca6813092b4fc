#include "server/HandshakeRequest.h"

#include "server/OriginPolicy.h"
#include "server/ServerLimits.h"

namespace ZYL {

namespace {

constexpr std::string_view kKeyHeader = "sec-websocket-key:";
constexpr std::string_view kOriginHeader = "origin:";
constexpr std::string_view kProtocolHeader = "sec-websocket-protocol:";
constexpr std::string_view kUpgradeHeader = "upgrade:";
constexpr std::string_view kConnectionHeader = "connection:";
constexpr std::string_view kVersionHeader = "sec-websocket-version:";
constexpr std::string_view kHostHeader = "host:";
constexpr std::string_view kAcceptHeader = "accept:";

// Whether `line` starts with `name` (given in lower case), ignoring ASCII case.
bool HasHeaderName(std::string_view line, std::string_view name) {
  if (line.size() < name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = line[i];
    const char lowered = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    if (lowered != name[i]) return false;
  }
  return true;
}

// Several headers of one name form one list.
void JoinListValue(std::string& list, std::string_view value) {
  if (!list.empty()) list.push_back(',');
  list.append(value);
}

} // namespace

bool ListHolds(std::string_view list, std::string_view entry, bool ignoreCase) {
  for (;;) {
    const std::size_t comma = list.find(',');
    const std::string item = TrimSpace(list.substr(0, comma));
    if (ignoreCase ? item.size() == entry.size() && HasHeaderName(item, entry) : item == entry)
      return true;
    if (comma == std::string_view::npos) return false;
    list.remove_prefix(comma + 1);
  }
}

bool OffersJsonProtocol(std::string_view protocols) {
  return ListHolds(protocols, kJsonSubprotocol, false);
}

HandshakeRequestReader::Step HandshakeRequestReader::Feed(std::string_view bytes) {
  Step step;
  while (step.consumed < bytes.size()) {
    // One line (or the rest of the bytes) at a time: taken whole when no bound can be passed
    // within it, else byte by byte, so that the step stops exactly at the byte that passes.
    const std::string_view rest = bytes.substr(step.consumed);
    const std::size_t lineFeed = rest.find('\n');
    const std::string_view line =
        rest.substr(0, lineFeed == std::string_view::npos ? rest.size() : lineFeed + 1);
    if (requestBytes_ + line.size() <= server::kMaxRequestBytes &&
        line_.size() + line.size() <= server::kMaxHeaderLineBytes) {
      requestBytes_ += line.size();
      step.consumed += line.size();
      AppendWithoutCarriageReturns(
          line.substr(0, lineFeed == std::string_view::npos ? line.size() : line.size() - 1));
      if (lineFeed == std::string_view::npos) continue;
      step.status = EndLine();
      if (step.status != Status::NeedMore) return step;
      continue;
    }
    for (const char byte : line) {
      ++step.consumed;
      // An endless request must not hold a connection place or grow without bound.
      if (++requestBytes_ > server::kMaxRequestBytes) {
        step.status = Status::RequestTooLong;
        return step;
      }
      if (byte == '\r') continue;
      if (byte == '\n') {
        step.status = EndLine();
        if (step.status != Status::NeedMore) return step;
        continue;
      }
      line_.push_back(byte);
      // One endless line is refused as soon as it passes the bound.
      if (line_.size() > server::kMaxHeaderLineBytes) {
        step.status = Status::LineTooLong;
        return step;
      }
    }
  }
  return step;
}

void HandshakeRequestReader::AppendWithoutCarriageReturns(std::string_view text) {
  std::size_t from = 0;
  for (std::size_t cr = text.find('\r'); cr != std::string_view::npos;
       from = cr + 1, cr = text.find('\r', from))
    line_.append(text.substr(from, cr - from));
  line_.append(text.substr(from));
}

HandshakeRequestReader::Status HandshakeRequestReader::Finish() {
  const Status status = EndLine();
  // The next line would come from a dead socket, so it is empty and ends the request.
  return status == Status::NeedMore ? Status::Complete : status;
}

HandshakeRequestReader::Status HandshakeRequestReader::EndLine() {
  if (line_.empty()) return Status::Complete;
  const std::string_view line = line_;
  // The first line is the request line; it is also looked at as a header, as it always was.
  if (!requestLineRead_) {
    requestLineRead_ = true;
    request_.requestLine = line;
  }
  if (HasHeaderName(line, kKeyHeader)) {
    request_.key = TrimSpace(line.substr(kKeyHeader.size()));
  } else if (line.size() >= kOriginHeader.size() + 1 && HasHeaderName(line, kOriginHeader)) {
    request_.origin = TrimSpace(line.substr(kOriginHeader.size()));
  } else if (HasHeaderName(line, kProtocolHeader)) {
    JoinListValue(request_.protocols, line.substr(kProtocolHeader.size()));
  } else if (HasHeaderName(line, kUpgradeHeader)) {
    JoinListValue(request_.upgrade, line.substr(kUpgradeHeader.size()));
  } else if (HasHeaderName(line, kConnectionHeader)) {
    JoinListValue(request_.connection, line.substr(kConnectionHeader.size()));
  } else if (HasHeaderName(line, kVersionHeader)) {
    JoinListValue(request_.version, line.substr(kVersionHeader.size()));
  } else if (HasHeaderName(line, kHostHeader)) {
    // Several Host headers make a list that names no one machine.
    JoinListValue(request_.host, TrimSpace(line.substr(kHostHeader.size())));
  } else if (HasHeaderName(line, kAcceptHeader)) {
    JoinListValue(request_.accept, line.substr(kAcceptHeader.size()));
  }
  // Every other line is not examined.
  line_.clear();
  return Status::NeedMore;
}

} // namespace ZYL
