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

// A first pass that builds nothing: it finds the nesting depth and the first syntax error,
// so that the document is built only from text known to be within bounds.
class DepthCheck final : public nlohmann::json_sax<Json> {
public:
  explicit DepthCheck(std::size_t maxDepth) noexcept : maxDepth_(maxDepth) {}

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool key(string_t&) override { return true; }
  bool start_object(std::size_t) override { return Enter(); }
  bool start_array(std::size_t) override { return Enter(); }
  bool end_object() override { return Leave(); }
  bool end_array() override { return Leave(); }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& error) override {
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
  bool Leave() noexcept {
    --depth_;
    return true;
  }

  std::size_t maxDepth_;
  std::size_t depth_ = 0;
  std::optional<JsonParseFailure> failure_;
};

} // namespace

JsonParseResult ParseJson(std::string_view text, std::size_t maxDepth) noexcept {
  try {
    DepthCheck check(maxDepth);
    const bool valid = Json::sax_parse(text, &check);
    if (check.Failure()) return *check.Failure();
    if (!valid) return JsonParseFailure{JsonParseFailure::Kind::Syntax, 0, "syntax error"};
    Json document = Json::parse(text, nullptr, false);
    if (document.is_discarded())
      return JsonParseFailure{JsonParseFailure::Kind::Syntax, 0, "syntax error"};
    return document;
  } catch (...) {
    // Only allocation can fail here: the first pass has seen the text is well-formed.
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
