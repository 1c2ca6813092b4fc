// The node dump: the render trees at a time, line by line, so that the angle and clip-size
// answers can be checked by eye.
#include "timeline/NodeDump.h"

#include "timeline/NodeReader.h"

#include <string>
#include <vector>

namespace ZYL {

namespace {

constexpr int kDumpDepthLimit = 12;
constexpr std::int32_t kDumpedTimelineLimit = 5;

struct DumpedProperty {
  const char* label;
  const char* key;
};

// Tried on every node whatever its kind, so that a property in an unexpected place shows.
constexpr DumpedProperty kDumpedProperties[] = {
    {"Clip_TrackID", NodeProperty::kClipTrack},
    {"Media_SelectedMulticamTrackFromNestedSequence", NodeProperty::kMediaSelectedMulticamTrack},
    {"Media_NestedSequenceHash", NodeProperty::kMediaNestedSequenceHash},
    {"Media_StreamFrameWidth", NodeProperty::kMediaFrameWidth},
    {"Media_StreamFrameHeight", NodeProperty::kMediaFrameHeight},
    {"Multicam_SelectedTrack", NodeProperty::kMulticamSelectedTrack},
};

struct DumpCounters {
  std::int32_t probed = 0;
  std::int32_t withNode = 0;
  std::int32_t printed = 0;
};

void SendDumpLine(const DumpLineSink& client, const std::string& line) { client(line); }

std::string ChildLine(const ChildNode& child) {
  if (child.kind == ChildKind::Operator) return "  OPERATOR " + std::to_string(child.index);
  return "  INPUT " + std::to_string(child.index) + " offset=" + std::to_string(child.offset);
}

void DumpNode(const DumpLineSink& client, const hostsdk::VideoSegmentSuite9& suite,
              std::int32_t node, int depth, std::int32_t currentTrack) {
  if (depth > kDumpDepthLimit) return;
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  const NodeInfo info = ReadNodeInfo(suite, node);
  SendDumpLine(client, indent + "NODE id=" + std::to_string(node) + " type=" +
                           std::string(info.KindName()) + " flags=" + std::to_string(info.flags) +
                           " currentTrack=" + std::to_string(currentTrack));
  for (const DumpedProperty& property : kDumpedProperties) {
    if (const auto text = ReadNodeProperty(suite, node, property.key))
      SendDumpLine(client, indent + "  " + property.label + " = " + *text);
  }
  if (info.Kind() == NodeKind::Clip) {
    if (const auto track = ReadIntegerProperty(suite, node, NodeProperty::kClipTrack)) {
      currentTrack = *track;
      SendDumpLine(client, indent + "  updated currentTrackID=" + std::to_string(currentTrack));
    }
  }
  WalkChildren(
      suite, node,
      [&](ChildKind kind, std::int32_t count) {
        const char* label = kind == ChildKind::Input ? "  inputCount=" : "  operatorCount=";
        SendDumpLine(client, indent + label + std::to_string(count));
      },
      [&](const ChildNode& child) {
        SendDumpLine(client, indent + ChildLine(child));
        DumpNode(client, suite, child.node, depth + 1, currentTrack);
        return true;
      });
}

void DumpTimeline(const DumpLineSink& client, const hostsdk::VideoSegmentSuite9& suite,
                  TimelineCache& cache, const TimelineScope& scope, std::int32_t timeline,
                  std::int64_t ticks, DumpCounters& counters) {
  const SegmentsHandle segments(suite, timeline);
  if (!segments) {
    if (!scope.LeavesCacheAlone()) cache.NoteRefusal(timeline, segments.status());
    return;
  }
  ++counters.probed;
  const NodeHandle root(suite, segments, ticks);
  if (!root) return;
  ++counters.withNode;
  ++counters.printed;
  SendDumpLine(client, "--- timeline " + std::to_string(timeline) + " ---");
  SendDumpLine(client, "root node acquired, segmentOffset=" + std::to_string(root.offset()));
  DumpNode(client, suite, root.get(), 0, -1);
}

void DumpTimelines(TimelineCache& cache, const DumpLineSink& client, std::int64_t ticks,
                   const TimelineScope& scope) {
  const VideoSegmentSuite suite(cache.BasicSuite());
  if (!suite) {
    SendDumpLine(client, "ERROR: could not acquire VideoSegmentSuite");
    return;
  }
  // A diagnostic should not wait for a scan when any timeline is known, however old.
  std::vector<std::int32_t> timelines;
  if (scope.only)
    timelines.push_back(*scope.only);
  else
    timelines = cache.OrderedTimelines();
  if (timelines.empty()) timelines = cache.ScanTimelines(true);
  DumpCounters counters;
  const auto dumpAll = [&] {
    for (const std::int32_t timeline : timelines) {
      if (counters.printed >= kDumpedTimelineLimit) break;
      DumpTimeline(client, *suite, cache, scope, timeline, ticks, counters);
    }
  };
  dumpAll();
  // None of the known ids answered: the project may have changed, so look again.
  if (counters.probed == 0 && !timelines.empty() && !scope.only) {
    timelines = cache.ScanTimelines(true);
    dumpAll();
  }
  SendDumpLine(client, "probed " + std::to_string(counters.probed) + " timelines, " +
                           std::to_string(counters.withNode) +
                           " with a node at this time, printed " +
                           std::to_string(counters.printed));
}

} // namespace

void DumpAngle(TimelineCache& timelines, std::int64_t ticks, std::int32_t track,
               const DumpLineSink& client, const TimelineScope& scope) {
  SendDumpLine(client, "=== VIDEO SEGMENT NODE DUMP START ===");
  SendDumpLine(client, "time=" + std::to_string(ticks) + " track=" + std::to_string(track));
  DumpTimelines(timelines, client, ticks, scope);
  SendDumpLine(client, "=== VIDEO SEGMENT NODE DUMP END ===");
}

} // namespace ZYL
