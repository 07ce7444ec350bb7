// lzunpack input output: restores a file made by lzpack. Prints one line before and one after the
// library call; too few arguments, or a failure to open or map a file, end the run with status 1
// and no message; a payload that does not restore exactly leaves no output and status 1, and so
// does a fault on a mapped page; a request to stop removes the output too (see fault_guard.h).
#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include "compressed_file.h"
#include "fault_guard.h"
#include "lzcodec.h"
#include "mapped_file.h"

int main(int argc, char** argv) {
  if (argc < 3) return 1;
  const char* input_path = argv[1];
  const char* output_path = argv[2];

  lzpack::InputMapping input;
  if (!lzpack::open_mapped_input(input_path, input)) return 1;
  lzpack::fault_guard::install();
  // A file shorter than its header has no raw length to read.
  if (input.size < lzpack::kHeaderBytes) return 1;
  const std::int64_t payload_length = input.size - lzpack::kHeaderBytes;
  const std::int64_t raw_length = lzpack::read_raw_length(input.view);

  // Replacing the output would empty the very file that is mapped as the input.
  if (lzpack::platform::names_open_file(input.file, output_path)) return 1;
  lzpack::OutputMapping output;
  if (!lzpack::create_mapped_output(output_path, raw_length, output)) return 1;
  lzpack::fault_guard::arm_output_removal(output_path);

  std::printf("clen=%" PRId64 " dlen=%" PRId64 " <%s> <%s>\n", payload_length, raw_length, input_path, output_path);
  // Out now, so that a run ended by a fault or a signal still shows what it was working on.
  std::fflush(stdout);
  const std::int64_t restored = OodleLZ_Decompress(input.view + lzpack::kHeaderBytes, payload_length, output.view,
                                                   raw_length, 0, 0, nullptr, 0, 0, 0, 0, 0, 1, 0);
  std::printf("r=%" PRId64 "\n", restored);

  if (restored != raw_length) {
    lzpack::discard_output(output, output_path);
    return 1;
  }
  return 0;
}
