#include "vitals/VitalsRecord.h"

#include "vitals/JsonString.h"

#include <cstdio>

namespace ZYL {

namespace {

constexpr char kRecordFormat[] =
    "vitals:{\"v\":\"" ZYL_ENGINE_VERSION "\",\"playing\":%s,\"idleSec\":%d,\"paused\":%s,\"recording\":%s,"
    "\"rewind\":%s,\"ffwd\":%s,\"speed\":%.2f,\"timecode\":\"%s\",\"displayMode\":%u,"
    "\"cuts\":%d,\"cutsChanged\":%s,\"edited\":%s,\"seqChanged\":%s,\"markers\":%d,"
    "\"tracks\":%d,\"audioPeakDb\":%.1f,\"soloActive\":%s}";

const char* Word(bool value) noexcept { return value ? "true" : "false"; }

} // namespace

std::string FormatVitalsRecord(const VitalsValues& values) {
  std::string timecode;
  AppendJsonStringBody(timecode, values.timecode);

  std::string record(kLongestVitalsRecordWithoutTimecode + timecode.size(), '\0');
  const int length = std::snprintf(
      record.data(), record.size() + 1, kRecordFormat, Word(values.playing), values.idleSec,
      Word(values.paused), Word(values.recording), Word(values.rewind), Word(values.ffwd),
      values.speed, timecode.c_str(), static_cast<unsigned>(values.displayMode), values.cuts,
      Word(values.changes.cutsChanged), Word(values.changes.edited),
      Word(values.changes.seqChanged), values.markers, values.tracks, values.audioPeakDb,
      Word(values.soloActive));
  record.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return record;
}

} // namespace ZYL
