#include "server/UpgradeCheck.h"

#include "server/OriginPolicy.h"

#include <optional>

namespace ZYL {

namespace {

// "HTTP/" DIGIT "." DIGIT at 1.1 or later (RFC 9112 2.3).
bool IsHttp11OrLater(std::string_view version) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (version.size() != 8 || !version.starts_with("HTTP/") || !digit(version[5]) ||
      version[6] != '.' || !digit(version[7]))
    return false;
  return (version[5] - '0') * 10 + (version[7] - '0') >= 11;
}

// 22 characters of the base64 alphabet and "==": 16 bytes, as a client's nonce must be.
bool IsSixteenBytesInBase64(std::string_view key) {
  const auto inAlphabet = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
  };
  if (key.size() != 24 || !key.ends_with("==")) return false;
  for (const char c : key.substr(0, 22))
    if (!inAlphabet(c)) return false;
  return true;
}

// What is wrong with the request line, the upgrade headers and the key, the first fault
// found; nothing when all is sound.
std::optional<std::string_view> UpgradeFault(const HandshakeRequest& request) {
  // method SP request-target SP HTTP-version
  const std::string_view line = request.requestLine;
  const std::size_t firstSpace = line.find(' ');
  const std::size_t lastSpace = line.rfind(' ');
  if (line.substr(0, firstSpace) != "GET") return "the method must be GET";
  if (lastSpace == firstSpace || !IsHttp11OrLater(line.substr(lastSpace + 1)))
    return "the request must be HTTP/1.1 or later";
  if (!ListHolds(request.upgrade, "websocket", true))
    return "the Upgrade header must name websocket";
  if (!ListHolds(request.connection, "upgrade", true))
    return "the Connection header must name upgrade";
  if (!IsSixteenBytesInBase64(request.key)) return "Sec-WebSocket-Key must be 16 bytes in base64";
  return std::nullopt;
}

std::string BadRequestReply(std::string_view fault) {
  std::string body = "Not a WebSocket upgrade: ";
  body.append(fault).append(".\n");
  std::string reply = "HTTP/1.1 400 Bad Request\r\nConnection: close\r\n"
                      "Content-Type: text/plain; charset=utf-8\r\nContent-Length: ";
  reply.append(std::to_string(body.size())).append("\r\n\r\n").append(body);
  return reply;
}

} // namespace

std::string UpgradeRefusal(const HandshakeRequest& request) {
  // The version is judged first: a client of another version learns which one to speak.
  if (TrimSpace(request.version) != "13") return std::string(kVersionRefusalReply);
  if (const std::optional<std::string_view> fault = UpgradeFault(request))
    return BadRequestReply(*fault);
  return {};
}

} // namespace ZYL
