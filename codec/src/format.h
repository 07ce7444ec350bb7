// The payload format. All integers are little-endian.
//
//   payload := "LZK" version:u8 block*
//   block   := method:u8 parameter:u8 raw_size:u32 coded_size:u32 checksum:u64 coded[coded_size]
//
// Blocks follow one another with no gaps and restore consecutive stretches of the raw data; their
// raw sizes add up to the raw length exactly. `checksum` is XXH3-64 of the block's raw bytes,
// seeded with the block's offset in the raw data, so that blocks in the wrong order are caught.
// docs/format.md is the full description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace lzcodec {

inline constexpr std::byte kFormatTag[3] = {std::byte{'L'}, std::byte{'Z'}, std::byte{'K'}};
inline constexpr std::uint8_t kFormatVersion = 1;
inline constexpr std::size_t kPayloadHeaderBytes = 4;
inline constexpr std::size_t kBlockHeaderBytes = 18;

// Blocks hold 1 byte to kMaxBlockBytes of raw data; coders never make larger ones.
inline constexpr std::size_t kMinBlockBytes = 64 * 1024;
inline constexpr std::size_t kMaxBlockBytes = 256 * 1024 * 1024;

// What coded a block. Numbers are stored in payloads: never renumber.
enum class Method : std::uint8_t {
  kStored = 0,
  kLz4 = 1,
  kZstd = 2,
  kBrotli = 3,
  kLzma = 4,
  kBzip3 = 5,
  kLzmaX86 = 6,
  kLzmaDelta = 7,  // parameter: delta distance − 1
};
inline constexpr std::uint8_t kMethodCount = 8;

struct BlockHeader {
  Method method = Method::kStored;
  std::uint8_t parameter = 0;
  std::uint32_t raw_size = 0;
  std::uint32_t coded_size = 0;
  std::uint64_t checksum = 0;
};

void write_payload_header(std::byte* out);
bool has_payload_header(const std::byte* payload, std::size_t payload_bytes);

void write_block_header(const BlockHeader& header, std::byte* out);
// Reads the kBlockHeaderBytes at `in`; nullopt when the method or its parameter is unknown.
std::optional<BlockHeader> read_block_header(const std::byte* in);

std::uint64_t checksum_of(const std::byte* data, std::size_t bytes, std::uint64_t raw_offset);

}  // namespace lzcodec
