// Everything the engine holds of the host: suite acquisitions per (name, version), host
// strings, segments and node handles. At the end it tells whether every one was given back
// exactly once.
#pragma once

#include "HandleTable.h"
#include "Project.h"

#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace zylsim {

enum class StringOrigin {
  Engine,    // allocated by the engine through the String suite
  Described, // filled by the Command suite's describe call
  Simulator, // made by the simulator for a call into the engine
};

// One suite list of the Plugin Suites Suite: what the engine registered in it.
struct RegisteredSuite {
  std::string name;
  std::int32_t apiVersion;
  const void* table;
};

struct SuiteListContent {
  std::mutex mutex;
  std::vector<RegisteredSuite> suites;

  // The table registered under that name and API version; null when none was.
  const void* Find(const std::string& name, std::int32_t version);
};

struct HostStringValue {
  std::string utf8;
  StringOrigin origin;
};

class Ledger {
public:
  void NoteAcquired(const std::string& name, std::int32_t version);
  // False (and counted) when that suite is not held.
  bool NoteReleased(const std::string& name, std::int32_t version);

  // Handles point into the project model they were taken from, which they keep alive.
  HandleTable<std::int32_t, std::shared_ptr<const Timeline>> segments;
  HandleTable<std::int32_t, std::shared_ptr<const Node>> nodes;
  HandleTable<std::uint64_t, HostStringValue> strings;
  // Suite lists are not part of the verdict (a module keeps its list until shut down), but a
  // list freed that was never made, or freed twice, is.
  HandleTable<std::uint64_t, std::shared_ptr<SuiteListContent>> suiteLists;

  bool Balanced() const;
  // {"event":"ledger","balanced":BOOL,...} with a member for each kind of imbalance.
  nlohmann::ordered_json Json() const;

private:
  struct SuiteCount {
    std::uint64_t acquired = 0;
    std::uint64_t released = 0;
  };
  mutable std::mutex mutex_;
  std::map<std::pair<std::string, std::int32_t>, SuiteCount> suites_;
  std::uint64_t unheldSuiteReleases_ = 0;
};

} // namespace zylsim
