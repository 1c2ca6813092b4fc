// Parses JSON text from strangers into a document, refusing nesting beyond a bound before a
// deep document is built, and placing a syntax error by line and column.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <variant>

namespace ZYL {

struct JsonParseFailure {
  enum class Kind { Syntax, TooDeep, OutOfMemory };
  Kind kind = Kind::Syntax;
  std::size_t offset = 0; // byte offset of the fault in the text (Syntax only)
  std::string detail;     // short English description, printable ASCII only
};

using JsonParseResult = std::variant<nlohmann::json, JsonParseFailure>;

// What becomes of a number too large for a double (1e309, or hundreds of digits): a syntax
// error, or the largest finite double of its sign, which no integer member takes, so that
// it fails where it stands (a bad id or param) instead of the whole document.
enum class HugeNumbers { Refuse, Clamp };

// The document in `text`, or why there is none. Objects and arrays count as one level
// each; a document nested deeper than `maxDepth` is refused as soon as the parser enters
// the level too many. Duplicate keys: the last one counts. When huge numbers were clamped,
// a later failure's offset counts in the text as clamped.
JsonParseResult ParseJson(std::string_view text, std::size_t maxDepth,
                          HugeNumbers hugeNumbers = HugeNumbers::Refuse) noexcept;

// 1-based line and column of byte `offset` in `text`; the column counts characters (UTF-8
// lead bytes), so that an editor's cursor lands on the spot.
struct TextPosition {
  std::size_t line = 1;
  std::size_t column = 1;
};
TextPosition PositionOf(std::string_view text, std::size_t offset) noexcept;

} // namespace ZYL
