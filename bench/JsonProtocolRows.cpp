#include "JsonProtocolRows.h"

#include "Measures.h"
#include "Stats.h"

#include <vector>

namespace zylbench {

namespace {

constexpr int kRounds = 20;
constexpr int kVersionRoundTrips = 4000;
constexpr int kBatchRoundTrips = 400;
constexpr int kBatchSize = 64;
constexpr const char* kAngleRequest =
    R"({"method":"angle.get","params":{"ticks":1016064000000,"track":-1}})";

std::string Figure(const Percentiles& p) {
  return Format("p50 %.1f us, p99 %.1f us", p.p50, p.p99);
}

// Round-trip samples of each request, the requests taking turns in kRounds rounds, each
// turn on a new connection.
std::vector<std::vector<double>> TakingTurns(std::uint16_t port,
                                             const std::vector<Request>& requests, int count) {
  std::vector<std::vector<double>> samples(requests.size());
  for (int round = 0; round < kRounds; ++round)
    for (std::size_t i = 0; i < requests.size(); ++i) {
      const std::vector<double> taken = RoundTripSamples(port, requests[i], count / kRounds);
      samples[i].insert(samples[i].end(), taken.begin(), taken.end());
    }
  return samples;
}

} // namespace

void MeasureJsonVersion(Table& table, std::uint16_t port, const std::string& suffix) {
  const Request text{MaskedTextFrame("get.version"), 1};
  const Request json{MaskedTextFrame(R"({"op":"request","id":1,"method":"version"})"), 1,
                     Protocol::Json};
  const std::vector<std::vector<double>> samples =
      TakingTurns(port, {text, json}, kVersionRoundTrips);
  const std::string measure = "round trip version, protocol 2 against 1" + suffix;
  if (samples[0].empty() || samples[1].empty()) {
    table.Add(measure, "engine", "no answer");
    return;
  }
  const Percentiles p1 = Summarize(samples[0]), p2 = Summarize(samples[1]);
  table.Add(measure, "engine get.version", Figure(p1));
  table.Add(measure, "engine version (2)",
            Figure(p2) + Format("; p50 = %.2fx get.version", p2.p50 / p1.p50));
}

namespace {

void MeasureBatch(Table& table, std::uint16_t port, const std::string& suffix) {
  std::string items;
  std::string singles;
  for (int i = 0; i < kBatchSize; ++i) {
    items += (i == 0 ? "" : ",") + std::string(kAngleRequest);
    singles += MaskedTextFrame(R"({"op":"request","id":)" + std::to_string(i) +
                               std::string(kAngleRequest).replace(0, 1, ","));
  }
  const Request batch{MaskedTextFrame(R"({"op":"batch","id":1,"requests":[)" + items + "]}"), 1,
                      Protocol::Json};
  const Request oneByOne{
      MaskedTextFrame(R"({"op":"request","id":1,)" + std::string(kAngleRequest).substr(1)), 1,
      Protocol::Json, kBatchSize};
  const Request allAtOnce{singles, kBatchSize, Protocol::Json};
  const std::vector<std::vector<double>> samples =
      TakingTurns(port, {batch, oneByOne, allAtOnce}, kBatchRoundTrips);
  const std::string measure = "64 angle.get, protocol 2" + suffix;
  if (samples[0].empty() || samples[1].empty() || samples[2].empty()) {
    table.Add(measure, "engine", "no answer");
    return;
  }
  const Percentiles b = Summarize(samples[0]), one = Summarize(samples[1]),
                    all = Summarize(samples[2]);
  table.Add(measure, "engine, one batch", Figure(b));
  table.Add(measure, "engine, one after another",
            Figure(one) + Format("; batch p50 = %.2fx this", b.p50 / one.p50));
  table.Add(measure, "engine, 64 sent at once",
            Figure(all) + Format("; batch p50 = %.2fx this", b.p50 / all.p50));
}

} // namespace

void MeasureJsonProtocol(Table& table, std::uint16_t enginePort, const std::string& suffix) {
  MeasureJsonVersion(table, enginePort, suffix);
  MeasureBatch(table, enginePort, suffix);
}

} // namespace zylbench
