// The JSON protocol's one table of methods: each method's name, summary, params (type,
// presence, default, bounds), result members and handler. Requests, batch items and the
// protocol description all read this table.
#pragma once

#include "protocol/DescribedMember.h"
#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>
#include <vector>

namespace ZYL {

// Integer: signed 32-bit unless the param's bounds say less. Ticks: signed 64-bit.
// TimelineId: a timeline id, signed 32-bit (the params' bounds say 0 or more).
enum class ParamType { Integer, Ticks, TimelineId, String };

struct MethodParam {
  std::string_view name;
  ParamType type;
  Presence presence;
  std::string_view summary;
  nlohmann::json defaultValue = nullptr; // null: none
  std::optional<std::int64_t> minimum = std::nullopt;
  std::optional<std::int64_t> maximum = std::nullopt;
  bool nullable = false; // takes null as well
};

// Reads its params through `params`. Before it runs, every param has been checked against
// its row (unknown names, types, bounds, required ones present) and each absent param with a
// default holds it, so a handler reads a defaulted param as present. A param fault it meets
// is its answer.
using MethodHandler = Outcome (*)(EngineParts& engine, RequestParams& params);

struct Method {
  std::string_view name;
  std::string_view summary;
  std::vector<MethodParam> params;
  std::vector<Member> result; // every member a successful result has
  MethodHandler handler;
};

// A value the host may not have given: null when it did not.
template <typename Value> nlohmann::json ValueOrNull(const std::optional<Value>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// sequence.get's record of `reading`: for a timeline the host cannot describe, its id and
// null for every other member.
struct SequenceReading;
nlohmann::json SequenceRecord(const SequenceReading& reading);

// In the order protocol.describe lists them.
const std::vector<Method>& Methods();

// How a caller takes a result that a method gives as written text (WrittenResult): read back
// into a document, or as it is, for a caller that only writes it into a response.
enum class ResultForm { Document, AsWritten };

// Runs the method `name` with `params` (an object, or null for none): unknown_method when
// there is none.
// Taken by value: the method fills in its defaults, and a caller done with them moves them.
// With ResultForm::Document the outcome never holds a WrittenResult.
Outcome RunMethod(EngineParts& engine, std::string_view name, nlohmann::json params,
                  ResultForm form = ResultForm::Document);

} // namespace ZYL
