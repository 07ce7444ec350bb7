// Files cross the platforms: what the Linux programs compress, the Windows programs restore byte
// for byte under wine, and the other way round.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/programs.h"
#include "support/temp_folder.h"
#include "support/test_data.h"

namespace {

using lzpack::test::DataKind;
using lzpack::test::Programs;
using lzpack::test::ProcessResult;
using lzpack::test::read_file;
using lzpack::test::TempFolder;
using lzpack::test::write_file;

const Programs kLinux{LZPACK_BIN_DIR, "", ""};
const Programs kWindows{LZPACK_WINDOWS_BIN_DIR, ".exe", LZPACK_WINE};

struct Setting {
  int codec;
  int level;
  bool codes_bzip3;  // its blocks are bzip3's, which a Windows build without bzip3 cannot restore
};

const Setting kSettings[] = {
    {0, 9, false}, {1, 9, false}, {2, 9, false}, {3, 9, false},
    {4, 9, false}, {5, 5, true},  {6, 9, false}, {7, 5, false},
};

enum class Direction { kLinuxToWindows, kWindowsToLinux };

using CrossCase = std::tuple<Direction, Setting>;
class CrossPlatform : public ::testing::TestWithParam<CrossCase> {};

TEST_P(CrossPlatform, RestoresOnTheOtherPlatform) {
  const auto [direction, setting] = GetParam();
  const bool to_windows = direction == Direction::kLinuxToWindows;
  const Programs& packer = to_windows ? kLinux : kWindows;
  const Programs& unpacker = to_windows ? kWindows : kLinux;
  const TempFolder folder;
  const auto original = lzpack::test::make_data(DataKind::kMixed, 1 << 20, 5);
  write_file(folder / "in.dat", original);

  const ProcessResult packed = packer.run(
      "lzpack", {"in.dat", "out.lzp", std::to_string(setting.codec), std::to_string(setting.level)},
      folder.path().string());
  ASSERT_EQ(packed.status, 0) << packed.out;
  const ProcessResult restored = unpacker.run("lzunpack", {"out.lzp", "out.dat"}, folder.path().string());
  EXPECT_EQ(restored.err, "");

  if (to_windows && setting.codes_bzip3 && !LZPACK_WINDOWS_HAS_BZIP3) {
    EXPECT_EQ(restored.status, 1);
    EXPECT_TRUE(restored.out.ends_with("\nr=0\n")) << restored.out;
    EXPECT_FALSE(std::filesystem::exists(folder / "out.dat"));
    return;
  }
  EXPECT_EQ(restored.status, 0) << restored.out;
  EXPECT_TRUE(restored.out.ends_with("\nr=" + std::to_string(original.size()) + "\n")) << restored.out;
  EXPECT_TRUE(read_file(folder / "out.dat") == original);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, CrossPlatform,
    ::testing::Combine(::testing::Values(Direction::kLinuxToWindows, Direction::kWindowsToLinux),
                       ::testing::ValuesIn(kSettings)),
    [](const ::testing::TestParamInfo<CrossCase>& test_case) {
      const Setting& setting = std::get<1>(test_case.param);
      return std::string(std::get<0>(test_case.param) == Direction::kLinuxToWindows ? "linux_to_windows"
                                                                                     : "windows_to_linux") +
             "_codec" + std::to_string(setting.codec) + "_level" + std::to_string(setting.level);
    });

}  // namespace
