// zyl-bench: measures the engine side by side with the floor (a raw ping-pong inside this
// program) and the peer (Node's `ws` echo server), with the same client for all three, and
// prints one table. Everything it starts stops by itself; run it in a private network
// namespace (scripts/bench.sh does), since the engine binds 127.0.0.1:7890.
//   zyl-bench [NODE_SCRIPT]     the whole table
//   zyl-bench --idle HOSTSIM    only the idle-CPU row, for the simulator at HOSTSIM
//   zyl-bench --memory          only the resident-size rows
//   zyl-bench --playhead        only the playhead push beside the vitals thread's push
//   zyl-bench --peers           the engine beside Boost.Beast, websocketpp, Node's `ws` and
//                               the floors, each a process of its own
//   zyl-bench --json-version [HOSTSIM]  only protocol 2's version beside get.version, one
//                               core, of the simulator at HOSTSIM (default: this build's)
#include "BenchClient.h"
#include "ChildProcess.h"
#include "EngineHost.h"
#include "FloorServer.h"
#include "IdleCpu.h"
#include "JsonProtocolRows.h"
#include "Measures.h"
#include "Memory.h"
#include "PeerRows.h"
#include "PushLatency.h"
#include "Stats.h"
#include "Table.h"
#include "TopicPushLatency.h"
#include "server/FrameWriter.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sched.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace zylbench {

namespace {

// Progress on standard error, so a slow section shows where the run is.
void Progress(const char* section) { std::fprintf(stderr, "zyl-bench: %s\n", section); }

constexpr int kRoundTrips = 4000; // per server and command
// Servers take turns this many times, each turn on a new connection: where the scheduler
// places a connection's threads (one core or two) moves its round trip by tens of
// microseconds, so many short turns average over placements instead of sampling a few.
constexpr int kRounds = 20;
constexpr int kRateMilliseconds = 1000;
constexpr int kConnections = 16;
constexpr int kPushEvents = 300;
// A timecode each frame of 25 a second, as the editor sends while it plays.
constexpr auto kTimecodeSpacing = std::chrono::milliseconds(40);
// Beside the slow readers, the rest of the connection limit reads at once.
constexpr int kSlowReaders = 14;
constexpr int kIdleSeconds = 60;
constexpr int kScanRuns = 3;
constexpr const char* kScanCommand = "debug.tlscan:0:4000000:100000";
constexpr double kScanIds = 4'000'000.0;
// A cut of the nested multicam timeline of the demo project (id 17, 4 s): the segment
// starts exactly there, so the exact pass answers on the current timeline.
constexpr const char* kAngleCommand = "get.angle:1016064000000:-1";

struct Command {
  std::string label;
  std::string text;
  std::string lastReplyPrefix;  // read replies up to one starting with this
  int roundTrips = kRoundTrips; // per server
};

struct Servers {
  std::uint16_t engine = kEnginePort;
  std::uint16_t peer = 0;
  std::string suffix; // appended to every measure's label, naming the run's set-up
};

std::string Micro(const Percentiles& p) { return Format("p50 %.1f us, p99 %.1f us", p.p50, p.p99); }

// Sends `command` to the engine and returns its replies as the engine framed them.
std::vector<std::string> CaptureReplies(const Command& command) {
  BenchClient client;
  std::vector<std::string> frames;
  std::string text;
  if (!client.Open(kEnginePort) || !client.Send(MaskedTextFrame(command.text))) return frames;
  while (client.ReceiveText(text)) {
    frames.push_back(ZYL::EncodeTextFrame(text));
    if (text.compare(0, command.lastReplyPrefix.size(), command.lastReplyPrefix) == 0) break;
  }
  return frames;
}

// Round-trip samples of the servers, taking turns in kRounds rounds.
void MeasureRoundTrips(Table& table, const Servers& servers, const Command& command) {
  const std::vector<std::string> replies = CaptureReplies(command);
  const std::string measure = "round trip " + command.label + servers.suffix;
  if (replies.empty()) {
    table.Add(measure, "engine", "no answer");
    return;
  }
  FloorServer floor(replies), fieldFloor(replies, FloorReads::PerField);
  const Request engineRequest{MaskedTextFrame(command.text), static_cast<int>(replies.size())};
  const Request peerRequest{engineRequest.frame, 1};
  std::vector<double> engine, raw, fields, peer;
  const int perRound = command.roundTrips / kRounds;
  const auto add = [perRound](std::vector<double>& to, std::uint16_t port, const Request& request) {
    const std::vector<double> from = RoundTripSamples(port, request, perRound);
    to.insert(to.end(), from.begin(), from.end());
  };
  for (int round = 0; round < kRounds; ++round) {
    add(raw, floor.Port(), engineRequest);
    add(fields, fieldFloor.Port(), engineRequest);
    add(engine, servers.engine, engineRequest);
    if (servers.peer != 0) add(peer, servers.peer, peerRequest);
  }
  const Percentiles e = Summarize(engine), f = Summarize(raw), ff = Summarize(fields);
  table.Add(measure, "engine", Micro(e) + Format(" (%zu replies)", replies.size()));
  table.Add(measure, "floor", Micro(f) + Format("; engine p50 = %.2fx floor", e.p50 / f.p50));
  table.Add(measure, "floor, field reads",
            Micro(ff) + Format("; engine p50 = %.2fx this floor", e.p50 / ff.p50));
  if (servers.peer != 0) {
    const Percentiles p = Summarize(peer);
    table.Add(measure, "node ws echo",
              Micro(p) + Format("; engine p50 = %.2fx peer", e.p50 / p.p50));
  }
}

void MeasureRates(Table& table, const Servers& servers, const std::vector<int>& connectionCounts) {
  FloorServer floor(CaptureReplies({"get.version", "get.version", "version:"}));
  const Request request{MaskedTextFrame("get.version"), 1};
  for (const int connections : connectionCounts) {
    double engine = 0, peer = 0, raw = 0;
    for (int round = 0; round < 2; ++round) {
      raw += RoundTripsPerSecond(floor.Port(), request, connections, kRateMilliseconds / 2);
      engine += RoundTripsPerSecond(servers.engine, request, connections, kRateMilliseconds / 2);
      if (servers.peer != 0)
        peer += RoundTripsPerSecond(servers.peer, request, connections, kRateMilliseconds / 2);
    }
    const std::string measure =
        Format("round trips/s, %d connection%s", connections, connections > 1 ? "s" : "") +
        servers.suffix;
    table.Add(measure, "engine get.version", Format("%.0f /s", engine / 2));
    table.Add(measure, "floor", Format("%.0f /s", raw / 2));
    if (servers.peer != 0)
      table.Add(measure, "node ws echo",
                Format("%.0f /s; engine = %.2fx peer", peer / 2, engine / peer));
  }
}

void MeasureHandshakes(Table& table, const Servers& servers) {
  FloorServer floor({});
  // The servers take turns in short rounds, so that a change in the machine's load over the
  // measure falls on all of them alike.
  constexpr int kHandshakeRounds = 5;
  const int roundMilliseconds = kRateMilliseconds / kHandshakeRounds;
  for (const int parallel : {1, kConnections}) {
    double engine = 0, raw = 0, peer = 0;
    for (int round = 0; round < kHandshakeRounds; ++round) {
      engine += HandshakesPerSecond(servers.engine, parallel, roundMilliseconds) / kHandshakeRounds;
      raw += HandshakesPerSecond(floor.Port(), parallel, roundMilliseconds) / kHandshakeRounds;
      if (servers.peer != 0)
        peer += HandshakesPerSecond(servers.peer, parallel, roundMilliseconds) / kHandshakeRounds;
    }
    const std::string measure =
        parallel == 1 ? "handshakes/s, one after another" : "handshakes/s, 16 at once";
    table.Add(measure, "engine", Format("%.0f /s", engine));
    table.Add(measure, "floor", Format("%.0f /s; engine = %.2fx floor", raw, engine / raw));
    if (servers.peer != 0)
      table.Add(measure, "node ws echo",
                Format("%.0f /s; engine = %.2fx peer", peer, engine / peer));
  }
}

void MeasurePush(Table& table, zylsim::Simulator& sim) {
  const PushFigures all = PushLatencySamples(sim, kEnginePort, kConnections, kPushEvents);
  table.Add("push latency, 16 subscribers", "engine",
            Micro(Summarize(all.samples)) +
                Format(" (%zu of %d arrivals)", all.samples.size(), kPushEvents * kConnections));
  const int healthy = kConnections - kSlowReaders;
  const PushFigures beside =
      PushLatencySamples(sim, kEnginePort, healthy, kPushEvents, kSlowReaders);
  table.Add("push latency, 2 subscribers beside 14 slow readers", "engine",
            Micro(Summarize(beside.samples)) +
                Format(" (%zu of %d arrivals; %d slow readers cut off)", beside.samples.size(),
                       kPushEvents * healthy, beside.slowReadersCutOff));
}

// The playhead topic's push of each new timecode beside the vitals thread's push of a
// transport event, both to 16 JSON-protocol subscribers, one notification each 40 ms.
void MeasurePlayhead(Table& table, zylsim::Simulator& sim) {
  const struct {
    PushedTopic topic;
    const char* measure;
  } rows[] = {
      {PushedTopic::Playhead, "timecode to playhead push, 16 subscribers, 1 per 40 ms"},
      {PushedTopic::Transport,
       "play to transport push (vitals thread), 16 subscribers, 1 per 40 ms"},
  };
  for (const auto& row : rows) {
    const PushFigures figures = TopicPushLatencySamples(sim, kEnginePort, row.topic, kConnections,
                                                        kPushEvents, kTimecodeSpacing);
    table.Add(row.measure, "engine",
              Micro(Summarize(figures.samples)) + Format(" (%zu of %d arrivals)",
                                                         figures.samples.size(),
                                                         kPushEvents * kConnections));
  }
}

void MeasureScan(Table& table) {
  BenchClient client;
  if (!client.Open(kEnginePort)) return;
  std::vector<double> runs;
  std::string reply;
  for (int run = 0; run < kScanRuns; ++run) {
    const Clock::time_point start = Clock::now();
    if (!client.Send(MaskedTextFrame(kScanCommand)) || !client.ReceiveText(reply)) return;
    runs.push_back(NanosecondsBetween(start, Clock::now()));
  }
  std::sort(runs.begin(), runs.end());
  const double median = runs[runs.size() / 2];
  table.Add("scan of 4,000,000 ids (median of 3)", "engine",
            Format("%.1f ms, %.1f ns/id (fastest %.1f ms)", median / 1e6, median / kScanIds,
                   runs.front() / 1e6));
}

void MeasureIdleCpuRow(Table& table, const char* hostsimPath) {
  const IdleCpuFigures idle = MeasureIdleCpu(hostsimPath, kEnginePort, kConnections, kIdleSeconds);
  const std::string measure = "CPU per 60 s, 16 idle connections, no subscriber";
  if (!idle.measured) {
    table.Add(measure, "zyl-hostsim", "not measured");
    return;
  }
  table.Add(measure, "zyl-hostsim",
            Format("%.2f ms, all %d threads (main thread %.2f ms)",
                   idle.totalMilliseconds * 60 / kIdleSeconds, idle.threads,
                   idle.mainThreadMilliseconds * 60 / kIdleSeconds));
}

void MeasureMemoryRows(Table& table) {
  const MemoryFigures memory = MeasureMemory(ZYL_BENCH_HOSTSIM_PATH, kEnginePort, kConnections);
  if (!memory.measured) {
    table.Add("resident size", "zyl-hostsim", "not measured");
    return;
  }
  table.Add("resident size, idle", "zyl-hostsim", Format("%ld KiB", memory.idleKiB));
  table.Add(
      "resident size, 16 idle connections", "zyl-hostsim",
      Format("%ld KiB (+%ld KiB)", memory.idleClientsKiB, memory.idleClientsKiB - memory.idleKiB));
  table.Add(
      "resident size, 16 busy connections", "zyl-hostsim",
      Format("%ld KiB (+%ld KiB)", memory.busyClientsKiB, memory.busyClientsKiB - memory.idleKiB));

  const BurstFigures burst =
      MeasureMemoryAfterBurst(ZYL_BENCH_HOSTSIM_PATH, kEnginePort, kConnections);
  if (!burst.measured) {
    table.Add("resident size, burst of large replies", "zyl-hostsim", "not measured");
    return;
  }
  table.Add("resident size, 20,000 commands, idle", "zyl-hostsim",
            Format("%ld KiB", burst.idleKiB));
  table.Add("resident size, 16 clients x 4 commands.list (2.5 MB)", "zyl-hostsim",
            Format("peak %ld KiB (+%ld KiB)", burst.peakKiB, burst.peakKiB - burst.idleKiB));
  table.Add("resident size, idle after that burst", "zyl-hostsim",
            Format("%ld KiB (+%ld KiB)", burst.afterKiB, burst.afterKiB - burst.idleKiB));
}

std::uint16_t StartPeer(ChildProcess& node) {
  std::string line;
  if (!node.Running() || !node.ReadLine(line, 10000)) return 0;
  const auto port = static_cast<std::uint16_t>(std::atoi(line.c_str()));
  if (port == 0) std::fprintf(stderr, "zyl-bench: the Node peer did not start\n");
  return port;
}

const std::vector<Command>& RoundTripCommands() {
  static const std::vector<Command> commands = {
      {"get.version", "get.version", "version:"},
      {"get.angle (current timeline)", kAngleCommand, "angle:"},
      {"get.sequence", "get.sequence", "sequence"},
      {"get.commands (50)", "get.commands", "commands.", 200},
  };
  return commands;
}

// The engine, the Node peer and the floor, each started by this call, side by side.
bool MeasureServers(Table& table, const std::string& nodeScript, bool oneCore) {
  ChildProcess node({"node", nodeScript});
  Servers servers;
  servers.peer = StartPeer(node);
  if (oneCore) servers.suffix = " (one core)";

  Progress(oneCore ? "engine start, one core" : "engine start");
  EngineHost engine;
  if (!engine.Started()) return false;
  // The first angle query finds timeline 17 and makes it the current one.
  CaptureReplies({"get.angle", kAngleCommand, "angle:"});
  for (const Command& command : RoundTripCommands()) {
    Progress(command.label.c_str());
    MeasureRoundTrips(table, servers, command);
  }
  Progress("protocol 2");
  MeasureJsonProtocol(table, servers.engine, servers.suffix);
  Progress("round trips per second");
  if (oneCore) {
    MeasureRates(table, servers, {1});
    return true;
  }
  MeasureRates(table, servers, {1, kConnections});
  Progress("push latency");
  MeasurePush(table, engine.Sim());
  Progress("playhead push");
  MeasurePlayhead(table, engine.Sim());
  Progress("handshakes");
  MeasureHandshakes(table, servers);
  Progress("scan");
  MeasureScan(table);
  return true;
}

// Keeps this thread, and every thread and child process started from it from now on, on
// the core it runs on. With every party on one core no reply waits for another core to
// wake up, so what remains is each server's own work per message.
bool PinToOneCore() {
  const int core = sched_getcpu();
  if (core < 0) return false;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(core, &set);
  return sched_setaffinity(0, sizeof set, &set) == 0;
}

// The path of this very program, so that it can start itself as a floor.
std::string OwnPath() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// The comparison with the other servers: memory, then two cores, then one.
int RunPeers(const std::string& nodeScript) {
  const PeerPrograms programs{OwnPath(), ZYL_BENCH_HOSTSIM_PATH, ZYL_BENCH_BEAST_PATH,
                              ZYL_BENCH_WEBSOCKETPP_PATH, nodeScript};
  Table table;
  Progress("memory per idle connection");
  MeasurePeerMemory(table, programs);
  Progress("two cores");
  MeasurePeersOnTwoCores(table, programs);
  Progress("one core");
  if (PinToOneCore())
    MeasurePeersOnOneCore(table, programs);
  else
    std::fprintf(stderr, "zyl-bench: the one-core pass did not run\n");
  table.Print();
  return 0;
}

} // namespace

} // namespace zylbench

int main(int argc, char** argv) {
  using namespace zylbench;
  Table table;
  // zyl-bench --idle HOSTSIM: only the idle row, for a simulator built elsewhere.
  if (argc == 3 && std::string(argv[1]) == "--idle") {
    MeasureIdleCpuRow(table, argv[2]);
    table.Print();
    return 0;
  }
  // zyl-bench --handshakes [NODE-SCRIPT]: only the connection set-up rows, for profiling.
  if (argc >= 2 && std::string(argv[1]) == "--handshakes") {
    ChildProcess node({"node", argc > 2 ? argv[2] : ZYL_BENCH_NODE_SCRIPT});
    Servers servers;
    servers.peer = StartPeer(node);
    EngineHost engine;
    if (!engine.Started()) return 1;
    MeasureHandshakes(table, servers);
    table.Print();
    return 0;
  }
  if (argc == 2 && std::string(argv[1]) == "--memory") {
    MeasureMemoryRows(table);
    table.Print();
    return 0;
  }
  // zyl-bench --playhead: only the playhead and transport push rows.
  if (argc == 2 && std::string(argv[1]) == "--playhead") {
    EngineHost engine;
    if (!engine.Started()) return 1;
    MeasurePlayhead(table, engine.Sim());
    table.Print();
    return 0;
  }
  if (argc >= 2 && std::string(argv[1]) == "--json-version") {
    if (!PinToOneCore()) return 1;
    MeasureJsonVersionOnOneCore(table, argc > 2 ? argv[2] : ZYL_BENCH_HOSTSIM_PATH);
    table.Print();
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "--floor") return RunFloorProcess(argv[2]);
  if (argc >= 2 && std::string(argv[1]) == "--peers")
    return RunPeers(argc > 2 ? argv[2] : ZYL_BENCH_NODE_SCRIPT);
  const std::string nodeScript = argc > 1 ? argv[1] : ZYL_BENCH_NODE_SCRIPT;

  // The simulator children bind the engine's port, so they come before the in-process engine.
  Progress("memory");
  MeasureMemoryRows(table);
  Progress("idle CPU (one minute)");
  MeasureIdleCpuRow(table, ZYL_BENCH_HOSTSIM_PATH);
  if (!MeasureServers(table, nodeScript, false)) return 1;
  // Last, because a pinned thread cannot be let go for the threads it has already started.
  if (!PinToOneCore() || !MeasureServers(table, nodeScript, true))
    std::fprintf(stderr, "zyl-bench: the one-core pass did not run\n");
  table.Print();
  return 0;
}
