#include "server/DiagnosticLog.h"

#include "platform/Platform.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>

namespace ZYL {

namespace {

struct Ring {
  std::mutex lock;
  std::deque<std::string> lines;
};

Ring& TheRing() {
  static Ring ring;
  return ring;
}

std::string TimeOfDay() {
  using namespace std::chrono;
  const auto now = floor<seconds>(system_clock::now());
  const hh_mm_ss<seconds> time(now - floor<days>(now));
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
  return text;
}

} // namespace

void WriteEngineDiagnostic(std::string_view line) noexcept {
  platform::WriteDiagnostic(line);
  try {
    std::string kept = TimeOfDay() + " UTC  ";
    kept.append(line);
    Ring& ring = TheRing();
    const std::lock_guard<std::mutex> guard(ring.lock);
    if (ring.lines.size() == kRecentDiagnosticLines) ring.lines.pop_front();
    ring.lines.push_back(std::move(kept));
  } catch (...) {
    // Short of memory the line still went out; only the ring misses it.
  }
}

std::vector<std::string> RecentDiagnostics() {
  Ring& ring = TheRing();
  const std::lock_guard<std::mutex> guard(ring.lock);
  return {ring.lines.begin(), ring.lines.end()};
}

} // namespace ZYL
