// The vitals timecode reader against any text the host may report as a timecode, read in
// sequence the way the vitals thread reads them: fields stay within their bound, the frame
// base only grows, and positions and speeds are finite numbers.
#include "FuzzCheck.h"
#include "vitals/TimecodeSpeed.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

// 100 ms between readings: far enough apart to be measured.
constexpr std::int64_t kReadingIntervalNs = 100'000'000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zylfuzz::Require;
  std::string_view rest = zylfuzz::AsText(data, size);
  ZYL::SpeedState state;
  std::int64_t stamp = 0;
  // Each line is one timecode text; a host sends them one after the other.
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view text = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);

    const ZYL::TimecodeFields fields = ZYL::ReadTimecodeFields(text);
    Require(fields.count >= 0 && fields.count <= 4, "at most four fields");
    for (int i = 0; i < fields.count; ++i) {
      const std::int32_t value = fields.values[static_cast<std::size_t>(i)];
      Require(value >= 0 && value <= ZYL::kTimecodeFieldLimit, "a field stays within its bound");
    }

    const std::int32_t baseBefore = state.frameBase;
    stamp += kReadingIntervalNs;
    const double speed = ZYL::UpdateSpeed(text, stamp, state);
    Require(std::isfinite(speed), "the speed is a finite number");
    Require(state.frameBase >= baseBefore && state.frameBase > state.maxFrame,
            "the frame base only grows and stays above every frame field");
    Require(std::isfinite(state.previousPosition), "the position is a finite number");
    if (fields.count >= 2)
      Require(state.previousPosition >= 0.0, "a readable timecode is never negative");
  }
  return 0;
}
