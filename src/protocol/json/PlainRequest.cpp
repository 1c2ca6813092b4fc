#include "protocol/json/PlainRequest.h"

#include <cstdint>
#include <cstring>

namespace ZYL {

namespace {

// The members a plain request may name; any other is passed by.
enum class Key { Op, Id, Method, Params, Other };

// Whether `text` is `name`: compared at a length known when compiling, which needs no call.
template <std::size_t Size> bool Is(std::string_view text, const char (&name)[Size]) {
  return text.size() == Size - 1 && std::memcmp(text.data(), name, Size - 1) == 0;
}

Key KeyNamed(std::string_view name) {
  if (Is(name, "op")) return Key::Op;
  if (Is(name, "id")) return Key::Id;
  if (Is(name, "method")) return Key::Method;
  if (Is(name, "params")) return Key::Params;
  return Key::Other;
}

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
      if (!Member(KeyNamed(key), request)) return false;
      SkipSpace();
    }
    SkipSpace();
    return at_ == text_.size() && Is(op_, "request") && hasId_ && hasMethod_;
  }

private:
  bool Member(Key key, Request& request) {
    if (At('"')) {
      std::string_view value;
      if (!String(value)) return false;
      if (key == Key::Op) op_ = value;
      if (key == Key::Method) {
        request.method.assign(value);
        hasMethod_ = true;
      }
      if (key == Key::Id) {
        if (value.size() > kMaxRequestIdBytes) return false;
        request.id = std::string(value);
        hasId_ = true;
      }
      // A string where an object must be is for the full reader to refuse.
      return key != Key::Params;
    }
    if (At('{')) {
      ++at_;
      SkipSpace();
      if (!Take('}')) return false;
      if (key == Key::Params) request.params = nlohmann::json::object();
      return key == Key::Params || key == Key::Other;
    }
    std::int64_t number = 0;
    if (!Integer(number) || (key != Key::Id && key != Key::Other)) return false;
    if (key == Key::Id) {
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

std::optional<Request> ReadPlainRequest(std::string_view text, AbsentParams absent) {
  // Read in the place it is returned from, so that no request is moved.
  std::optional<Request> request(std::in_place);
  if (absent == AbsentParams::EmptyObject) request->params = nlohmann::json::object();
  if (!PlainScanner(text).Read(*request)) request.reset();
  return request;
}

} // namespace ZYL
