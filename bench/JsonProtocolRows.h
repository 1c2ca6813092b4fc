// The JSON protocol against the text protocol on the same engine: a version round trip
// beside get.version, and a batch of angle queries beside the same queries one by one.
#pragma once

#include "Table.h"

#include <cstdint>
#include <string>

namespace zylbench {

// Adds the rows to `table`, each measure's label ending in `suffix`. The engine's current
// timeline must already be the one the angle query finds at once.
void MeasureJsonProtocol(Table& table, std::uint16_t enginePort, const std::string& suffix);

// Only the version round trip beside get.version.
void MeasureJsonVersion(Table& table, std::uint16_t enginePort, const std::string& suffix);

} // namespace zylbench
