#include "vitals/ChangeFlags.h"

namespace ZYL {

namespace {

bool NoteSegmentsHash(TimelineHistory& history, const TimelineReading& reading) noexcept {
  if (!reading.hashRead) return false;
  const bool edited = history.haveHash && reading.timeline == history.previousTimeline &&
                      reading.hash != history.previousHash;
  history.haveHash = true;
  history.previousHash = reading.hash;
  return edited;
}

} // namespace

ChangeFlags ApplyTimelineReading(TimelineHistory& history,
                                 const TimelineReading& reading) noexcept {
  ChangeFlags flags;
  flags.edited = NoteSegmentsHash(history, reading);
  const std::int32_t timeline = reading.timeline;
  const std::int32_t cuts = reading.cuts;
  flags.seqChanged =
      timeline != history.previousTimeline && timeline >= 0 && history.previousTimeline >= 0;
  if (flags.seqChanged) {
    history.previousTimeline = timeline;
    // The hash just read is the new timeline's, so the next record can already tell an
    // edit; without one, the old timeline's hash must not be compared with the new one's.
    history.haveHash = reading.hashRead;
    history.previousCuts = cuts >= 0 ? cuts : -1;
    return flags;
  }
  if (timeline >= 0) history.previousTimeline = timeline;
  flags.cutsChanged = history.previousCuts >= 0 && cuts >= 0 && cuts != history.previousCuts;
  if (cuts >= 0) history.previousCuts = cuts;
  return flags;
}

} // namespace ZYL
