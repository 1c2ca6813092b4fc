// The command dispatcher against any text a client may send, with the engine's surface
// attached to the simulated host and its demo project, as inside the editor. Every reply
// must have the protocol's form, and every host string, segments and node handle a command
// obtains must be given back before the next command runs.
//
// debug.tlscan probes every id of a client-chosen range for up to its client-chosen time
// budget (seconds), which would stall the fuzzer without finding anything new; a scan is
// therefore run only when its range is small, and otherwise only its arguments are read.
#include "FuzzCheck.h"
#include "Simulator.h"
#include "plugin/ZYLEngineControlSurface.h"
#include "protocol/text/CommandArguments.h"
#include "server/ReplySink.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::string_view kScanPrefix = "debug.tlscan:";
constexpr std::int64_t kLargestScanRun = 4096;
constexpr std::string_view kDumpLinePrefix = "[dump] ";
constexpr hostsdk::HostReference kSurfaceReference = 1;

class CollectingSink final : public ZYL::ReplySink {
public:
  void Send(std::string_view text) override { replies.emplace_back(text); }
  int Socket() const noexcept override { return -1; }
  std::vector<std::string> replies;
};

// The simulator and one attached surface, detached before the simulator goes away.
struct AttachedEngine {
  AttachedEngine()
      : sim(zylsim::DemoProject(), [](const std::string&) {}),
        surface(std::make_unique<ZYL::ZYLEngineControlSurface>(sim.BasicSuite())) {
    surface->AttachHost(kSurfaceReference);
  }
  ~AttachedEngine() { surface->AttachHost(0); }
  AttachedEngine(const AttachedEngine&) = delete;
  AttachedEngine& operator=(const AttachedEngine&) = delete;

  zylsim::Simulator sim;
  std::unique_ptr<ZYL::ZYLEngineControlSurface> surface;
};

std::unique_ptr<AttachedEngine> engine;

bool ScanTooLongToRun(std::string_view text) {
  if (!text.starts_with(kScanPrefix)) return false;
  const ZYL::TimelineScanArguments scan = ZYL::SplitTimelineScan(text.substr(kScanPrefix.size()));
  const std::int64_t from = std::max<std::int64_t>(scan.from, 0);
  return scan.to > from && scan.to - from > kLargestScanRun;
}

// The host resources a command borrows; the ledger lists only what is still held.
nlohmann::json HeldResources() {
  nlohmann::json ledger = engine->sim.LedgerJson();
  nlohmann::json held;
  for (const char* key : {"stringsHeld", "segmentsHeld", "nodesHeld", "releasedNotHeld"})
    if (ledger.contains(key)) held[key] = ledger[key];
  return held;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  engine = std::make_unique<AttachedEngine>();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zylfuzz::Require;
  const std::string_view text = zylfuzz::AsText(data, size);
  // The connection loop never dispatches an empty message.
  if (text.empty() || ScanTooLongToRun(text)) return 0;

  const nlohmann::json heldBefore = HeldResources();
  CollectingSink sink;
  ZYL::EngineParts parts = engine->surface->Parts();
  ZYL::DispatchCommand(parts, sink, text);
  Require(HeldResources() == heldBefore, "a command gives back every host resource it took");

  for (const std::string& reply : sink.replies) {
    const bool dumpLine = reply.starts_with(kDumpLinePrefix);
    const std::size_t colon = reply.find(':');
    Require(dumpLine || (colon != std::string::npos && colon > 0),
            "a reply is a kind word, a colon and a payload");
  }
  return 0;
}
