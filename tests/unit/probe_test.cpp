// The size probe and the end-seek fallback, on files handed in through the fake platform.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "mapped_file.h"

namespace lzpack {
namespace {

using test::FakeFile;
using test::handle_of;

struct ProbeCase {
  std::int64_t content_bytes;
  std::int64_t expected_size;
  std::size_t expected_reads;
  std::pair<std::int64_t, std::uint32_t> last_read;
};

void PrintTo(const ProbeCase& c, std::ostream* out) { *out << c.content_bytes << " bytes"; }

class Probe : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(Probe, FindsSizeByReading) {
  const ProbeCase& c = GetParam();
  FakeFile file{c.content_bytes};
  EXPECT_EQ(probe_file_size(handle_of(file)), c.expected_size);
  ASSERT_EQ(file.reads.size(), c.expected_reads);
  EXPECT_EQ(file.reads.back(), c.last_read);
  for (const auto& [offset, count] : file.reads) EXPECT_NE(offset, 0) << "offset 0 is never read";
}

// 100 bytes: bits 62 to 7 read nothing, bit 6 reads 36 bytes at 64. 65,536 bytes: bit 15 reads
// 32,768 at 32,768. 1 byte and empty content both give 0 after all 63 passes.
INSTANTIATE_TEST_SUITE_P(
    Contents, Probe,
    ::testing::Values(ProbeCase{100, 100, 57, {64, 36}}, ProbeCase{65536, 65536, 48, {32768, 32768}},
                      ProbeCase{1, 0, 63, {1, 0}}, ProbeCase{0, 0, 63, {1, 0}}, ProbeCase{2, 2, 63, {1, 1}},
                      ProbeCase{(std::int64_t{1} << 40) + 12345, (std::int64_t{1} << 40) + 12345, 23,
                                {std::int64_t{1} << 40, 12345}}));

TEST(QueryFileSize, ProbesOnlyWhenEndSeekFailsAndRestoresPosition) {
  FakeFile unseekable{5000};
  unseekable.position = 123;
  EXPECT_EQ(query_file_size(handle_of(unseekable)), 5000);
  EXPECT_FALSE(unseekable.reads.empty());
  EXPECT_EQ(unseekable.position, 123);

  // A real size whose low half is all ones is not a failed seek.
  FakeFile large{0xFFFFFFFFll, false};
  large.position = 77;
  EXPECT_EQ(query_file_size(handle_of(large)), 0xFFFFFFFFll);
  EXPECT_TRUE(large.reads.empty()) << "no probe for a size found by seeking";
  EXPECT_EQ(large.position, 77);
}

}  // namespace
}  // namespace lzpack
