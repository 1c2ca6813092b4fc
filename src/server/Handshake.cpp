#include "server/Handshake.h"

#include "platform/Platform.h"
#include "server/Base64.h"
#include "server/ClientConnection.h"
#include "server/DiagnosticLog.h"
#include "server/FileDiagnostics.h"
#include "server/Ipv4Text.h"
#include "server/OriginPolicy.h"
#include "server/ServerErrorReply.h"
#include "server/ServerLimits.h"
#include "server/UpgradeCheck.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <variant>

namespace ZYL {

namespace {

constexpr std::string_view kWebSocketGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
constexpr std::string_view kAcceptReplyStart = "HTTP/1.1 101 Switching Protocols\r\n"
                                               "Upgrade: websocket\r\n"
                                               "Connection: Upgrade\r\n"
                                               "Sec-WebSocket-Accept: ";
constexpr std::string_view kAcceptReplyEnd = "\r\n\r\n";
constexpr std::string_view kProtocolReplyHeader = "\r\nSec-WebSocket-Protocol: ";

// Reads the request until it is complete, broken, or late. Each pass receives what has
// arrived into the connection's buffer, feeds it to the reader, and takes from the buffer
// exactly the bytes the reader consumed, so the first frame, which may share a segment with
// the request, stays buffered for the frame reader. Returns whether the request may be
// judged.
bool ReadRequest(ClientConnection& connection, HandshakeRequestReader& reader) {
  using Clock = std::chrono::steady_clock;
  // The first byte may take server::kFirstByteWaitMilliseconds to come; the request's own
  // time runs from then.
  std::optional<Clock::time_point> deadline;
  for (;;) {
    // What has arrived needs no wait (the request usually has, whole).
    std::ptrdiff_t got = connection.ReceiveAhead(false);
    if (got < 0) {
      const auto left =
          deadline ? std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now())
                         .count()
                   : server::kFirstByteWaitMilliseconds;
      // A client that stalls mid-request gives its place back.
      if (left <= 0) return false;
      const platform::WaitResult wait =
          platform::WaitReadable(connection.Socket(), static_cast<int>(left));
      if (wait == platform::WaitResult::TimedOut) return false;
      got = wait == platform::WaitResult::Ready ? connection.ReceiveAhead(true) : -1;
    }
    if (!deadline)
      deadline = Clock::now() + std::chrono::milliseconds(server::kHandshakeMilliseconds);
    // A peer that closes or fails mid-request is judged on what it sent.
    if (got <= 0) return reader.Finish() == HandshakeRequestReader::Status::Complete;
    const HandshakeRequestReader::Step step = reader.Feed(connection.BufferedBytes());
    if (step.status != HandshakeRequestReader::Status::NeedMore &&
        step.status != HandshakeRequestReader::Status::Complete)
      return false;
    connection.TakeBuffered(step.consumed);
    if (step.status == HandshakeRequestReader::Status::Complete) return true;
  }
}

// A password that the text protocol walks around protects nothing; the user may still choose
// both, and is told once for each password so chosen (not on every handshake).
void WarnWhenTextProtocolBypassesPassword(const Settings& settings) {
  if (!settings.RequiresAuthentication() || settings.textProtocol != true) return;
  static std::mutex lock;
  static std::optional<std::array<std::uint8_t, 32>> warnedFor; // digest, not the password
  const auto digest = platform::Sha256(settings.password);
  {
    const std::lock_guard<std::mutex> guard(lock);
    if (digest && warnedFor == digest) return;
    warnedFor = digest;
  }
  WriteEngineDiagnostic("ZYL Engine: settings.json sets a password and \"textProtocol\": "
                        "true; text-protocol clients connect without the password");
}

} // namespace

std::string ComputeAcceptKey(std::string_view key) {
  std::string input(key);
  input.append(kWebSocketGuid);
  return Base64Encode(platform::Sha1(input));
}

std::string AcceptReply(std::string_view key, WireProtocol protocol) {
  std::string reply(kAcceptReplyStart);
  reply.append(ComputeAcceptKey(key));
  if (protocol == WireProtocol::Json) reply.append(kProtocolReplyHeader).append(kJsonSubprotocol);
  reply.append(kAcceptReplyEnd);
  return reply;
}

HandshakeVerdict JudgeRequest(const HandshakeRequest& request, const std::string& allowListPath) {
  if (request.key.empty()) return HandshakeVerdict::Silent;
  return IsOriginAllowed(request.origin, allowListPath) ? HandshakeVerdict::Accept
                                                        : HandshakeVerdict::Refuse;
}

HandshakeAnswer AnswerRequest(const HandshakeRequest& request, const std::string& allowListPath,
                              const std::string& settingsPath,
                              std::optional<platform::Ipv4Address> networkPeer) {
  HandshakeAnswer answer;
  switch (JudgeRequest(request, allowListPath)) {
  case HandshakeVerdict::Silent:
    return answer;
  case HandshakeVerdict::Refuse:
    // The user may have meant to admit this origin with an entry that can never match.
    NoteUnmatchableAllowListEntries(allowListPath);
    answer.reply = kRefusalReply;
    return answer;
  case HandshakeVerdict::Accept:
    break;
  }
  SettingsResult settings = ReadSettingsFile(settingsPath);
  NoteSettingsOutcome(settings);
  if (const auto* broken = std::get_if<SettingsError>(&settings)) {
    answer.reply = ServerErrorReply(broken->problem);
    return answer;
  }
  Admission admission{OffersJsonProtocol(request.protocols) ? WireProtocol::Json
                                                            : WireProtocol::Text,
                      std::move(std::get<Settings>(settings)), networkPeer};
  WarnWhenTextProtocolBypassesPassword(admission.settings);
  // Who may come in is judged before how well the upgrade is made.
  if ((admission.protocol == WireProtocol::Text && !admission.settings.AdmitsTextProtocol()) ||
      (networkPeer && !AdmitsNetworkPeer(admission))) {
    answer.reply = kRefusalReply;
    return answer;
  }
  if (admission.protocol == WireProtocol::Json) {
    answer.reply = UpgradeRefusal(request);
    if (!answer.reply.empty()) return answer;
  }
  answer.reply = AcceptReply(request.key, admission.protocol);
  answer.admission = std::move(admission);
  return answer;
}

bool PerformHandshake(ClientConnection& connection, const StatusFacts& facts) {
  HandshakeRequestReader reader;
  if (!ReadRequest(connection, reader)) return false;
  const std::optional<platform::Ipv4Address> peer = connection.Peer();
  if (reader.Request().key.empty()) {
    const std::string page = StatusPageAnswer(reader.Request(), peer, facts);
    if (!page.empty()) connection.SendBytes(page);
    return false;
  }
  // The allow-list and settings files are read anew for each request, so edits apply to the
  // next client. A peer whose address cannot be told is taken for one on another machine.
  std::optional<platform::Ipv4Address> networkPeer;
  if (!peer || !IsLoopback(*peer)) networkPeer = peer.value_or(platform::kAnyAddress);
  HandshakeAnswer answer =
      AnswerRequest(reader.Request(), AllowListFilePath(), SettingsFilePath(), networkPeer);
  if (!answer.reply.empty()) connection.SendBytes(answer.reply);
  if (!answer.admission) return false;
  connection.Admit(std::move(*answer.admission));
  return true;
}

} // namespace ZYL
