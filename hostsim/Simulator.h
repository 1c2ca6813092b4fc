// The editor's stand-in: offers every host suite from a project, loads the engine module
// through its one export and drives its life cycle. Used by the zyl-hostsim program and,
// in-process, by the tests, fuzzers and benchmarks.
#pragma once

#include "hostsdk/BasicSuite.h"
#include "hostsdk/Types.h"

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zylsim {

// A project file that cannot be read or parsed.
class ProjectError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Reads a project file (the format docs/SIMULATOR.md describes) with the strict rules of
// Strictness::EditorValues; throws ProjectError naming the file and the fault.
nlohmann::json LoadProjectFile(const std::string& path);
// The built-in demo project.
nlohmann::json DemoProject();

class Simulator {
public:
  // `output` receives every stdout line (one JSON object, without the newline).
  using OutputSink = std::function<void(const std::string& line)>;

  // Validates the project; throws ProjectError when it is malformed.
  Simulator(const nlohmann::json& project, OutputSink output);
  ~Simulator(); // shuts the module down if it still runs (without a ledger line)
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // The host's basic suite, usable without a module (in-process tests drive the engine's
  // classes with it directly).
  const hostsdk::BasicSuite* BasicSuite() const;

  // Loads the module and finds EntryPoint; false with a one-line reason otherwise.
  bool LoadModule(const std::string& path, std::string* error);
  // EntryPoint, PluginStartup, GetSuiteList, AllocateInstanceHolder, CreateSurface with a
  // non-zero host reference; prints {"event":"ready"}. False when a step failed.
  bool Start();
  // The same, with a one-line reason when a step failed.
  bool StartModule(std::string* error);
  // DestroySurface, ReleaseInstanceHolder, PluginShutdown; then prints the ledger line.
  // Returns whether the ledger is balanced. Idempotent.
  bool Shutdown();

  // Carries out one standard-input command line; prints ok or error. Returns false for an
  // error line. "quit" is not handled here (the caller shuts down).
  bool Execute(const std::string& line);
  // Each command Execute knows: its synopsis and what it does, for a usage text.
  static std::vector<std::pair<std::string, std::string>> CommandHelp();
  // Asked while a `sleep` command waits; true ends the wait with an error line. Set it
  // before the first Execute.
  void SetStopCheck(std::function<bool()> stopRequested);

  // Starts/stops the --demo playback thread.
  void StartDemo();
  void StopDemo();

  // The ledger as printed ({"event":"ledger","balanced":...}) and its verdict.
  nlohmann::json LedgerJson() const;
  bool LedgerBalanced() const;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

} // namespace zylsim
