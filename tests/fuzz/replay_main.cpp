// Replays a fuzz target's inputs as an ordinary test, in builds without libFuzzer: every file in
// the folders given (and every file given) goes through the target once, in name order. A failed
// check aborts; a run that finds no input at all fails too, so a wrong path cannot pass quietly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool collect(const fs::path& path, std::vector<fs::path>& inputs) {
  std::error_code error;
  if (fs::is_regular_file(path, error)) {
    inputs.push_back(path);
    return true;
  }
  if (!fs::is_directory(path, error)) return false;
  std::vector<fs::path> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
    if (entry.is_regular_file(error)) found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  inputs.insert(inputs.end(), found.begin(), found.end());
  return !error;
}

bool replay(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  // A copy of exactly the input's size, as libFuzzer hands it over, so that reading past it shows.
  const auto data = std::make_unique_for_overwrite<std::uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), data.get());
  LLVMFuzzerTestOneInput(data.get(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!collect(argv[i], inputs)) {
      std::fprintf(stderr, "replay: cannot read %s\n", argv[i]);
      return 1;
    }
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "replay: no inputs\n");
    return 1;
  }
  for (const fs::path& input : inputs) {
    std::printf("%s\n", input.filename().c_str());
    std::fflush(stdout);
    if (!replay(input)) {
      std::fprintf(stderr, "replay: cannot read %s\n", input.c_str());
      return 1;
    }
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return 0;
}
