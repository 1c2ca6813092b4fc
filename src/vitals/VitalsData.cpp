#include "vitals/VitalsData.h"

#include <string>

namespace ZYL {

namespace {

constexpr std::string_view kRecordPrefix = "vitals:";

} // namespace

const std::vector<VitalStandIn>& VitalsStandIns() {
  static const std::vector<VitalStandIn> standIns = {
      {"timecode", ""}, {"cuts", -1}, {"markers", -1}, {"tracks", -1}, {"audioPeakDb", -999.0},
  };
  return standIns;
}

nlohmann::json VitalsData(std::string_view record) {
  if (record.starts_with(kRecordPrefix)) record.remove_prefix(kRecordPrefix.size());
  nlohmann::json data = nlohmann::json::parse(record);
  for (const VitalStandIn& standIn : VitalsStandIns()) {
    nlohmann::json& value = data[std::string(standIn.member)];
    if (value == standIn.standIn) value = nullptr;
  }
  if (data["timecode"].is_null()) data["speed"] = nullptr;
  return data;
}

} // namespace ZYL
