#include "server/HandshakeRequest.h"

#include "server/OriginPolicy.h"
#include "server/ServerLimits.h"

namespace ZYL {

namespace {

constexpr std::string_view kKeyHeader = "sec-websocket-key:";
constexpr std::string_view kOriginHeader = "origin:";
constexpr std::string_view kProtocolHeader = "sec-websocket-protocol:";

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

} // namespace

bool OffersJsonProtocol(std::string_view protocols) {
  for (;;) {
    const std::size_t comma = protocols.find(',');
    if (TrimSpace(protocols.substr(0, comma)) == kJsonSubprotocol) return true;
    if (comma == std::string_view::npos) return false;
    protocols.remove_prefix(comma + 1);
  }
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
  if (HasHeaderName(line, kKeyHeader)) {
    request_.key = TrimSpace(line.substr(kKeyHeader.size()));
  } else if (line.size() >= kOriginHeader.size() + 1 && HasHeaderName(line, kOriginHeader)) {
    request_.origin = TrimSpace(line.substr(kOriginHeader.size()));
  } else if (HasHeaderName(line, kProtocolHeader)) {
    // Several headers of this name form one list.
    if (!request_.protocols.empty()) request_.protocols.push_back(',');
    request_.protocols.append(line.substr(kProtocolHeader.size()));
  }
  // Every other line, the request line included, is not examined.
  line_.clear();
  return Status::NeedMore;
}

} // namespace ZYL
