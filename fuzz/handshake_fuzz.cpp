// The upgrade request reader, the upgrade check and the origin decision against any request
// a client may send. The request is read whole and one byte at a time (the socket arrives in
// any pieces), and both readings must agree; the decision must not depend on letter case,
// since a client chooses the case of scheme and host freely.
#include "FuzzCheck.h"
#include "server/HandshakeRequest.h"
#include "server/OriginPolicy.h"
#include "server/ServerLimits.h"
#include "server/UpgradeCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using ZYL::HandshakeRequestReader;
using Status = HandshakeRequestReader::Status;

struct Reading {
  Status status = Status::NeedMore;
  std::size_t consumed = 0;
  ZYL::HandshakeRequest request;
};

// Feeds `stream` in slices of `sliceSize` bytes; a stream that ends first counts as a peer
// that closed.
Reading Read(std::string_view stream, std::size_t sliceSize) {
  HandshakeRequestReader reader;
  Reading reading;
  while (reading.status == Status::NeedMore && reading.consumed < stream.size()) {
    const std::string_view slice = stream.substr(reading.consumed, sliceSize);
    const HandshakeRequestReader::Step step = reader.Feed(slice);
    zylfuzz::Require(step.consumed <= slice.size(), "a step takes no more than it was given");
    zylfuzz::Require(step.status != Status::NeedMore || step.consumed == slice.size(),
                     "NeedMore takes every byte");
    reading.consumed += step.consumed;
    reading.status = step.status;
  }
  if (reading.status == Status::NeedMore) reading.status = reader.Finish();
  reading.request = reader.Request();
  return reading;
}

void CheckHeaderValue(const std::string& value) {
  zylfuzz::Require(value == ZYL::TrimSpace(value), "header values are trimmed");
  zylfuzz::Require(value.find_first_of("\r\n") == std::string::npos,
                   "no line break survives in a header value");
  zylfuzz::Require(value.size() <= ZYL::server::kMaxHeaderLineBytes, "values fit in a line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view stream = zylfuzz::AsText(data, size);
  const Reading whole = Read(stream, stream.size() + 1);
  const Reading bytewise = Read(stream, 1);
  zylfuzz::Require(whole.status == bytewise.status && whole.consumed == bytewise.consumed &&
                       whole.request == bytewise.request,
                   "byte-by-byte reading agrees with the whole");
  zylfuzz::Require(whole.consumed <= ZYL::server::kMaxRequestBytes + 1,
                   "reading stops once the request is too long");
  if (whole.status == Status::Complete && whole.consumed < stream.size())
    zylfuzz::Require(stream[whole.consumed - 1] == '\n',
                     "nothing after the blank line is taken from the socket");
  CheckHeaderValue(whole.request.key);
  CheckHeaderValue(whole.request.origin);
  // A JSON-protocol client's request is refused unless it is a sound upgrade: never one
  // without a key, and always with a status line.
  const std::string refusal = ZYL::UpgradeRefusal(whole.request);
  if (whole.request.key.empty()) zylfuzz::Require(!refusal.empty(), "no upgrade without a key");
  zylfuzz::Require(refusal.empty() || refusal.starts_with("HTTP/1.1 4"),
                   "a refusal is a client error reply");

  // No allow-list file: the built-in list alone decides.
  const std::string& origin = whole.request.origin;
  const bool allowed = ZYL::IsOriginAllowed(origin, "");
  zylfuzz::Require(ZYL::IsOriginAllowed(zylfuzz::AsciiUpper(origin), "") == allowed,
                   "the origin decision ignores letter case");
  return 0;
}
