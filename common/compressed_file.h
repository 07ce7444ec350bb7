// The compressed file: an 8-byte little-endian raw_length header, then the codec library's
// payload up to the end of the file. The payload's length is the file's length minus the header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzpack {

inline constexpr std::int64_t kHeaderBytes = 8;

// Stores raw_length little-endian in the first 8 bytes of `file_start` (the start of a mapped
// view, so aligned: the compiler makes the byte stores one 64-bit store).
inline void write_raw_length(std::byte* file_start, std::int64_t raw_length) {
  const auto value = static_cast<std::uint64_t>(raw_length);
  for (int i = 0; i < 8; ++i) file_start[i] = static_cast<std::byte>(value >> (8 * i));
}

// Reads raw_length from the first 8 bytes of `file_start`; the caller has checked that the file
// holds at least kHeaderBytes.
inline std::int64_t read_raw_length(const std::byte* file_start) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value |= static_cast<std::uint64_t>(file_start[i]) << (8 * i);
  return static_cast<std::int64_t>(value);
}

}  // namespace lzpack
