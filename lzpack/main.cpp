// lzpack input output [codec# [level#]]: compresses a file; with fewer than two paths, lists the
// codecs and levels. Prints one line before and one after the library call; failures to open or
// map a file end the run with status 1 and no message. Once the output exists, a fault on a mapped
// page or a request to stop removes it before the run ends (see fault_guard.h).
#include <cinttypes>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "compressed_file.h"
#include "fault_guard.h"
#include "lzcodec.h"
#include "mapped_file.h"

namespace {

constexpr std::int32_t kDefaultCodec = 7;
constexpr std::int32_t kDefaultLevel = 9;
constexpr std::int64_t kOutputSlackBytes = lzpack::kHeaderBytes + 4095;

// strtol's reading (leading space, a sign, digits up to the first non-digit; no digits give 0),
// clamped to the 32-bit range.
std::int32_t read_number(const char* text) {
  const long value = std::strtol(text, nullptr, 10);
  if (value < INT32_MIN) return INT32_MIN;
  if (value > INT32_MAX) return INT32_MAX;
  return static_cast<std::int32_t>(value);
}

void print_listing(const char* program) {
  std::printf("codec# = ");
  for (std::int32_t codec = 0;; ++codec) {
    const char* name = OodleLZ_Compressor_GetName(codec);
    if (std::strcmp(name, "invalid") == 0) break;
    std::printf("%" PRId64 ":%s ", static_cast<std::int64_t>(codec), name);
  }
  std::printf("\nlevel# = ");
  const char* previous = nullptr;
  for (std::int32_t level = 0;; ++level) {
    const char* name = OodleLZ_CompressionLevel_GetName(level);
    if (name == previous) break;
    std::printf("%" PRId64 ":%s ", static_cast<std::int64_t>(level), name);
    previous = name;
  }
  std::printf("\nUsage: %s input output codec# level#\n", program);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    print_listing(argc > 0 ? argv[0] : "lzpack");
    return 0;
  }
  const char* input_path = argv[1];
  const char* output_path = argv[2];

  lzpack::InputMapping input;
  if (!lzpack::open_mapped_input(input_path, input)) return 1;
  lzpack::fault_guard::install();
  // Replacing the output would empty the very file that is mapped as the input.
  if (lzpack::platform::names_open_file(input.file, output_path)) return 1;
  lzpack::OutputMapping output;
  if (!lzpack::create_mapped_output(output_path, 2 * input.size + kOutputSlackBytes, output)) return 1;
  lzpack::fault_guard::arm_output_removal(output_path);

  const std::int32_t codec = argc > 3 ? read_number(argv[3]) : kDefaultCodec;
  const std::int32_t level = argc > 3 && argc > 4 ? read_number(argv[4]) : kDefaultLevel;
  std::printf("len=%" PRId64 " %s %s %" PRId64 " %" PRId64 "\n", input.size, input_path, output_path,
              static_cast<std::int64_t>(codec), static_cast<std::int64_t>(level));
  // Out now, so that a run ended by a fault or a signal still shows what it was working on.
  std::fflush(stdout);

  lzpack::write_raw_length(output.view, input.size);
  const std::int64_t written = OodleLZ_Compress(codec, input.view, input.size, output.view + lzpack::kHeaderBytes,
                                                level, nullptr, 0, 0, 0, 0);
  std::printf("r=%" PRId64 "\n", written);

  if (written == -1) {
    lzpack::discard_output(output, output_path);
    return 1;
  }
  lzpack::release_output_view(output);
  lzpack::set_file_length(output.file, written + lzpack::kHeaderBytes);
  return 0;
}
