#include "ProjectStore.h"

#include "Simulator.h"

#include <algorithm>

namespace zylsim {

// Written out rather than std::binary_search so that unoptimised builds probe fast as well.
bool ProbeIndex::IsTimeline(std::int32_t id) const {
  const std::int32_t* low = timelineIds.data();
  std::size_t count = timelineIds.size();
  while (count > 0) {
    const std::size_t half = count / 2;
    if (low[half] < id) {
      low += half + 1;
      count -= half + 1;
    } else {
      count = half;
    }
  }
  return low != timelineIds.data() + timelineIds.size() && *low == id;
}

ProjectStore::ProjectStore(nlohmann::json source) {
  std::lock_guard<std::mutex> lock(mutex_);
  Publish(std::move(source), revisions_);
}

ProjectStore::~ProjectStore() = default;

std::shared_ptr<const Project> ProjectStore::Current() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_;
}

nlohmann::json ProjectStore::Source() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return source_;
}

void ProjectStore::Replace(nlohmann::json source) {
  std::lock_guard<std::mutex> lock(mutex_);
  Publish(std::move(source), revisions_);
}

void ProjectStore::SetMember(const std::string& key, nlohmann::json value) {
  if (!IsProjectMember(key)) throw ProjectError("no project member is called \"" + key + "\"");
  std::lock_guard<std::mutex> lock(mutex_);
  nlohmann::json source = source_;
  source[key] = std::move(value);
  Publish(std::move(source), revisions_);
}

nlohmann::json& ProjectStore::TimelineSource(nlohmann::json& source, std::int32_t timeline) {
  if (source.contains("timelines"))
    for (nlohmann::json& entry : source["timelines"])
      if (entry.at("id").get<std::int64_t>() == timeline) return entry; // validated model
  throw ProjectError("no timeline " + std::to_string(timeline));
}

void ProjectStore::Edit(std::int32_t timeline) {
  std::lock_guard<std::mutex> lock(mutex_);
  nlohmann::json source = source_;
  TimelineSource(source, timeline);
  EditRevisions revisions = revisions_;
  ++revisions[timeline];
  Publish(std::move(source), revisions);
}

void ProjectStore::Cut(std::int32_t timeline, std::int64_t ticks) {
  std::lock_guard<std::mutex> lock(mutex_);
  nlohmann::json source = source_;
  nlohmann::json& entry = TimelineSource(source, timeline);
  if (!entry.contains("segments"))
    throw ProjectError("no segment contains " + std::to_string(ticks));
  nlohmann::json& segments = entry["segments"];
  for (std::size_t i = 0; i < segments.size(); ++i) {
    // the model was validated, so every segment has integer start and end
    const auto start = segments[i]["start"].get<std::int64_t>();
    const auto end = segments[i]["end"].get<std::int64_t>();
    if (ticks < start || ticks >= end) continue;
    if (ticks == start) throw ProjectError("a segment already starts at " + std::to_string(ticks));
    nlohmann::json second = segments[i];
    segments[i]["end"] = ticks;
    second["start"] = ticks;
    // the second half keeps playing the source from where the first half stopped
    if (second.contains("offset"))
      second["offset"] = second["offset"].get<std::int64_t>() + (ticks - start);
    segments.insert(segments.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(second));
    Publish(std::move(source), revisions_);
    return;
  }
  throw ProjectError("no segment contains " + std::to_string(ticks));
}

void ProjectStore::Publish(nlohmann::json source, const EditRevisions& revisions) {
  auto project = std::make_shared<Project>(ParseProject(source, revisions));
  for (Timeline& timeline : project->timelines)
    for (Marker& marker : timeline.markers)
      if (marker.name) marker.lastingName = markerNames_.insert(*marker.name).first->c_str();

  auto probe = std::make_unique<ProbeIndex>();
  for (const Timeline& timeline : project->timelines)
    probe->timelineIds.push_back(timeline.id);
  probe->delayNs = project->probeDelayNs;
  probe->failure = project->Failure(SuiteId::VideoSegment, 0);
  const ProbeIndex* published = probe_.load(std::memory_order_relaxed);
  if (published == nullptr || published->timelineIds != probe->timelineIds ||
      published->delayNs != probe->delayNs || published->failure != probe->failure) {
    probe_.store(probe.get(), std::memory_order_release);
    probeIndexes_.push_back(std::move(probe));
  }

  source_ = std::move(source);
  revisions_ = revisions;
  current_ = std::move(project);
}

} // namespace zylsim
