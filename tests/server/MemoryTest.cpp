// What a burst of large replies leaves behind in the host: the simulator runs as a child
// process with the module inside, so that its resident size is the engine's and the
// host's alone, and the clients here do not count.
#include "support/EngineHarness.h"
#include "support/LoadScale.h"
#include "support/ProcessResources.h"
#include "support/WsTestClient.h"

#include <gtest/gtest.h>

#ifdef __linux__
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using zyltest::Millis;
using zyltest::WsTestClient;

constexpr int kBurstClients = 16;
constexpr int kBurstRequestsEach = 4;
constexpr int kBurstCommands = 20000; // a commands.list reply of about 2.5 MB
constexpr long kAllowedGrowthKiB = 16 * 1024;

// The simulator with `projectPath`, its input held open (its end ends the simulator) and its
// output dropped.
class SimulatorProcess {
public:
  explicit SimulatorProcess(const std::string& projectPath) {
    int input[2];
    if (::pipe(input) != 0) return;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    ::posix_spawn_file_actions_addclose(&actions, input[1]);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> arguments{ZYL_TEST_HOSTSIM_PATH, "--project", projectPath};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    input_ = input[1];
  }
  ~SimulatorProcess() {
    if (input_ >= 0) ::close(input_);
    if (pid_ <= 0) return;
    for (int waited = 0; waited < 100; ++waited) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(100ms);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  bool Running() const noexcept { return pid_ > 0; }

  // VmRSS in KiB, 0 when it cannot be read.
  long ResidentKiB() const { return zyltest::ResidentKiB(std::to_string(pid_)); }

private:
  pid_t pid_ = -1;
  int input_ = -1;
};

std::string ProjectWithManyCommands(const std::string& path) {
  nlohmann::json commands = nlohmann::json::array();
  for (int i = 0; i < kBurstCommands; ++i) {
    const std::string n = std::to_string(i);
    commands.push_back({"cmd." + n, "Category " + n, "A command of the burst, number " + n,
                        "What command " + n + " does, told at some length for the list"});
  }
  std::ofstream(path) << nlohmann::json{{"commands", commands}}.dump();
  return path;
}

// Opens a protocol-2 connection and asks for the command list `requests` times.
bool FetchCommandLists(int requests) {
  WsTestClient client;
  if (!client.Connect()) return false;
  std::string upgrade = zyltest::UpgradeRequest();
  upgrade.insert(upgrade.size() - 2, "Sec-WebSocket-Protocol: zyl.v2\r\n");
  if (client.RawHandshake(upgrade).rfind("HTTP/1.1 101", 0) != 0 || !client.ReceiveText() ||
      !client.SendText(R"({"op":"identify","protocol":2})"))
    return false;
  const std::optional<std::string> identified = client.ReceiveText();
  if (!identified || identified->find("identified") == std::string::npos) return false;
  for (int i = 0; i < requests; ++i) {
    if (!client.SendText(R"({"op":"request","id":1,"method":"commands.list"})")) return false;
    const std::optional<std::string> reply = client.ReceiveText(Millis(20000));
    if (!reply || reply->size() < 1000000) return false;
  }
  return true;
}

// Regression: after bursts of large replies the simulator stayed at 56-140 MB from 6 MB, the
// heap keeping for itself what the engine had freed; inside the editor, memory the editor
// never gets back.
TEST(EngineMemory, ABurstOfLargeRepliesLeavesTheHostWithinSixteenMebibytesOfItsIdleSize) {
  if (zyltest::kSanitizedBuild) GTEST_SKIP() << "the sanitizers bring a heap of their own";
  SimulatorProcess simulator(ProjectWithManyCommands(::testing::TempDir() + "burst-project.json"));
  ASSERT_TRUE(simulator.Running());
  ASSERT_TRUE(zyltest::EngineHarness::WaitForServer(Millis(10000)));
  // Whatever is made once, on the first connection, belongs to the idle size.
  ASSERT_TRUE(FetchCommandLists(1));
  std::this_thread::sleep_for(3s); // the connection thread ends
  const long idle = simulator.ResidentKiB();
  ASSERT_GT(idle, 0);

  std::vector<std::thread> clients;
  std::atomic<int> failed{0};
  for (int i = 0; i < kBurstClients; ++i)
    clients.emplace_back([&] {
      if (!FetchCommandLists(kBurstRequestsEach)) ++failed;
    });
  for (std::thread& client : clients)
    client.join();
  EXPECT_EQ(failed.load(), 0);
  std::this_thread::sleep_for(3s); // the connection threads end
  const long after = simulator.ResidentKiB();
  EXPECT_LE(after - idle, kAllowedGrowthKiB)
      << "idle " << idle << " KiB, after the burst " << after << " KiB";
}

} // namespace
#endif
