// The texts pushed to subscribed clients when the host reports a transport or marker change.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ZYL {

// event:transport:{"type":"<type>","on":true|false}
std::string TransportEventText(std::string_view type, bool on);
// event:marker:{"type":"changed","index":<index>,"count":<count>}
std::string MarkerChangedText(std::uint32_t index, std::int32_t count);
// event:marker:{"type":"rebuild","count":<count>}
std::string MarkersRebuiltText(std::int32_t count);

} // namespace ZYL
