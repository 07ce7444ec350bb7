// Writes the fuzz targets' seed corpora, made by our own compressor so that the fuzzers start from
// payloads of every codec and level rather than having to discover the format:
//   <out>/fuzz_decompress/  raw length (4 bytes, little-endian) + payload
//   <out>/fuzz_roundtrip/   codec, level, options (one byte each) + data
// The inputs are generated from fixed seeds, so every run writes the same files.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "lzcodec.h"
#include "support/test_data.h"

namespace {

namespace fs = std::filesystem;
using lzpack::test::DataKind;
using lzpack::test::make_data;
using Bytes = std::vector<std::byte>;

constexpr int kCodecCount = 8;
constexpr std::int64_t kSlackBytes = 4095;
constexpr int kAutoCodec = 7;
constexpr std::size_t kLengthBytes = 4;
constexpr std::size_t kFinalBlockHeaderBytes = 5;
constexpr std::size_t kFirstBlock = 2;
constexpr std::uint8_t kFinalDeltaKind = 0x80 | 7;
// Options byte of the round trip target: one thread, 64 KiB blocks.
constexpr std::uint8_t kSmallBlocksOneThread = (1 << 2) | 1;

// Dense in E8 (call rel32) like x86 code, so that auto picks the x86 filter.
Bytes make_code_like(std::size_t bytes) {
  std::mt19937 random(7);
  Bytes data;
  while (data.size() < bytes) {
    static const std::uint8_t kPrologue[] = {0x55, 0x48, 0x89, 0xE5, 0x48, 0x83, 0xEC, 0x10};
    for (const std::uint8_t value : kPrologue) data.push_back(std::byte{value});
    data.push_back(std::byte{0xE8});
    const std::uint32_t target = random() % 4096;
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::byte>(target >> (8 * i)));
    data.push_back(std::byte{0xC3});
  }
  data.resize(bytes);
  return data;
}

Bytes compress(int codec, int level, const Bytes& raw, const LZCodecOptions& options) {
  Bytes payload(2 * raw.size() + kSlackBytes);
  const std::int64_t written = OodleLZ_Compress(codec, raw.data(), static_cast<std::int64_t>(raw.size()),
                                                payload.data(), level, &options, 0, 0, 0, 0);
  if (written < 0) return {};
  payload.resize(static_cast<std::size_t>(written));
  return payload;
}

bool write(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

class SeedWriter {
 public:
  explicit SeedWriter(const fs::path& out) : decompress_(out / "fuzz_decompress"), roundtrip_(out / "fuzz_roundtrip") {
    fs::create_directories(decompress_);
    fs::create_directories(roundtrip_);
  }

  // A payload for the decompression target; `edit` may rewrite it before it is written.
  template <typename Edit>
  bool payload(const std::string& name, int codec, int level, const Bytes& raw, const LZCodecOptions& options,
               Edit edit) {
    Bytes payload = compress(codec, level, raw, options);
    if (payload.empty()) return false;
    edit(payload);
    Bytes seed(kLengthBytes);
    for (std::size_t i = 0; i < kLengthBytes; ++i) seed[i] = static_cast<std::byte>(raw.size() >> (8 * i));
    seed.insert(seed.end(), payload.begin(), payload.end());
    return write(decompress_ / (name + ".bin"), seed);
  }

  bool payload(const std::string& name, int codec, int level, const Bytes& raw, const LZCodecOptions& options) {
    return payload(name, codec, level, raw, options, [](Bytes&) {});
  }

  bool roundtrip(const std::string& name, int codec, int level, std::uint8_t options, const Bytes& raw) {
    Bytes seed = {static_cast<std::byte>(codec), static_cast<std::byte>(level), std::byte{options}};
    seed.insert(seed.end(), raw.begin(), raw.end());
    return write(roundtrip_ / (name + ".bin"), seed);
  }

 private:
  fs::path decompress_;
  fs::path roundtrip_;
};

bool write_seeds(const fs::path& out) {
  SeedWriter seeds(out);
  const LZCodecOptions one_thread{1, 0, 0};
  const LZCodecOptions small_blocks{1, 0, 64 * 1024};
  const Bytes text = make_data(DataKind::kText, 4000);
  const Bytes mixed = make_data(DataKind::kMixed, 6000, 5);
  const Bytes code = make_code_like(5000);
  const Bytes long_text = make_data(DataKind::kText, 140000, 9);

  bool ok = true;
  for (int codec = 0; codec < kCodecCount; ++codec) {
    for (const int level : {0, 5, 9}) {
      const std::string name = "codec" + std::to_string(codec) + "-level" + std::to_string(level);
      ok = ok && seeds.payload(name + "-text", codec, level, text, one_thread);
      ok = ok && seeds.roundtrip(name + "-text", codec, level, 1, Bytes(text.begin(), text.begin() + 1500));
    }
  }
  ok = ok && seeds.payload("auto-level9-mixed", kAutoCodec, 9, mixed, one_thread);
  ok = ok && seeds.payload("auto-level6-code", kAutoCodec, 6, code, one_thread);
  ok = ok && seeds.payload("auto-level4-blocks", kAutoCodec, 4, long_text, small_blocks);
  ok = ok && seeds.payload("bzip3-level1-blocks", 5, 1, long_text, small_blocks);
  // No level codes a block with the delta filter, so an lzma block is relabelled as one (with a
  // parameter byte, distance 4): its checksum then fails, but the delta decoder runs.
  ok = ok && seeds.payload("lzma-relabelled-delta", 4, 5, text, one_thread, [](Bytes& payload) {
    if (payload.size() < kFirstBlock + kFinalBlockHeaderBytes) return;
    payload[kFirstBlock] = std::byte{kFinalDeltaKind};
    payload.insert(payload.begin() + kFirstBlock + 1, std::byte{3});
  });
  ok = ok && seeds.roundtrip("auto-level9-mixed", kAutoCodec, 9, 1, mixed);
  ok = ok && seeds.roundtrip("auto-level6-code", kAutoCodec, 6, 1, code);
  // Just past one block: two blocks, yet short enough to keep the strongest levels quick.
  ok = ok && seeds.roundtrip("auto-level3-blocks", kAutoCodec, 3, kSmallBlocksOneThread,
                             Bytes(long_text.begin(), long_text.begin() + 70000));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds output-folder\n");
    return 2;
  }
  try {
    if (!write_seeds(argv[1])) {
      std::fprintf(stderr, "fuzz_seeds: could not write every seed\n");
      return 1;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "fuzz_seeds: %s\n", error.what());
    return 1;
  }
  return 0;
}
