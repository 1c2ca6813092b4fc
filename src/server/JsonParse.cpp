#include "server/JsonParse.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace ZYL {

namespace {

using Json = nlohmann::json;

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
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& error) {
    JsonParseFailure failure;
    // `position` counts the bytes read up to the one where the parser gave up (the end of
    // the text counts as one): the fault is placed on that byte.
    failure.offset = position > 0 ? position - 1 : 0;
    failure.detail = ShortReason(error.what());
    failure_ = std::move(failure);
    return false;
  }

  const std::optional<JsonParseFailure>& Failure() const noexcept { return failure_; }

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
};

} // namespace

JsonParseResult ParseJson(std::string_view text, std::size_t maxDepth) noexcept {
  try {
    Json document;
    BoundedBuilder builder(document, maxDepth);
    const bool valid = Json::sax_parse(text, &builder);
    if (builder.Failure()) return *builder.Failure();
    if (!valid) return JsonParseFailure{JsonParseFailure::Kind::Syntax, 0, "syntax error"};
    return document;
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
