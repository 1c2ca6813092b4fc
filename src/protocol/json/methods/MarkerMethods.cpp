#include "protocol/json/methods/MarkerMethods.h"

#include "protocol/SequenceReading.h"
#include "protocol/json/JsonMethodTable.h"
#include "timeline/MarkerLookup.h"
#include "timeline/TimelineSearch.h"

#include <string>

namespace ZYL {

namespace {

using Json = nlohmann::json;

ResponseError ListingError(const MarkerListing& listing) {
  switch (listing.fault) {
  case MarkerListing::Fault::NoSuite:
    return {ErrorCode::Unavailable, "the host offers no marker suite", std::nullopt, std::nullopt};
  case MarkerListing::Fault::TooMany:
    return {ErrorCode::HostError,
            "the host counts more than " + std::to_string(kMaxListedMarkers) + " markers",
            std::nullopt, std::nullopt};
  case MarkerListing::Fault::CountRefused:
  case MarkerListing::Fault::None:
    break;
  }
  return {ErrorCode::HostError, "the host refused the marker count", std::nullopt, listing.status};
}

} // namespace

// Without a timeline, the one the sequence record would describe; when the engine knows
// none, there is nothing to list.
Outcome MarkersListMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int32_t> asked = params.Int32("timeline", Presence::Optional, 0);
  if (params.Error()) return *params.Error();
  const Json nothing = {{"timelineID", nullptr}, {"markers", Json::array()}};
  const std::int32_t timeline = asked ? *asked : ReadSequence(engine, std::nullopt).timeline;
  if (timeline < 0) return nothing;
  const MarkerListing listing = ListMarkers(engine.host.basicSuite, timeline);
  // A refused count is the host's error unless the host denies the timeline itself; one the
  // engine chose that has just gone is no timeline, not the client's fault.
  if (listing.fault == MarkerListing::Fault::CountRefused &&
      HostDeniesTimeline(engine.host.basicSuite, timeline)) {
    if (!asked) return nothing;
    return ResponseError{ErrorCode::NotFound, "no such timeline", std::string("timeline"),
                         std::nullopt};
  }
  if (listing.fault != MarkerListing::Fault::None) return ListingError(listing);
  Json markers = Json::array();
  for (const MarkerEntry& marker : listing.markers)
    markers.push_back({{"index", marker.index},
                       {"name", ValueOrNull(marker.name)},
                       {"ticks", ValueOrNull(marker.ticks)}});
  return Json{{"timelineID", timeline}, {"markers", markers}};
}

} // namespace ZYL
