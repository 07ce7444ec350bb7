// Black-box tests of runs that cannot finish: the output's file system fills up, another process
// cuts the input short, or the run is asked to stop. None may crash, print to standard error,
// leave an output behind or change the input.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/programs.h"
#include "support/temp_folder.h"
#include "support/test_data.h"

namespace {

using lzpack::test::DataKind;
using lzpack::test::make_data;
using lzpack::test::ProcessResult;
using lzpack::test::read_file;
using lzpack::test::read_first_line;
using lzpack::test::StartedProcess;
using lzpack::test::TempFolder;
using lzpack::test::write_file;
using Bytes = std::vector<std::byte>;
namespace fs = std::filesystem;

// brotli at level 9 (codec 3) takes seconds over this much text and reads it a little at a time,
// so a run is still reading its input long after it printed its first line.
constexpr std::size_t kSlowInputBytes = 4 << 20;
const std::vector<std::string> kSlowSettings = {"3", "9"};

// Signals and mounts are POSIX matters: these run the native build only.
std::string program(const std::string& name) {
  return lzpack::test::programs_from_environment(LZPACK_BIN_DIR).path(name);
}

class Faults : public ::testing::Test {
 protected:
  StartedProcess start(const std::string& name, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), program(name));
    return lzpack::test::start_process(arguments, folder_.path().string());
  }

  ProcessResult finish(StartedProcess& process) {
    ProcessResult result = lzpack::test::finish_process(process);
    EXPECT_EQ(result.err, "") << "nothing goes to standard error";
    return result;
  }

  ProcessResult run(const std::string& name, std::vector<std::string> arguments) {
    StartedProcess process = start(name, std::move(arguments));
    return finish(process);
  }

  // Starts a slow lzpack run on in.dat and returns once the run has the output created and armed:
  // it prints its first line only after that.
  StartedProcess start_slow_run() {
    std::vector<std::string> arguments = {"in.dat", "out.lzp"};
    arguments.insert(arguments.end(), kSlowSettings.begin(), kSlowSettings.end());
    StartedProcess process = start("lzpack", arguments);
    EXPECT_EQ(read_first_line(process), slow_run_line());
    return process;
  }

  static std::string slow_run_line() {
    return "len=" + std::to_string(kSlowInputBytes) + " in.dat out.lzp " + kSlowSettings[0] + " " +
           kSlowSettings[1] + "\n";
  }

  std::string path(const std::string& name) const { return folder_ / name; }
  std::vector<std::string> names(const std::string& subfolder = ".") const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(path(subfolder))) found.push_back(entry.path().filename());
    std::sort(found.begin(), found.end());
    return found;
  }

  TempFolder folder_;
};

TEST_F(Faults, StopSignalRemovesTheOutputAndEndsByThatSignal) {
  const Bytes original = make_data(DataKind::kText, kSlowInputBytes, 5);
  write_file(path("in.dat"), original);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    StartedProcess running = start_slow_run();
    kill(running.pid, signal_number);
    const ProcessResult result = finish(running);
    EXPECT_EQ(result.status, 128 + signal_number) << strsignal(signal_number);
    EXPECT_EQ(result.out, slow_run_line()) << strsignal(signal_number);
    EXPECT_EQ(names(), std::vector<std::string>{"in.dat"}) << strsignal(signal_number);
  }
  EXPECT_TRUE(read_file(path("in.dat")) == original);
}

TEST_F(Faults, InputCutShortWhileMappedEndsWithStatusOne) {
  const Bytes original = make_data(DataKind::kText, kSlowInputBytes, 7);
  write_file(path("in.dat"), original);
  constexpr std::size_t kKeptBytes = 5000;
  StartedProcess running = start_slow_run();
  fs::resize_file(path("in.dat"), kKeptBytes);
  const ProcessResult result = finish(running);
  EXPECT_EQ(result.status, 1) << "no crash, no core dump";
  EXPECT_EQ(result.out, slow_run_line());
  EXPECT_EQ(names(), std::vector<std::string>{"in.dat"});
  EXPECT_TRUE(read_file(path("in.dat")) == Bytes(original.begin(), original.begin() + kKeptBytes))
      << "the input is only ever read";
}

// A 1 MiB file system at small/, mounted in a mount namespace of this test process alone: nothing
// outside sees it, and it goes away with the process at the latest.
class DiskFull : public Faults {
 protected:
  static constexpr std::size_t kLargerThanSmall = 2 << 20;

  void SetUp() override {
    fs::create_directory(path("small"));
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", path("small").c_str(), "tmpfs", 0, "size=1m") != 0) {
      GTEST_SKIP() << "mounting a small tmpfs needs root and a private mount namespace: " << std::strerror(errno);
    }
    mounted_ = true;
  }

  void TearDown() override {
    if (mounted_) umount2(path("small").c_str(), MNT_DETACH);
  }

  bool mounted_ = false;
};

TEST_F(DiskFull, OutputThatDoesNotFitIsRemoved) {
  const Bytes original = make_data(DataKind::kRandom, kLargerThanSmall, 3);
  write_file(path("in.dat"), original);
  ASSERT_EQ(run("lzpack", {"in.dat", "in.lzp", "1", "0"}).status, 0);
  const Bytes packed = read_file(path("in.lzp"));
  const std::string size = std::to_string(kLargerThanSmall);

  struct Case {
    const char* program;
    std::vector<std::string> arguments;
    std::string first_line;
  };
  const std::vector<Case> cases = {
      {"lzpack", {"in.dat", "small/out", "1", "0"}, "len=" + size + " in.dat small/out 1 0\n"},
      {"lzunpack", {"in.lzp", "small/out"},
       "clen=" + std::to_string(packed.size() - 8) + " dlen=" + size + " <in.lzp> <small/out>\n"},
  };
  for (const Case& c : cases) {
    const ProcessResult result = run(c.program, c.arguments);
    EXPECT_EQ(result.status, 1) << c.program << ": no crash, no core dump";
    EXPECT_EQ(result.out, c.first_line) << c.program;
    EXPECT_TRUE(names("small").empty()) << c.program;
  }
  EXPECT_TRUE(read_file(path("in.dat")) == original);
  EXPECT_TRUE(read_file(path("in.lzp")) == packed);
}

}  // namespace
