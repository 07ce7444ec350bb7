#include "format.h"

#include <xxhash.h>

#include <cstring>

namespace lzcodec {
namespace {

template <typename Unsigned>
void store_le(std::byte* out, Unsigned value) {
  for (std::size_t i = 0; i < sizeof(Unsigned); ++i) out[i] = static_cast<std::byte>(value >> (8 * i));
}

template <typename Unsigned>
Unsigned load_le(const std::byte* in) {
  Unsigned value = 0;
  for (std::size_t i = 0; i < sizeof(Unsigned); ++i) value |= static_cast<Unsigned>(static_cast<Unsigned>(in[i]) << (8 * i));
  return value;
}

bool is_known_parameter(Method method, std::uint8_t parameter) {
  // Only the delta filter has a parameter (its distance, 1 to 256, all representable).
  return method == Method::kLzmaDelta || parameter == 0;
}

}  // namespace

void write_payload_header(std::byte* out) {
  std::memcpy(out, kFormatTag, sizeof kFormatTag);
  out[3] = static_cast<std::byte>(kFormatVersion);
}

bool has_payload_header(const std::byte* payload, std::size_t payload_bytes) {
  return payload_bytes >= kPayloadHeaderBytes && std::memcmp(payload, kFormatTag, sizeof kFormatTag) == 0 &&
         static_cast<std::uint8_t>(payload[3]) == kFormatVersion;
}

void write_block_header(const BlockHeader& header, std::byte* out) {
  out[0] = static_cast<std::byte>(header.method);
  out[1] = static_cast<std::byte>(header.parameter);
  store_le(out + 2, header.raw_size);
  store_le(out + 6, header.coded_size);
  store_le(out + 10, header.checksum);
}

std::optional<BlockHeader> read_block_header(const std::byte* in) {
  BlockHeader header;
  const auto method = static_cast<std::uint8_t>(in[0]);
  if (method >= kMethodCount) return std::nullopt;
  header.method = static_cast<Method>(method);
  header.parameter = static_cast<std::uint8_t>(in[1]);
  if (!is_known_parameter(header.method, header.parameter)) return std::nullopt;
  header.raw_size = load_le<std::uint32_t>(in + 2);
  header.coded_size = load_le<std::uint32_t>(in + 6);
  header.checksum = load_le<std::uint64_t>(in + 10);
  return header;
}

std::uint64_t checksum_of(const std::byte* data, std::size_t bytes, std::uint64_t raw_offset) {
  return XXH3_64bits_withSeed(data, bytes, raw_offset);
}

}  // namespace lzcodec
