// The standard-input commands: one handler per word, found through one table.
#include "SimulatorImpl.h"

#include <charconv>
#include <map>
#include <sstream>
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

const std::map<std::string, Handler>& Handlers() {
  static const std::map<std::string, Handler> handlers = {
      {"stop", TransportCommand<TransportEntry::Stop>},
      {"play", TransportCommand<TransportEntry::Play>},
      {"record", TransportCommand<TransportEntry::Record>},
      {"rewind", TransportCommand<TransportEntry::Rewind>},
      {"ffwd", TransportCommand<TransportEntry::FastForward>},
      {"pause", TransportCommand<TransportEntry::Pause>},
      {"timecode", TimecodeCommand},
      {"marker-changed", MarkerChangedCommand},
      {"markers-rebuilt", MarkersRebuiltCommand},
      {"set", SetCommand},
      {"load", LoadCommand},
      {"edit", EditCommand},
      {"cut", CutCommand},
      {"detach", DetachCommand},
      {"attach", AttachCommand},
  };
  return handlers;
}

} // namespace

bool Simulator::Execute(const std::string& line) {
  const CommandLine command = Split(line);
  try {
    const auto handler = Handlers().find(command.word);
    Require(handler != Handlers().end(), "unknown command");
    std::lock_guard<std::mutex> lock(impl_->lifecycle);
    handler->second(*impl_, command);
  } catch (const std::exception& error) {
    impl_->host.Print({{"event", "error"}, {"command", line}, {"reason", error.what()}});
    return false;
  }
  impl_->host.Print({{"event", "ok"}, {"command", line}});
  return true;
}

} // namespace zylsim
