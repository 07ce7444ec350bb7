// A stand-in for the platform's file services, so that tests can hand the mapped-file layer a file
// of any length whose end cannot be found by seeking, and see every read it makes.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform.h"

namespace lzpack::test {

struct FakeFile {
  explicit FakeFile(std::int64_t content, bool end_seek_can_fail = true)
      : content_bytes(content), end_seek_fails(end_seek_can_fail) {}

  std::int64_t content_bytes = 0;
  bool end_seek_fails = true;
  std::int64_t position = 0;
  std::vector<std::pair<std::int64_t, std::uint32_t>> reads;  // offset, count returned
};

// The handle under which the platform services reach `file`.
platform::FileHandle handle_of(FakeFile& file);

}  // namespace lzpack::test
