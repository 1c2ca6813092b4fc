// The vitals record as the JSON protocol gives it: one shape for vitals.get and the vitals
// topic, with null where the text record writes a stand-in for a value the host did not give.
#pragma once

#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

namespace ZYL {

// A member the text record gives a stand-in value when the host gave nothing.
struct VitalStandIn {
  std::string_view member;
  nlohmann::json standIn;
};
const std::vector<VitalStandIn>& VitalsStandIns();

// The members of `record` ("vitals:" and its JSON object), each stand-in replaced by null;
// without a timecode there is nothing to measure the speed by, so it is null too.
nlohmann::json VitalsData(std::string_view record);

} // namespace ZYL
