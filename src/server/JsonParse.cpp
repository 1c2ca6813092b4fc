#include "server/JsonParse.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <string>

namespace ZYL {

namespace {

using Json = nlohmann::json;

// The parser's error for a number too large for a double.
constexpr int kNumberOverflow = 406;

// Bytes [start, end) of a text.
struct Span {
  std::size_t start = 0;
  std::size_t end = 0;
};

// The parser's own message, cut to its reason: "[json.exception.parse_error.101] parse
// error at line 1, column 4: syntax error while parsing value - invalid literal; last
// read: 'tru'" becomes "invalid literal". The echo of what was read is dropped: it holds
// the stranger's bytes.
std::string ShortReason(std::string_view message) {
  if (const std::size_t dash = message.find(" - "); dash != std::string_view::npos)
    message.remove_prefix(dash + 3);
  else if (const std::size_t colon = message.rfind(": "); colon != std::string_view::npos)
    message.remove_prefix(colon + 2);
  if (const std::size_t echo = message.find("; last read"); echo != std::string_view::npos)
    message = message.substr(0, echo);
  std::string reason;
  for (const char c : message)
    reason += (c >= 0x20 && c < 0x7F) ? c : '?';
  return reason.empty() ? std::string("syntax error") : reason;
}

// Builds the document in one pass, as the library's own builder does, and stops at the level
// too many or the first syntax error, so that no deeper document is ever built.
class BoundedBuilder {
public:
  using number_integer_t = Json::number_integer_t;
  using number_unsigned_t = Json::number_unsigned_t;
  using number_float_t = Json::number_float_t;
  using string_t = Json::string_t;
  using binary_t = Json::binary_t;

  BoundedBuilder(Json& document, std::size_t maxDepth)
      : builder_(document, false), maxDepth_(maxDepth) {}

  bool null() { return builder_.null(); }
  bool boolean(bool value) { return builder_.boolean(value); }
  bool number_integer(number_integer_t value) { return builder_.number_integer(value); }
  bool number_unsigned(number_unsigned_t value) { return builder_.number_unsigned(value); }
  bool number_float(number_float_t value, const string_t& text) {
    return builder_.number_float(value, text);
  }
  bool string(string_t& value) { return builder_.string(value); }
  bool binary(binary_t& value) { return builder_.binary(value); }
  bool key(string_t& value) { return builder_.key(value); }
  bool start_object(std::size_t size) { return Enter() && builder_.start_object(size); }
  bool start_array(std::size_t size) { return Enter() && builder_.start_array(size); }
  bool end_object() {
    --depth_;
    return builder_.end_object();
  }
  bool end_array() {
    --depth_;
    return builder_.end_array();
  }
  bool parse_error(std::size_t position, const std::string& token,
                   const nlohmann::detail::exception& error) {
    // The parser has just read the whole number, so the token ends at `position`.
    if (error.id == kNumberOverflow && token.size() <= position)
      overflow_ = Span{position - token.size(), position};
    JsonParseFailure failure;
    // `position` counts the bytes read up to the one where the parser gave up (the end of
    // the text counts as one): the fault is placed on that byte.
    failure.offset = position > 0 ? position - 1 : 0;
    failure.detail = ShortReason(error.what());
    failure_ = std::move(failure);
    return false;
  }

  const std::optional<JsonParseFailure>& Failure() const noexcept { return failure_; }
  // Where the number too large for a double lies that failed the parse, if one did.
  const std::optional<Span>& Overflow() const noexcept { return overflow_; }

private:
  bool Enter() {
    if (++depth_ <= maxDepth_) return true;
    JsonParseFailure failure;
    failure.kind = JsonParseFailure::Kind::TooDeep;
    failure.detail = "nested deeper than " + std::to_string(maxDepth_) + " levels";
    failure_ = std::move(failure);
    return false;
  }

  nlohmann::detail::json_sax_dom_parser<Json> builder_;
  std::size_t maxDepth_;
  std::size_t depth_ = 0;
  std::optional<JsonParseFailure> failure_;
  std::optional<Span> overflow_;
};

// One parse; `overflow` receives where a number too large for a double lies, when one failed
// it.
JsonParseResult ParseOnce(std::string_view text, std::size_t maxDepth,
                          std::optional<Span>* overflow = nullptr) {
  Json document;
  BoundedBuilder builder(document, maxDepth);
  const bool valid = Json::sax_parse(text, &builder);
  if (overflow != nullptr) *overflow = builder.Overflow();
  if (builder.Failure()) return *builder.Failure();
  if (!valid) return JsonParseFailure{JsonParseFailure::Kind::Syntax, 0, "syntax error"};
  return document;
}

bool IsNumberCharacter(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// `text` with every number too large for a double, from `from` on, written as the largest
// finite double of its sign. `from` must lie outside any string (the parser found such a
// number there), so one pass that steps over strings finds every number after it; each is
// judged by the parser itself.
std::string ClampHugeNumbers(std::string_view text, std::size_t from) {
  std::string clamped(text.substr(0, from));
  std::size_t at = from;
  while (at < text.size()) {
    const char c = text[at];
    if (c == '"') {
      std::size_t end = at + 1;
      while (end < text.size() && text[end] != '"')
        end += text[end] == '\\' ? 2 : 1;
      end = std::min(end + 1, text.size());
      clamped.append(text.substr(at, end - at));
      at = end;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      std::size_t end = at + 1;
      while (end < text.size() && IsNumberCharacter(text[end]))
        ++end;
      const std::string_view number = text.substr(at, end - at);
      // Only a run that is one whole number is replaced: anything else stays the fault it is.
      std::optional<Span> overflow;
      ParseOnce(number, 1, &overflow);
      if (overflow && overflow->start == 0 && overflow->end == number.size())
        clamped.append(c == '-' ? "-1.7976931348623157e308" : "1.7976931348623157e308");
      else
        clamped.append(number);
      at = end;
    } else {
      clamped.push_back(c);
      ++at;
    }
  }
  return clamped;
}

} // namespace

JsonParseResult ParseJson(std::string_view text, std::size_t maxDepth,
                          HugeNumbers hugeNumbers) noexcept {
  try {
    std::optional<Span> overflow;
    JsonParseResult result = ParseOnce(text, maxDepth, &overflow);
    if (!overflow || hugeNumbers == HugeNumbers::Refuse) return result;
    return ParseOnce(ClampHugeNumbers(text, overflow->start), maxDepth);
  } catch (...) {
    // Only allocation can fail here: the builder reports syntax errors without throwing.
    return JsonParseFailure{JsonParseFailure::Kind::OutOfMemory, 0, "out of memory"};
  }
}

TextPosition PositionOf(std::string_view text, std::size_t offset) noexcept {
  TextPosition position;
  const std::size_t end = std::min(offset, text.size());
  for (std::size_t i = 0; i < end; ++i) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    if (byte == '\n') {
      ++position.line;
      position.column = 1;
    } else if ((byte & 0xC0) != 0x80) {
      ++position.column;
    }
  }
  return position;
}

} // namespace ZYL
