#include "PeerRows.h"

#include "BenchClient.h"
#include "BenchSocket.h"
#include "ChildProcess.h"
#include "EngineHost.h"
#include "FloorServer.h"
#include "JsonProtocolRows.h"
#include "Measures.h"
#include "Memory.h"
#include "OneThreadFloor.h"
#include "Stats.h"
#include "server/FrameWriter.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace zylbench {

namespace {

constexpr int kConnections = 16;
constexpr int kRounds = 10;
constexpr int kRoundTrips = 4000; // per server
constexpr int kSetUps = 2000;     // per server
constexpr int kRateMilliseconds = 1000;
constexpr int kStartMilliseconds = 10000;
constexpr auto kSettle = std::chrono::milliseconds(500);

struct Contender {
  std::string name;
  std::unique_ptr<ChildProcess> process;
  std::uint16_t port = 0;
  // The one-frame floor closes every connection after one answer: it takes part in the
  // set-up and handshake rows only.
  bool setUpOnly = false;
};

// The port a peer prints on its first line; 0 when it did not start.
std::uint16_t ReadPort(ChildProcess& process) {
  std::string line;
  if (!process.Running() || !process.ReadLine(line, kStartMilliseconds)) return 0;
  return static_cast<std::uint16_t>(std::atoi(line.c_str()));
}

void AddProgram(std::vector<Contender>& contenders, std::string name,
                const std::vector<std::string>& argv, bool setUpOnly = false) {
  Contender contender{std::move(name), nullptr, 0, setUpOnly};
  if (!argv.front().empty()) {
    contender.process = std::make_unique<ChildProcess>(argv);
    contender.port = ReadPort(*contender.process);
  }
  if (contender.port == 0)
    std::fprintf(stderr, "zyl-bench: %s did not start\n", contender.name.c_str());
  contenders.push_back(std::move(contender));
}

Contender StartEngine(const std::string& hostsim) {
  Contender engine{"engine", std::make_unique<ChildProcess>(std::vector{hostsim}), kEnginePort};
  if (!engine.process->WaitForLine("\"ready\"", kStartMilliseconds) ||
      !WaitForServer(kEnginePort, kStartMilliseconds)) {
    std::fprintf(stderr, "zyl-bench: the engine did not start\n");
    engine.port = 0;
  }
  return engine;
}

// The engine first: every ratio is the engine's figure against the others'.
std::vector<Contender> StartAll(const PeerPrograms& programs, bool withOneFrameFloor) {
  std::vector<Contender> contenders;
  contenders.push_back(StartEngine(programs.hostsim));
  AddProgram(contenders, "floor, one thread", {programs.bench, "--floor", "one-thread"});
  AddProgram(contenders, "floor, thread per connection",
             {programs.bench, "--floor", "thread-per-connection"});
  if (withOneFrameFloor)
    AddProgram(contenders, "floor, one thread, one frame a connection",
               {programs.bench, "--floor", "one-frame"}, true);
  AddProgram(contenders, "Boost.Beast", {programs.beast});
  AddProgram(contenders, "websocketpp", {programs.websocketpp});
  AddProgram(contenders, "node ws", {"node", programs.nodeScript});
  return contenders;
}

const Request& VersionRequest() {
  static const Request request{MaskedTextFrame("get.version"), 1};
  return request;
}

// Connect, upgrade, one get.version, close: the duration of each, as the client sees it.
std::vector<double> SetUpSamples(std::uint16_t port, int count) {
  BenchClient client;
  std::vector<double> samples;
  samples.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const Clock::time_point start = Clock::now();
    const bool served =
        client.Open(port) && client.RoundTrip(VersionRequest().frame, VersionRequest().replies);
    client.Close();
    if (served) samples.push_back(NanosecondsBetween(start, Clock::now()));
  }
  return samples;
}

// Samples of every contender in `rounds` rounds, the contenders taking turns in each.
std::vector<std::vector<double>>
TakingTurns(const std::vector<Contender>& contenders, bool setUpRow, int rounds,
            const std::function<std::vector<double>(std::uint16_t)>& measure) {
  std::vector<std::vector<double>> samples(contenders.size());
  for (int round = 0; round < rounds; ++round)
    for (std::size_t i = 0; i < contenders.size(); ++i) {
      if (contenders[i].port == 0 || (contenders[i].setUpOnly && !setUpRow)) continue;
      const std::vector<double> taken = measure(contenders[i].port);
      samples[i].insert(samples[i].end(), taken.begin(), taken.end());
    }
  return samples;
}

// A row per contender; `figure` says what a contender measured and how the engine compares.
void AddRows(Table& table, const std::string& measure, const std::vector<Contender>& contenders,
             bool setUpRow, const std::function<std::string(std::size_t)>& figure) {
  for (std::size_t i = 0; i < contenders.size(); ++i) {
    if (contenders[i].setUpOnly && !setUpRow) continue;
    table.Add(measure, contenders[i].name,
              contenders[i].port == 0 ? std::string("did not start") : figure(i));
  }
}

void MeasureDurations(Table& table, const std::vector<Contender>& contenders,
                      const std::string& measure, bool setUpRow,
                      const std::function<std::vector<double>(std::uint16_t)>& samplesOf) {
  const std::vector<std::vector<double>> samples =
      TakingTurns(contenders, setUpRow, kRounds, samplesOf);
  std::vector<Percentiles> figures;
  for (const std::vector<double>& taken : samples)
    figures.push_back(Summarize(taken));
  AddRows(table, measure, contenders, setUpRow, [&](std::size_t i) {
    if (samples[i].empty()) return std::string("no answer");
    std::string text = Format("p50 %.1f us, p99 %.1f us", figures[i].p50, figures[i].p99);
    if (i > 0) text += Format("; engine p50 = %.2fx this", figures[0].p50 / figures[i].p50);
    return text;
  });
}

void MeasureRates(Table& table, const std::vector<Contender>& contenders,
                  const std::string& measure, bool setUpRow, int rounds,
                  const std::function<double(std::uint16_t)>& rateOf) {
  const std::vector<std::vector<double>> samples =
      TakingTurns(contenders, setUpRow, rounds,
                  [&](std::uint16_t port) { return std::vector<double>{rateOf(port)}; });
  std::vector<double> rates;
  for (const std::vector<double>& taken : samples) {
    double sum = 0;
    for (const double rate : taken)
      sum += rate;
    rates.push_back(taken.empty() ? 0 : sum / static_cast<double>(taken.size()));
  }
  AddRows(table, measure, contenders, setUpRow, [&](std::size_t i) {
    std::string text = Format("%.0f /s", rates[i]);
    if (i > 0 && rates[i] > 0) text += Format("; engine = %.2fx this", rates[0] / rates[i]);
    return text;
  });
}

} // namespace

void MeasurePeerMemory(Table& table, const PeerPrograms& programs) {
  const std::vector<Contender> contenders = StartAll(programs, false);
  std::vector<double> perConnection;
  for (const Contender& contender : contenders) {
    if (contender.port == 0) {
      perConnection.push_back(0);
      continue;
    }
    // A first connection pages in each server's handshake and message code, which is
    // not memory per connection.
    BenchClient first;
    if (first.Open(contender.port)) first.RoundTrip(VersionRequest().frame, 1);
    first.Close();
    std::this_thread::sleep_for(kSettle);
    const long pid = contender.process->Pid();
    const long before = ResidentKiB(pid);
    std::vector<std::unique_ptr<BenchClient>> clients;
    for (int i = 0; i < kConnections; ++i) {
      clients.push_back(std::make_unique<BenchClient>());
      clients.back()->Open(contender.port);
    }
    std::this_thread::sleep_for(kSettle);
    perConnection.push_back(static_cast<double>(ResidentKiB(pid) - before) / kConnections);
  }
  AddRows(table, "resident memory per idle connection (16 open)", contenders, false,
          [&](std::size_t i) {
            std::string text = Format("%.1f KiB", perConnection[i]);
            if (i > 0 && perConnection[i] > 0)
              text += Format("; engine = %.2fx this", perConnection[0] / perConnection[i]);
            return text;
          });
}

void MeasurePeersOnTwoCores(Table& table, const PeerPrograms& programs) {
  const std::vector<Contender> contenders = StartAll(programs, true);
  constexpr int kHandshakeRounds = 5;
  for (const int parallel : {1, kConnections})
    MeasureRates(table, contenders,
                 parallel == 1 ? "handshakes/s, one after another" : "handshakes/s, 16 at once",
                 true, kHandshakeRounds, [&](std::uint16_t port) {
                   return HandshakesPerSecond(port, parallel, kRateMilliseconds / kHandshakeRounds);
                 });
  MeasureDurations(table, contenders, "round trip get.version", false, [](std::uint16_t port) {
    return RoundTripSamples(port, VersionRequest(), kRoundTrips / kRounds);
  });
  MeasureRates(
      table, contenders, "round trips/s, 16 connections", false, 2, [](std::uint16_t port) {
        return RoundTripsPerSecond(port, VersionRequest(), kConnections, kRateMilliseconds / 2);
      });
}

void MeasurePeersOnOneCore(Table& table, const PeerPrograms& programs) {
  const std::vector<Contender> contenders = StartAll(programs, true);
  MeasureDurations(table, contenders,
                   "connection set-up: connect, upgrade, get.version, close (one core)", true,
                   [](std::uint16_t port) { return SetUpSamples(port, kSetUps / kRounds); });
  MeasureDurations(table, contenders, "round trip get.version (one core)", false,
                   [](std::uint16_t port) {
                     return RoundTripSamples(port, VersionRequest(), kRoundTrips / kRounds);
                   });
  if (contenders.front().port != 0)
    MeasureJsonVersion(table, contenders.front().port, " (one core)");
}

void MeasureJsonVersionOnOneCore(Table& table, const std::string& hostsim) {
  const Contender engine = StartEngine(hostsim);
  if (engine.port != 0) MeasureJsonVersion(table, engine.port, " (one core)");
}

int RunFloorProcess(const std::string& kind) {
  const std::string reply = ZYL::EncodeTextFrame("version:1.2.4");
  // Ends the process when the bench closes our input; this thread only waits.
  std::thread([] {
    char byte;
    while (std::fread(&byte, 1, 1, stdin) == 1) {
    }
    std::_Exit(0);
  }).detach();
  if (kind == "thread-per-connection") {
    FloorServer floor({reply});
    std::printf("%u\n", floor.Port());
    std::fflush(stdout);
    for (;;)
      std::this_thread::sleep_for(std::chrono::hours(1));
  }
  std::uint16_t port = 0;
  const int listener = ListenLoopback(&port);
  if (listener < 0 || (kind != "one-thread" && kind != "one-frame")) return 1;
  std::printf("%u\n", port);
  std::fflush(stdout);
  if (kind == "one-thread") RunOneThreadFloor(listener, reply);
  RunOneFrameFloor(listener, reply);
}

} // namespace zylbench
