#include "format.h"

#include <xxhash.h>

namespace lzcodec {
namespace {

constexpr std::uint8_t kFinalMark = 0x80;
constexpr std::uint8_t kMethodMask = 0x0F;
constexpr std::uint8_t kReservedKindBits = 0x70;

void store_u32(std::byte* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::byte>(value >> (8 * i));
}

std::uint32_t load_u32(const std::byte* in) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return value;
}

bool has_parameter(Method method) { return method == Method::kLzmaDelta; }

}  // namespace

void write_payload_header(std::byte* out) {
  out[0] = static_cast<std::byte>(kFormatTag);
  out[1] = static_cast<std::byte>(kFormatVersion);
}

bool has_payload_header(const std::byte* payload, std::size_t payload_bytes) {
  return payload_bytes >= kPayloadHeaderBytes && static_cast<std::uint8_t>(payload[0]) == kFormatTag &&
         static_cast<std::uint8_t>(payload[1]) == kFormatVersion;
}

std::size_t block_header_bytes(const BlockHeader& header) {
  return 1 + (has_parameter(header.method) ? 1 : 0) + (header.final ? 0 : 8) + 4;
}

std::size_t write_block_header(const BlockHeader& header, std::byte* out) {
  std::size_t at = 0;
  out[at++] = static_cast<std::byte>(static_cast<std::uint8_t>(header.method) | (header.final ? kFinalMark : 0));
  if (has_parameter(header.method)) out[at++] = static_cast<std::byte>(header.parameter);
  if (!header.final) {
    store_u32(out + at, header.raw_size);
    store_u32(out + at + 4, header.coded_size);
    at += 8;
  }
  store_u32(out + at, header.checksum);
  return at + 4;
}

std::size_t read_block_header(const std::byte* in, std::size_t available, std::size_t raw_left, BlockHeader& header) {
  if (available < 1) return 0;
  const auto kind = static_cast<std::uint8_t>(in[0]);
  if ((kind & kReservedKindBits) != 0 || (kind & kMethodMask) >= kMethodCount) return 0;
  header.method = static_cast<Method>(kind & kMethodMask);
  header.final = (kind & kFinalMark) != 0;
  header.parameter = 0;
  const std::size_t length = block_header_bytes(header);
  if (available < length) return 0;
  std::size_t at = 1;
  if (has_parameter(header.method)) header.parameter = static_cast<std::uint8_t>(in[at++]);
  if (header.final) {
    if (raw_left > kMaxBlockBytes) return 0;
    header.raw_size = static_cast<std::uint32_t>(raw_left);
    header.coded_size = static_cast<std::uint32_t>(available - length);
    if (available - length > kMaxBlockBytes) return 0;
  } else {
    header.raw_size = load_u32(in + at);
    header.coded_size = load_u32(in + at + 4);
    at += 8;
    if (header.raw_size > raw_left || header.coded_size > available - length) return 0;
  }
  header.checksum = load_u32(in + at);
  return length;
}

std::uint32_t checksum_of(const std::byte* data, std::size_t bytes, std::uint64_t raw_offset) {
  return static_cast<std::uint32_t>(XXH3_64bits_withSeed(data, bytes, raw_offset));
}

}  // namespace lzcodec
