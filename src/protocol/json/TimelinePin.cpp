#include "protocol/json/TimelinePin.h"

#include "protocol/json/JsonMethodTable.h"
#include "timeline/TimelineSearch.h"

#include <algorithm>

namespace ZYL {

namespace {

constexpr std::string_view kTimelineParam = "timeline";
constexpr std::string_view kPinMethod = "timeline.pin";

bool TakesTimeline(std::string_view name) {
  if (name == kPinMethod) return false;
  const std::vector<Method>& methods = Methods();
  const auto method = std::find_if(methods.begin(), methods.end(),
                                   [name](const Method& row) { return row.name == name; });
  return method != methods.end() &&
         std::any_of(method->params.begin(), method->params.end(),
                     [](const MethodParam& param) { return param.name == kTimelineParam; });
}

} // namespace

Outcome RunForConnection(EngineParts& engine, ClientConnection& connection, std::string_view method,
                         nlohmann::json params) {
  EngineParts parts = engine;
  parts.caller = &connection;
  const std::int32_t pin = connection.PinnedTimeline();
  if (pin < 0 || !(params.is_object() || params.is_null()) || params.contains(kTimelineParam) ||
      !TakesTimeline(method))
    return RunMethod(parts, method, std::move(params), ResultForm::AsWritten);
  // The request as sent is kept, for a pin the host no longer knows.
  nlohmann::json pinned = params;
  pinned[std::string(kTimelineParam)] = pin;
  Outcome outcome = RunMethod(parts, method, std::move(pinned), ResultForm::AsWritten);
  const auto* error = std::get_if<ResponseError>(&outcome);
  if (error == nullptr || error->code != ErrorCode::NotFound || error->param != kTimelineParam ||
      !HostDeniesTimeline(engine.host.basicSuite, pin))
    return outcome;
  connection.DropPin(pin);
  return RunMethod(parts, method, std::move(params), ResultForm::AsWritten);
}

} // namespace ZYL
