// The request most clients send most often, read without building a JSON document: a flat
// object whose members are plain strings, integers or an empty object, such as
// {"op":"request","id":7,"method":"version"}. Parsing it into a document and reading the
// document again costs several times the rest of the round trip.
#pragma once

#include "protocol/json/MessageReader.h"

#include <optional>
#include <string_view>

namespace ZYL {

// The request in `text` when it has that plain form and reads as a valid request; nothing
// for every other text, which the full reader then takes. Where it answers, the answer is
// the full reader's own: the last of duplicate members counts, members other than op, id,
// method and params are passed by.
std::optional<Request> ReadPlainRequest(std::string_view text,
                                        AbsentParams absent = AbsentParams::EmptyObject);

} // namespace ZYL
