// The live project: the current immutable model, swapped whole when a command or the demo
// changes the project, so that suite calls on other threads always read one consistent model.
#pragma once

#include "Project.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

namespace zylsim {

// What a timeline id probe needs, readable without a lock: the scan of a few million ids
// must measure the engine, not the simulator.
struct ProbeIndex {
  std::vector<std::int32_t> timelineIds; // ascending
  std::int64_t delayNs = 0;
  std::optional<hostsdk::ErrorCode> failure; // failingCalls for video segment position 0

  bool IsTimeline(std::int32_t id) const;
};

class ProjectStore {
public:
  // Throws ProjectError when `source` is malformed.
  explicit ProjectStore(nlohmann::json source);
  ~ProjectStore();
  ProjectStore(const ProjectStore&) = delete;
  ProjectStore& operator=(const ProjectStore&) = delete;

  std::shared_ptr<const Project> Current() const;
  const ProbeIndex& Probe() const noexcept { return *probe_.load(std::memory_order_acquire); }
  nlohmann::json Source() const;

  // Each throws ProjectError (and changes nothing) when the result would be malformed.
  void Replace(nlohmann::json source);
  void SetMember(const std::string& key, nlohmann::json value);
  void Edit(std::int32_t timeline);
  void Cut(std::int32_t timeline, std::int64_t ticks);

private:
  // Builds and publishes a model of `source`; the caller holds mutex_.
  void Publish(nlohmann::json source, const EditRevisions& revisions);
  nlohmann::json& TimelineSource(nlohmann::json& source, std::int32_t timeline);

  mutable std::mutex mutex_;
  nlohmann::json source_;
  EditRevisions revisions_;
  std::shared_ptr<const Project> current_;
  std::set<std::u16string> markerNames_;
  std::atomic<const ProbeIndex*> probe_{nullptr};
  // Every index published stays alive: a probe may still read an older one, and they are
  // small and replaced only when the set of timelines changes.
  std::vector<std::unique_ptr<ProbeIndex>> probeIndexes_;
};

} // namespace zylsim
