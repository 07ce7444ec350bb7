// Test inputs generated from a seed: text-like, random, zeros, and a mix of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace lzpack::test {

enum class DataKind { kText, kRandom, kZeros, kMixed };

inline const char* name_of(DataKind kind) {
  switch (kind) {
    case DataKind::kText: return "text";
    case DataKind::kRandom: return "random";
    case DataKind::kZeros: return "zeros";
    case DataKind::kMixed: return "mixed";
  }
  return "?";
}

inline std::vector<std::byte> make_data(DataKind kind, std::size_t bytes, std::uint32_t seed = 1) {
  static const char* const kWords[] = {"the ",  "block ", "coder ", "of ",    "a ",     "match ",  "window ",
                                       "and ",  "sorted ", "bytes ", "file ", "tables ", "which ", "\n"};
  std::mt19937 random(seed);
  std::vector<std::byte> data;
  data.reserve(bytes);
  auto add_text = [&](std::size_t count) {
    while (count > 0) {
      const std::string word = kWords[random() % std::size(kWords)];
      for (std::size_t i = 0; i < word.size() && count > 0; ++i, --count) data.push_back(static_cast<std::byte>(word[i]));
    }
  };
  auto add_random = [&](std::size_t count) {
    for (; count > 0; --count) data.push_back(static_cast<std::byte>(random() & 0xFF));
  };
  switch (kind) {
    case DataKind::kText: add_text(bytes); break;
    case DataKind::kRandom: add_random(bytes); break;
    case DataKind::kZeros: data.resize(bytes); break;
    case DataKind::kMixed:
      while (data.size() < bytes) {
        const std::size_t left = bytes - data.size();
        const std::size_t run = std::min<std::size_t>(left, 1 + random() % 100000);
        switch (random() % 3) {
          case 0: add_text(run); break;
          case 1: add_random(run); break;
          default: data.resize(data.size() + run); break;
        }
      }
      break;
  }
  return data;
}

}  // namespace lzpack::test
