#include "Ledger.h"

#include "hostsdk/PluginSuitesSuite.h"

namespace zylsim {

namespace {

// The one suite a module keeps until it is unloaded.
bool MayStayAcquired(const std::string& name) { return name == hostsdk::kPluginSuitesSuiteName; }

const char* OriginName(StringOrigin origin) {
  switch (origin) {
  case StringOrigin::Engine:
    return "engine";
  case StringOrigin::Described:
    return "described";
  case StringOrigin::Simulator:
    return "simulator";
  }
  return "unknown";
}

// Enough of the leaked strings to recognise them, not a flood.
constexpr std::size_t kLeakedStringsShown = 20;

} // namespace

const void* SuiteListContent::Find(const std::string& name, std::int32_t version) {
  std::lock_guard<std::mutex> lock(mutex);
  for (const RegisteredSuite& suite : suites)
    if (suite.name == name && suite.apiVersion == version) return suite.table;
  return nullptr;
}

void Ledger::NoteAcquired(const std::string& name, std::int32_t version) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++suites_[{name, version}].acquired;
}

bool Ledger::NoteReleased(const std::string& name, std::int32_t version) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = suites_.find({name, version});
  if (found == suites_.end() || found->second.released >= found->second.acquired) {
    ++unheldSuiteReleases_;
    return false;
  }
  ++found->second.released;
  return true;
}

bool Ledger::Balanced() const { return Json().at("balanced").get<bool>(); }

nlohmann::ordered_json Ledger::Json() const {
  nlohmann::ordered_json ledger = {{"event", "ledger"}, {"balanced", true}};
  nlohmann::ordered_json held = nlohmann::ordered_json::array();
  std::uint64_t unheldSuites = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [key, count] : suites_)
      if (count.acquired != count.released && !MayStayAcquired(key.first))
        held.push_back({{"name", key.first},
                        {"version", key.second},
                        {"acquired", count.acquired},
                        {"released", count.released}});
    unheldSuites = unheldSuiteReleases_;
  }
  if (!held.empty()) ledger["suitesHeld"] = held;

  if (strings.LiveCount() != 0) {
    nlohmann::ordered_json leaked = nlohmann::ordered_json::array();
    for (const HostStringValue& value : strings.LiveValues()) {
      if (leaked.size() == kLeakedStringsShown) break;
      leaked.push_back({{"text", value.utf8}, {"origin", OriginName(value.origin)}});
    }
    ledger["stringsHeld"] = strings.LiveCount();
    ledger["stringsHeldSample"] = leaked;
  }
  if (segments.LiveCount() != 0) ledger["segmentsHeld"] = segments.LiveCount();
  if (nodes.LiveCount() != 0) ledger["nodesHeld"] = nodes.LiveCount();

  nlohmann::ordered_json unheld = nlohmann::ordered_json::object();
  if (unheldSuites != 0) unheld["suites"] = unheldSuites;
  if (strings.UnheldReleases() != 0) unheld["strings"] = strings.UnheldReleases();
  if (segments.UnheldReleases() != 0) unheld["segments"] = segments.UnheldReleases();
  if (nodes.UnheldReleases() != 0) unheld["nodes"] = nodes.UnheldReleases();
  if (suiteLists.UnheldReleases() != 0) unheld["suiteLists"] = suiteLists.UnheldReleases();
  if (!unheld.empty()) ledger["releasedNotHeld"] = unheld;

  ledger["balanced"] = ledger.size() == 2;
  return ledger;
}

} // namespace zylsim
