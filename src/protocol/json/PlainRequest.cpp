#include "protocol/json/PlainRequest.h"

#include <cstdint>

namespace ZYL {

namespace {

// The one pass over the text. Every method answers false where the text leaves the plain
// form, or would be refused; the full reader then decides.
class PlainScanner {
public:
  explicit PlainScanner(std::string_view text) : text_(text) {}

  bool Read(Request& request) {
    SkipSpace();
    if (!Take('{')) return false;
    SkipSpace();
    bool first = true;
    while (!Take('}')) {
      if (!first && !(Take(',') && (SkipSpace(), true))) return false;
      first = false;
      std::string_view key;
      if (!String(key)) return false;
      SkipSpace();
      if (!Take(':')) return false;
      SkipSpace();
      if (!Member(key, request)) return false;
      SkipSpace();
    }
    SkipSpace();
    return at_ == text_.size() && op_ == "request" && hasId_ && hasMethod_;
  }

private:
  bool Member(std::string_view key, Request& request) {
    if (At('"')) {
      std::string_view value;
      if (!String(value)) return false;
      if (key == "op") op_ = value;
      if (key == "method") {
        request.method.assign(value);
        hasMethod_ = true;
      }
      if (key == "id") {
        if (value.size() > kMaxRequestIdBytes) return false;
        request.id = std::string(value);
        hasId_ = true;
      }
      // A string where an object must be is for the full reader to refuse.
      return key != "params";
    }
    if (At('{')) {
      ++at_;
      SkipSpace();
      if (!Take('}')) return false;
      if (key == "params") request.params = nlohmann::json::object();
      return key != "op" && key != "method" && key != "id";
    }
    std::int64_t number = 0;
    if (!Integer(number) || key == "op" || key == "method" || key == "params") return false;
    if (key == "id") {
      request.id = number;
      hasId_ = true;
    }
    return true;
  }

  // A string without escapes, control characters or bytes beyond ASCII.
  bool String(std::string_view& value) {
    if (!Take('"')) return false;
    const std::size_t start = at_;
    for (; at_ < text_.size(); ++at_) {
      const auto byte = static_cast<unsigned char>(text_[at_]);
      if (byte == '"') {
        value = text_.substr(start, at_++ - start);
        return true;
      }
      if (byte == '\\' || byte < 0x20 || byte >= 0x80) return false;
    }
    return false;
  }

  // An integer as JSON writes one, within the safe range.
  bool Integer(std::int64_t& value) {
    const bool negative = Take('-');
    const std::size_t start = at_;
    std::int64_t magnitude = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      magnitude = magnitude * 10 + (text_[at_++] - '0');
      if (magnitude > kMaxSafeInteger) return false;
    }
    const std::size_t digits = at_ - start;
    // No digits, a leading zero, or -0 (kept apart by the full reader) are not plain.
    if (digits == 0 || (text_[start] == '0' && (digits > 1 || negative))) return false;
    // A fraction or exponent makes a floating-point number.
    if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E'))
      return false;
    value = negative ? -magnitude : magnitude;
    return true;
  }

  void SkipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool At(char c) const { return at_ < text_.size() && text_[at_] == c; }
  bool Take(char c) {
    if (!At(c)) return false;
    ++at_;
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::string_view op_;
  bool hasId_ = false;
  bool hasMethod_ = false;
};

} // namespace

std::optional<Request> ReadPlainRequest(std::string_view text) {
  Request request{RequestId{}, std::string(), nlohmann::json::object()};
  if (!PlainScanner(text).Read(request)) return std::nullopt;
  return request;
}

} // namespace ZYL
