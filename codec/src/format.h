// The payload format. All integers are little-endian.
//
//   payload := tag:u8 version:u8 block*
//   block   := kind:u8 [parameter:u8] [raw_size:u32 coded_size:u32] checksum:u32 coded
//
// `kind` holds the method in its low four bits and, in its top bit, the mark of the final block.
// The parameter byte is present only for methods that take one (delta). The final block stores no
// sizes: it restores the rest of the raw length from the rest of the payload, which keeps tiny
// payloads tiny. Blocks follow one another with no gaps and restore consecutive stretches of the
// raw data. `checksum` is the low half of XXH3-64 of the block's raw bytes, seeded with the block's
// offset in the raw data, so that blocks in the wrong order are caught. docs/format.md is the full
// description.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzcodec {

inline constexpr std::uint8_t kFormatTag = 0xB7;
inline constexpr std::uint8_t kFormatVersion = 1;
inline constexpr std::size_t kPayloadHeaderBytes = 2;

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
  bool final = false;
  std::uint32_t raw_size = 0;
  std::uint32_t coded_size = 0;
  std::uint32_t checksum = 0;
};

void write_payload_header(std::byte* out);
bool has_payload_header(const std::byte* payload, std::size_t payload_bytes);

// Bytes that write_block_header takes for `header`.
std::size_t block_header_bytes(const BlockHeader& header);
// Writes `header` at `out`; returns the bytes written.
std::size_t write_block_header(const BlockHeader& header, std::byte* out);

// Reads the block header at `in`, which has `available` bytes up to the end of the payload, for a
// block that starts `raw_left` bytes before the end of the raw data. A final block's sizes are
// taken from what is left. Returns the header's length, or 0 when it is cut short, names an
// unknown method or parameter, or carries sizes that do not fit in what is left.
std::size_t read_block_header(const std::byte* in, std::size_t available, std::size_t raw_left, BlockHeader& header);

std::uint32_t checksum_of(const std::byte* data, std::size_t bytes, std::uint64_t raw_offset);

}  // namespace lzcodec
