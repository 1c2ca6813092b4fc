// The standard-input commands: one handler per word, found through one table.
#include "SimulatorImpl.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

namespace zylsim {

namespace {

// A command line split into its word and the words after it; `rest` keeps the text after
// the word untouched for commands whose argument may hold spaces.
struct CommandLine {
  std::string word;
  std::vector<std::string> arguments;
  std::string rest;
};

CommandLine Split(const std::string& line) {
  CommandLine command;
  std::istringstream words(line);
  words >> command.word;
  for (std::string argument; words >> argument;)
    command.arguments.push_back(argument);
  const std::size_t start = line.find_first_not_of(' ');
  const std::size_t space = line.find(' ', start);
  if (space != std::string::npos) command.rest = line.substr(space + 1);
  return command;
}

template <typename Integer> std::optional<Integer> ParseNumber(const std::string& text) {
  Integer value{};
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (status != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

class Failure : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

void Require(bool condition, const std::string& reason) {
  if (!condition) throw Failure(reason);
}

template <typename Integer> Integer NumberArgument(const std::string& text, const char* what) {
  const std::optional<Integer> value = ParseNumber<Integer>(text);
  Require(value.has_value(), std::string("bad ") + what + " \"" + text + "\"");
  return *value;
}

using Handler = void (*)(SimulatorParts&, const CommandLine&);

template <TransportEntry Entry> void TransportCommand(SimulatorParts& sim, const CommandLine& c) {
  Require(c.arguments.size() == 1 && (c.arguments[0] == "on" || c.arguments[0] == "off"),
          "expected on or off");
  std::string error;
  Require(sim.session.Transport(Entry, c.arguments[0] == "on", &error), error);
}

void TimecodeCommand(SimulatorParts& sim, const CommandLine& c) {
  Require(c.arguments.size() == 1 || c.arguments.size() == 2, "expected TEXT [MODE]");
  const std::int32_t mode =
      c.arguments.size() == 2 ? NumberArgument<std::int32_t>(c.arguments[1], "display mode") : 0;
  std::string error;
  Require(sim.session.Timecode(c.arguments[0], mode, &error), error);
}

void MarkerChangedCommand(SimulatorParts& sim, const CommandLine& c) {
  Require(c.arguments.size() == 1, "expected a marker index");
  std::string error;
  Require(sim.session.MarkerChanged(NumberArgument<std::uint32_t>(c.arguments[0], "marker index"),
                                    &error),
          error);
}

void MarkersRebuiltCommand(SimulatorParts& sim, const CommandLine& c) {
  Require(c.arguments.empty(), "takes no argument");
  std::string error;
  Require(sim.session.MarkersRebuilt(&error), error);
}

void SetCommand(SimulatorParts& sim, const CommandLine& c) {
  Require(c.arguments.size() >= 2, "expected KEY JSON");
  const std::string& key = c.arguments[0];
  const std::string text = c.rest.substr(c.rest.find(key) + key.size());
  nlohmann::json value = nlohmann::json::parse(text, nullptr, false);
  Require(!value.is_discarded(), "the value is not valid JSON");
  sim.host.store.SetMember(key, std::move(value));
}

void LoadCommand(SimulatorParts& sim, const CommandLine& c) {
  Require(!c.rest.empty(), "expected a file name");
  sim.host.store.Replace(LoadProjectFile(c.rest));
}

void EditCommand(SimulatorParts& sim, const CommandLine& c) {
  Require(c.arguments.size() == 1, "expected a timeline id");
  sim.host.store.Edit(NumberArgument<std::int32_t>(c.arguments[0], "timeline id"));
}

void CutCommand(SimulatorParts& sim, const CommandLine& c) {
  Require(c.arguments.size() == 2, "expected a timeline id and ticks");
  sim.host.store.Cut(NumberArgument<std::int32_t>(c.arguments[0], "timeline id"),
                     NumberArgument<std::int64_t>(c.arguments[1], "ticks"));
}

void DetachCommand(SimulatorParts& sim, const CommandLine& c) {
  Require(c.arguments.empty(), "takes no argument");
  std::string error;
  Require(sim.session.Detach(&error), error);
}

void AttachCommand(SimulatorParts& sim, const CommandLine& c) {
  Require(c.arguments.empty(), "takes no argument");
  std::string error;
  Require(sim.session.Attach(&error), error);
}

// Waits without holding the module's life cycle, so that the demo plays on meanwhile; a stop
// request ends the wait early.
void SleepCommand(SimulatorParts& sim, const CommandLine& c) {
  Require(c.arguments.size() == 1, "expected milliseconds");
  using Clock = std::chrono::steady_clock;
  const auto until =
      Clock::now() +
      std::chrono::milliseconds(NumberArgument<std::uint32_t>(c.arguments[0], "milliseconds"));
  constexpr auto kSlice = std::chrono::milliseconds(50);
  for (auto now = Clock::now(); now < until; now = Clock::now()) {
    Require(!sim.stopRequested || !sim.stopRequested(), "interrupted");
    std::this_thread::sleep_for(std::min<Clock::duration>(kSlice, until - now));
  }
}

struct Command {
  Handler handler;
  bool drivesModule; // taken under the life-cycle lock
  const char* synopsis;
  const char* effect;
};

const std::map<std::string, Command>& CommandWords() {
  static const std::map<std::string, Command> commands = {
      {"stop", {TransportCommand<TransportEntry::Stop>, true, "stop on|off", "stop button"}},
      {"play", {TransportCommand<TransportEntry::Play>, true, "play on|off", "play button"}},
      {"record",
       {TransportCommand<TransportEntry::Record>, true, "record on|off", "record button"}},
      {"rewind",
       {TransportCommand<TransportEntry::Rewind>, true, "rewind on|off", "rewind button"}},
      {"ffwd",
       {TransportCommand<TransportEntry::FastForward>, true, "ffwd on|off", "fast-forward button"}},
      {"pause", {TransportCommand<TransportEntry::Pause>, true, "pause on|off", "pause button"}},
      {"timecode",
       {TimecodeCommand, true, "timecode TEXT [MODE]",
        "a new timecode (one word) in display mode MODE (default 0)"}},
      {"marker-changed", {MarkerChangedCommand, true, "marker-changed N", "host marker N changed"}},
      {"markers-rebuilt",
       {MarkersRebuiltCommand, true, "markers-rebuilt", "the host's markers were rebuilt"}},
      {"set",
       {SetCommand, true, "set KEY JSON",
        "replace one top-level project member, e.g. set hostMarkerCount 12"}},
      {"load", {LoadCommand, true, "load FILE", "replace the whole project with a checked file"}},
      {"edit",
       {EditCommand, true, "edit ID",
        "change timeline ID's segments without changing their count"}},
      {"cut", {CutCommand, true, "cut ID TICKS", "split timeline ID's segment that holds TICKS"}},
      {"detach", {DetachCommand, true, "detach", "DestroySurface, then ReleaseInstanceHolder"}},
      {"attach", {AttachCommand, true, "attach", "AllocateInstanceHolder, then CreateSurface"}},
      {"sleep", {SleepCommand, false, "sleep MS", "wait MS milliseconds (for scripts)"}},
  };
  return commands;
}

} // namespace

bool Simulator::Execute(const std::string& line) {
  const CommandLine command = Split(line);
  try {
    const auto found = CommandWords().find(command.word);
    Require(found != CommandWords().end(), "unknown command");
    const Command& handler = found->second;
    if (handler.drivesModule) {
      std::lock_guard<std::mutex> lock(impl_->lifecycle);
      handler.handler(*impl_, command);
    } else {
      handler.handler(*impl_, command);
    }
  } catch (const std::exception& error) {
    impl_->host.Print({{"event", "error"}, {"command", line}, {"reason", error.what()}});
    return false;
  }
  impl_->host.Print({{"event", "ok"}, {"command", line}});
  return true;
}

std::vector<std::pair<std::string, std::string>> Simulator::CommandHelp() {
  std::vector<std::pair<std::string, std::string>> help;
  for (const auto& [word, command] : CommandWords())
    help.emplace_back(command.synopsis, command.effect);
  return help;
}

void Simulator::SetStopCheck(std::function<bool()> stopRequested) {
  impl_->stopRequested = std::move(stopRequested);
}

} // namespace zylsim
