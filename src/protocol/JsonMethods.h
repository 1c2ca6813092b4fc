// The JSON protocol's one table of methods: each method's name, its params with their types,
// and its handler. Requests, batch items and the protocol description all read this table.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/MessageWriter.h"
#include "protocol/RequestParams.h"

#include <nlohmann/json.hpp>
#include <span>
#include <string_view>
#include <vector>

namespace ZYL {

enum class ParamType { Integer, String };

struct MethodParam {
  std::string_view name;
  ParamType type;
  Presence presence;
};

// Reads its params through `params` (unknown names are refused before it runs) and gives
// the result object or the error. A param fault it meets is its answer.
using MethodHandler = Outcome (*)(EngineParts& engine, RequestParams& params);

struct Method {
  std::string_view name;
  std::vector<MethodParam> params;
  MethodHandler handler;
};

// In the order protocol.describe lists them.
const std::vector<Method>& Methods();

// Runs the method `name` with `params` (an object): unknown_method when there is none.
Outcome RunMethod(EngineParts& engine, std::string_view name, const nlohmann::json& params);

// The machine-readable description of the protocol, built from the tables.
nlohmann::json DescribeProtocol();

// The handlers, grouped in files by what they ask of the host.
Outcome VersionMethod(EngineParts& engine, RequestParams& params);
Outcome DescribeMethod(EngineParts& engine, RequestParams& params);
Outcome InfoMethod(EngineParts& engine, RequestParams& params);
Outcome CommandsListMethod(EngineParts& engine, RequestParams& params);
Outcome CommandsRunMethod(EngineParts& engine, RequestParams& params);
Outcome MulticamMethod(EngineParts& engine, RequestParams& params);
Outcome SequenceMethod(EngineParts& engine, RequestParams& params);
Outcome AngleMethod(EngineParts& engine, RequestParams& params);
Outcome TransportMethod(EngineParts& engine, RequestParams& params);
Outcome DumpAngleMethod(EngineParts& engine, RequestParams& params);
Outcome TimelineScanMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
