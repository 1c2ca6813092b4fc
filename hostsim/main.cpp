// zyl-hostsim [--project FILE] [--module PATH] [--demo]
// Exit codes: 0 balanced ledger, 3 unbalanced, 2 the simulator could not start.
#include "ModuleLoader.h"
#include "Simulator.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

constexpr int kExitBalanced = 0;
constexpr int kExitStartFailed = 2;
constexpr int kExitUnbalanced = 3;

volatile std::sig_atomic_t stopSignal = 0;
extern "C" void OnStopSignal(int) { stopSignal = 1; }

struct Options {
  std::optional<std::string> project;
  std::string module;
  bool demo = false;
};

int StartFailure(const std::string& problem) {
  std::cerr << "zyl-hostsim: " << problem << std::endl;
  return kExitStartFailed;
}

std::optional<Options> ParseOptions(int argc, char** argv, std::string* error) {
  Options options;
  options.module = zylsim::DefaultModulePath();
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--demo") {
      options.demo = true;
    } else if (option == "--project" && i + 1 < argc) {
      options.project = argv[++i];
    } else if (option == "--module" && i + 1 < argc) {
      options.module = argv[++i];
    } else if (option == "--project" || option == "--module") {
      *error = option + " needs a value";
      return std::nullopt;
    } else {
      *error = "unknown option " + option +
               " (usage: zyl-hostsim [--project FILE] [--module PATH] [--demo])";
      return std::nullopt;
    }
  }
  return options;
}

// Lines from stdin, read on a thread of their own so that a signal is noticed while the
// reader waits. The reader stops after "quit" or at the end of input. The queue is shared
// with the reader, which may outlive this object (it is detached while it waits for input).
class StdinLines {
public:
  StdinLines()
      : queue_(std::make_shared<Queue>()), reader_([queue = queue_] {
          for (std::string line; std::getline(std::cin, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            queue->Push(line);
            if (line == "quit") break;
          }
          queue->Push(std::nullopt);
        }) {}
  // The reader may still wait for input after a signal; the process ends without it.
  ~StdinLines() { reader_.detach(); }

  // The next line; none at the end of input; waits at most `timeout` (then an empty line).
  std::optional<std::string> Next(std::chrono::milliseconds timeout, bool* timedOut) {
    std::unique_lock<std::mutex> lock(queue_->mutex);
    *timedOut = !queue_->ready.wait_for(lock, timeout, [this] { return !queue_->lines.empty(); });
    if (*timedOut) return std::string();
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

void RunCommands(zylsim::Simulator& simulator) {
  StdinLines input;
  while (stopSignal == 0) {
    bool timedOut = false;
    const std::optional<std::string> line = input.Next(std::chrono::milliseconds(100), &timedOut);
    if (timedOut) continue;
    if (!line || *line == "quit") return;
    if (line->find_first_not_of(" \t") == std::string::npos) continue;
    simulator.Execute(*line);
  }
}

} // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
#ifdef SIGPIPE
  // the editor never dies of a closed socket or pipe: neither may its stand-in
  std::signal(SIGPIPE, SIG_IGN);
#endif

  std::string error;
  const std::optional<Options> options = ParseOptions(argc, argv, &error);
  if (!options) return StartFailure(error);

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
  if (options->demo) simulator->StartDemo();
  RunCommands(*simulator);
  const bool balanced = simulator->Shutdown();
  std::fflush(stdout);
  if (stopSignal != 0) std::_Exit(balanced ? kExitBalanced : kExitUnbalanced);
  return balanced ? kExitBalanced : kExitUnbalanced;
}
