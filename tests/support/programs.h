// Where the programs under test are and how they are started: directly, or through a launcher such
// as wine64 for the Windows build.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/process.h"

namespace lzpack::test {

struct Programs {
  std::string bin_dir;
  std::string exe_suffix;  // ".exe" for the Windows build
  std::string launcher;    // empty: started directly

  std::string path(const std::string& name) const {
    return (std::filesystem::absolute(bin_dir) / (name + exe_suffix)).string();
  }

  // What the program gets as argv[0]. A launched program is the Windows build under wine, which
  // hands it its own path as a DOS path on drive Z:, the Unix root.
  std::string argv0(const std::string& name) const {
    if (launcher.empty()) return path(name);
    std::string dos = "Z:" + path(name);
    std::replace(dos.begin(), dos.end(), '/', '\\');
    return dos;
  }

  // Runs the program in `folder`. The Windows build writes its standard output in text mode, whose
  // lines end in CR LF; they are given back with the LF alone, as the Linux build writes them.
  ProcessResult run(const std::string& name, std::vector<std::string> arguments, const std::string& folder) const {
    arguments.insert(arguments.begin(), path(name));
    if (launcher.empty()) return run_process(arguments, folder);
    arguments.insert(arguments.begin(), launcher);
    ProcessResult result = run_process(arguments, folder);
    for (std::string* text : {&result.out, &result.err}) {
      for (std::size_t at = text->find("\r\n"); at != std::string::npos; at = text->find("\r\n", at)) text->erase(at, 1);
    }
    return result;
  }
};

// The programs named by LZPACK_TEST_BIN_DIR, LZPACK_TEST_EXE_SUFFIX and LZPACK_TEST_LAUNCHER, each
// unset variable taking the value of a native build in `built_dir`.
inline Programs programs_from_environment(const std::string& built_dir) {
  auto variable = [](const char* name, std::string fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::move(fallback);
  };
  return {variable("LZPACK_TEST_BIN_DIR", built_dir), variable("LZPACK_TEST_EXE_SUFFIX", ""),
          variable("LZPACK_TEST_LAUNCHER", "")};
}

}  // namespace lzpack::test
