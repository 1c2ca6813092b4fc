// zyl-hostsim [--project FILE] [--module PATH] [--demo] [--script FILE] [--serve]
//             | --check FILE | --help
// Exit codes: 0 balanced ledger (or a valid project for --check), 3 unbalanced, 2 the simulator
// could not start (or the project is not valid).
#include "ModuleLoader.h"
#include "Simulator.h"
#include "StopSignals.h"

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr int kExitBalanced = 0;
constexpr int kExitStartFailed = 2;
constexpr int kExitUnbalanced = 3;

constexpr const char* kSynopsis = "zyl-hostsim [--project FILE] [--module PATH] [--demo] [--script "
                                  "FILE] [--serve] | --check FILE | --help";

struct Options {
  std::optional<std::string> project;
  std::string module;
  bool demo = false;
  std::optional<std::string> script;
  std::optional<std::string> check;
  bool serve = false;
  bool help = false;
};

int StartFailure(const std::string& problem) {
  std::cerr << "zyl-hostsim: " << problem << std::endl;
  return kExitStartFailed;
}

void PrintUsage() {
  std::cout << "usage: " << kSynopsis << "\n"
            << "Loads the engine module as the editor does and lets stdin steer it; prints one "
               "JSON event a line.\n"
            << "options:\n"
            << "  --project FILE  the project to show (default: the built-in demo project)\n"
            << "  --module PATH   the module to load (default: ZYL_Engine.acsrf beside this "
               "program)\n"
            << "  --demo          play the project by itself: transport, timecode, meters, "
               "edits\n"
            << "  --script FILE   run the commands in FILE first (blank and # lines skipped), "
               "then read stdin\n"
            << "  --serve         read no stdin: run until SIGTERM or SIGINT (Ctrl-C), then "
               "print the ledger\n"
            << "  --check FILE    only check the project FILE: one line and exit 0 when valid, "
               "2 with the fault\n"
            << "  --help          print this text\n"
            << "stdin commands (one a line):\n";
  for (const auto& [synopsis, effect] : zylsim::Simulator::CommandHelp())
    std::cout << "  " << synopsis
              << std::string(synopsis.size() < 22 ? 22 - synopsis.size() : 1, ' ') << effect
              << "\n";
  std::cout << "  quit                  shut the module down, print the ledger and exit\n"
            << "exit codes: 0 balanced ledger, 3 unbalanced, 2 bad option, project or module\n";
}

std::optional<Options> ParseOptions(int argc, char** argv, std::string* error) {
  Options options;
  options.module = zylsim::DefaultModulePath();
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    std::optional<std::string>* value = option == "--project"  ? &options.project
                                        : option == "--script" ? &options.script
                                        : option == "--check"  ? &options.check
                                                               : nullptr;
    if (option == "--demo") {
      options.demo = true;
    } else if (option == "--serve") {
      options.serve = true;
    } else if (option == "--help" || option == "-h") {
      options.help = true;
    } else if ((value != nullptr || option == "--module") && i + 1 >= argc) {
      *error = option + " needs a value";
      return std::nullopt;
    } else if (value != nullptr) {
      *value = argv[++i];
    } else if (option == "--module") {
      options.module = argv[++i];
    } else {
      *error = "unknown option " + option + " (usage: " + kSynopsis + ")";
      return std::nullopt;
    }
  }
  return options;
}

std::string WithoutCarriageReturn(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// The lines of a script file; none when it cannot be read, with the system's reason in `why`.
std::optional<std::vector<std::string>> ScriptLines(const std::string& path, std::string* why) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *why = std::generic_category().message(errno);
    return std::nullopt;
  }
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);)
    lines.push_back(WithoutCarriageReturn(line));
  return lines;
}

// Lines from stdin, read on a thread of their own so that a stop signal is noticed while
// the reader waits. The reader stops after "quit" or at the end of input. The queue is
// shared with the reader, which may outlive this object (it is detached while it waits for
// input). Nothing wakes the waiting side but a line, the end of input or a stop signal:
// an idle simulator costs no CPU.
class StdinLines {
public:
  StdinLines()
      : queue_(std::make_shared<Queue>()), reader_([queue = queue_] {
          for (std::string line; std::getline(std::cin, line);) {
            line = WithoutCarriageReturn(std::move(line));
            queue->Push(line);
            if (line == "quit") break;
          }
          queue->Push(std::nullopt);
        }) {
    zylsim::OnStopSignal([queue = queue_] { queue->Push(std::nullopt); });
  }
  // The reader may still wait for input after a signal; the process ends without it.
  ~StdinLines() {
    zylsim::OnStopSignal(nullptr);
    reader_.detach();
  }

  // The next line; none at the end of input or after a stop signal.
  std::optional<std::string> Next() {
    std::unique_lock<std::mutex> lock(queue_->mutex);
    queue_->ready.wait(lock, [this] { return !queue_->lines.empty(); });
    std::optional<std::string> line = queue_->lines.front();
    queue_->lines.pop_front();
    return line;
  }

private:
  struct Queue {
    void Push(std::optional<std::string> line) {
      std::lock_guard<std::mutex> lock(mutex);
      lines.push_back(std::move(line));
      ready.notify_one();
    }
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::optional<std::string>> lines;
  };

  std::shared_ptr<Queue> queue_;
  std::thread reader_;
};

// Carries out one command line; false for quit. Blank lines and # comments do nothing.
bool RunLine(zylsim::Simulator& simulator, const std::string& line) {
  if (line == "quit") return false;
  const std::size_t start = line.find_first_not_of(" \t");
  if (start != std::string::npos && line[start] != '#') simulator.Execute(line);
  return true;
}

// Returns false when the script quit or a stop signal came.
bool RunScript(zylsim::Simulator& simulator, const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    if (zylsim::StopSignalled() || !RunLine(simulator, line)) return false;
  return !zylsim::StopSignalled();
}

void RunCommands(zylsim::Simulator& simulator) {
  StdinLines input;
  while (!zylsim::StopSignalled()) {
    const std::optional<std::string> line = input.Next();
    if (!line) {
      // Under nohup, a service manager or `< /dev/null` the run would otherwise end at once
      // without a word.
      if (!zylsim::StopSignalled())
        std::cerr << "zyl-hostsim: standard input ended, so the simulator stops as on quit "
                     "(--serve runs without input until SIGTERM or Ctrl-C)"
                  << std::endl;
      return;
    }
    if (!RunLine(simulator, *line)) return;
  }
}

// Runs until a stop signal, reading nothing.
void Serve() {
  struct Stopped {
    std::mutex lock;
    std::condition_variable came;
    bool signalled = false;
  };
  const auto stopped = std::make_shared<Stopped>();
  zylsim::OnStopSignal([stopped] {
    const std::lock_guard<std::mutex> guard(stopped->lock);
    stopped->signalled = true;
    stopped->came.notify_one();
  });
  std::unique_lock<std::mutex> guard(stopped->lock);
  stopped->came.wait(guard, [&] { return stopped->signalled; });
}

} // namespace

int main(int argc, char** argv) {
  zylsim::CatchStopSignals();
#ifdef SIGPIPE
  // the editor never dies of a closed socket or pipe: neither may its stand-in
  std::signal(SIGPIPE, SIG_IGN);
#endif

  std::string error;
  const std::optional<Options> options = ParseOptions(argc, argv, &error);
  if (!options) return StartFailure(error);
  if (options->help) {
    PrintUsage();
    return kExitBalanced;
  }
  if (options->check) {
    try {
      zylsim::LoadProjectFile(*options->check);
      std::cout << "zyl-hostsim: project file " << *options->check << " is valid" << std::endl;
      return kExitBalanced;
    } catch (const zylsim::ProjectError& problem) {
      return StartFailure(problem.what());
    }
  }
  std::vector<std::string> script;
  if (options->script) {
    std::optional<std::vector<std::string>> lines = ScriptLines(*options->script, &error);
    if (!lines) return StartFailure("cannot read script file " + *options->script + ": " + error);
    script = std::move(*lines);
  }

  std::optional<zylsim::Simulator> simulator;
  try {
    const nlohmann::json project =
        options->project ? zylsim::LoadProjectFile(*options->project) : zylsim::DemoProject();
    simulator.emplace(project, [](const std::string& line) {
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
    });
  } catch (const zylsim::ProjectError& problem) {
    return StartFailure(problem.what());
  }
  if (!simulator->LoadModule(options->module, &error)) return StartFailure(error);
  if (!simulator->StartModule(&error)) return StartFailure(error);
  simulator->SetStopCheck([] { return zylsim::StopSignalled(); });
  if (options->demo) simulator->StartDemo();
  // After its script the simulator goes on with stdin, so that a replayed session can be
  // continued by hand; a script that should end the run says quit.
  if (RunScript(*simulator, script)) {
    if (options->serve)
      Serve();
    else
      RunCommands(*simulator);
  }
  const bool balanced = simulator->Shutdown();
  std::fflush(stdout);
  if (zylsim::StopSignalled()) std::_Exit(balanced ? kExitBalanced : kExitUnbalanced);
  return balanced ? kExitBalanced : kExitUnbalanced;
}
