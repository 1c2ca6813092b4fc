#include "protocol/JsonMethods.h"
#include "protocol/TimelineScopeParam.h"
#include "server/ValidUtf8.h"
#include "timeline/TimelineQueries.h"

namespace ZYL {

// The node dump's lines, as the text protocol sends them one by one.
Outcome DumpAngleMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int64_t> ticks = params.Int64("ticks", Presence::Required);
  const std::optional<std::int32_t> track = params.Int32("track", Presence::Required);
  const ScopeOrError scope = ReadTimelineScope(engine, params);
  if (params.Error()) return *params.Error();
  if (const auto* error = std::get_if<ResponseError>(&scope)) return *error;
  nlohmann::json lines = nlohmann::json::array();
  DumpAngle(
      engine.timelines, *ticks, *track,
      [&lines](const std::string& line) { lines.push_back(ToValidUtf8(line)); },
      std::get<TimelineScope>(scope));
  return nlohmann::json{{"lines", lines}};
}

// The same scan and record as the text protocol's, with its defaults.
Outcome TimelineScanMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int64_t> from = params.Int64("from", Presence::Required);
  const std::optional<std::int64_t> to = params.Int64("to", Presence::Required);
  const std::optional<std::int64_t> budgetMs = params.Int64("budgetMs", Presence::Required);
  if (params.Error()) return *params.Error();
  return nlohmann::json::parse(
      ScanTimelineRange(engine.timelines, *from, *to, *budgetMs, CurrentTimelineUse::Keep));
}

} // namespace ZYL
