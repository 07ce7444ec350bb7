// Black-box tests: the built programs run in a fresh folder; exact output lines, exit statuses and
// the files left behind are checked.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "support/process.h"
#include "support/programs.h"
#include "support/temp_folder.h"
#include "support/test_data.h"

namespace {

using lzpack::test::DataKind;
using lzpack::test::make_data;
using lzpack::test::ProcessResult;
using lzpack::test::read_file;
using lzpack::test::TempFolder;
using lzpack::test::write_file;
using Bytes = std::vector<std::byte>;
namespace fs = std::filesystem;

const std::string kListing =
    "codec# = 0:none 1:lz4 2:zstd 3:brotli 4:lzma 5:bzip3 6:lzma-x86 7:auto \n"
    "level# = 0:fastest 1:faster 2:fast 3:quick 4:balanced 5:normal 6:good 7:strong 8:stronger 9:strongest \n";

const lzpack::test::Programs& programs() {
  static const lzpack::test::Programs kPrograms = lzpack::test::programs_from_environment(LZPACK_BIN_DIR);
  return kPrograms;
}

class Cli : public ::testing::Test {
 protected:
  ProcessResult lzpack(std::vector<std::string> arguments) { return run("lzpack", std::move(arguments)); }
  ProcessResult lzunpack(std::vector<std::string> arguments) { return run("lzunpack", std::move(arguments)); }

  ProcessResult run(const std::string& name, std::vector<std::string> arguments) {
    ProcessResult result = programs().run(name, std::move(arguments), folder_.path().string());
    EXPECT_EQ(result.err, "") << "nothing goes to standard error";
    return result;
  }

  std::string path(const std::string& name) const { return folder_ / name; }
  bool exists(const std::string& name) const { return fs::exists(fs::symlink_status(path(name))); }
  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder_.path())) found.push_back(entry.path().filename());
    std::sort(found.begin(), found.end());
    return found;
  }

  TempFolder folder_;
};

TEST_F(Cli, ListingWithFewerThanTwoPaths) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, std::vector<std::string>{"in.dat"}}) {
    const ProcessResult result = lzpack(arguments);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, kListing + "Usage: " + programs().argv0("lzpack") + " input output codec# level#\n");
  }
  EXPECT_TRUE(names().empty()) << "no file is touched";
}

TEST_F(Cli, ArgumentsAreReadLikeStrtol) {
  write_file(path("in.dat"), make_data(DataKind::kText, 5000));
  struct Case {
    std::vector<std::string> numbers;
    std::string codec_and_level;
    int status;
  };
  const std::vector<Case> cases = {
      {{}, "7 9", 0},
      {{"8"}, "8 9", 1},
      {{"abc"}, "0 9", 0},
      {{"12x"}, "12 9", 1},
      {{"-1"}, "-1 9", 1},
      {{"  +3"}, "3 9", 0},
      {{"2", "abc"}, "2 0", 0},
      {{"2", "-4"}, "2 -4", 1},
      {{"2", "12"}, "2 12", 0},
      {{"99999999999", "1"}, "2147483647 1", 1},
      {{"-99999999999", "1"}, "-2147483648 1", 1},
      {{"2", "99999999999"}, "2 2147483647", 0},
      {{"1", "3", "ignored", "also ignored"}, "1 3", 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"in.dat", "out.lzp"};
    arguments.insert(arguments.end(), c.numbers.begin(), c.numbers.end());
    const ProcessResult result = lzpack(arguments);
    const std::string len_line = "len=5000 in.dat out.lzp " + c.codec_and_level + "\n";
    EXPECT_EQ(result.status, c.status) << len_line;
    ASSERT_EQ(result.out.substr(0, len_line.size()), len_line);
    if (c.status == 0) {
      EXPECT_EQ(lzunpack({"out.lzp", "back.dat"}).status, 0) << len_line;
      EXPECT_TRUE(read_file(path("back.dat")) == read_file(path("in.dat"))) << len_line;
    } else {
      EXPECT_EQ(result.out, len_line + "r=-1\n");
      EXPECT_FALSE(exists("out.lzp")) << "a failed compression leaves no output: " << len_line;
    }
  }
}

TEST_F(Cli, ThousandByteExample) {
  write_file(path("in.dat"), make_data(DataKind::kText, 1000));
  const ProcessResult packed = lzpack({"in.dat", "out.pk"});
  ASSERT_EQ(packed.status, 0);
  const Bytes file = read_file(path("out.pk"));
  const std::string payload_length = std::to_string(file.size() - 8);
  EXPECT_EQ(packed.out, "len=1000 in.dat out.pk 7 9\nr=" + payload_length + "\n");
  const Bytes header(file.begin(), file.begin() + 8);
  EXPECT_TRUE(header == (Bytes{std::byte{0xE8}, std::byte{0x03}, std::byte{0}, std::byte{0}, std::byte{0},
                               std::byte{0}, std::byte{0}, std::byte{0}}));

  const ProcessResult restored = lzunpack({"out.pk", "out.dat"});
  EXPECT_EQ(restored.status, 0);
  EXPECT_EQ(restored.out, "clen=" + payload_length + " dlen=1000 <out.pk> <out.dat>\nr=1000\n");
  EXPECT_TRUE(read_file(path("out.dat")) == read_file(path("in.dat")));
}

TEST_F(Cli, MissingOrEmptyInputFailsSilentlyWithoutOutput) {
  write_file(path("empty"), Bytes());
  for (const std::string input : {"missing", "empty"}) {
    for (const std::string name : {"lzpack", "lzunpack"}) {
      const ProcessResult result = run(name, {input, "out"});
      EXPECT_EQ(result.status, 1) << name << " " << input;
      EXPECT_EQ(result.out, "") << name << " " << input;
      EXPECT_FALSE(exists("out")) << name << " " << input;
    }
  }
}

TEST_F(Cli, LzunpackNeedsTwoPaths) {
  write_file(path("in.lzp"), Bytes(20));
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, std::vector<std::string>{"in.lzp"}}) {
    const ProcessResult result = lzunpack(arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(names(), std::vector<std::string>{"in.lzp"});
}

TEST_F(Cli, ExistingOutputIsReplaced) {
  write_file(path("in.dat"), make_data(DataKind::kText, 3000));
  write_file(path("out.lzp"), Bytes(100000, std::byte{'x'}));
  write_file(path("out.dat"), Bytes(100000, std::byte{'x'}));
  ASSERT_EQ(lzpack({"in.dat", "out.lzp", "2", "3"}).status, 0);
  EXPECT_LT(fs::file_size(path("out.lzp")), 3000u);
  ASSERT_EQ(lzunpack({"out.lzp", "out.dat"}).status, 0);
  EXPECT_TRUE(read_file(path("out.dat")) == read_file(path("in.dat")));
}

TEST_F(Cli, SameFileIsRefusedAndLeftUnchanged) {
  const Bytes original = make_data(DataKind::kText, 4000);
  write_file(path("in.dat"), original);
  ASSERT_EQ(lzpack({"in.dat", "in.lzp"}).status, 0);
  const Bytes packed = read_file(path("in.lzp"));
  fs::create_hard_link(path("in.dat"), path("hard.dat"));
  fs::create_symlink("in.dat", path("soft.dat"));
  fs::create_hard_link(path("in.lzp"), path("hard.lzp"));
  fs::create_symlink("in.lzp", path("soft.lzp"));

  for (const std::string& output : std::vector<std::string>{"in.dat", "./in.dat", "hard.dat", "soft.dat", path("in.dat")}) {
    const ProcessResult result = lzpack({"in.dat", output});
    EXPECT_EQ(result.status, 1) << output;
    EXPECT_EQ(result.out, "") << output;
  }
  for (const std::string output : {"in.lzp", "./in.lzp", "hard.lzp", "soft.lzp"}) {
    const ProcessResult result = lzunpack({"in.lzp", output});
    EXPECT_EQ(result.status, 1) << output;
    EXPECT_EQ(result.out, "") << output;
  }
  EXPECT_TRUE(read_file(path("in.dat")) == original);
  EXPECT_TRUE(read_file(path("in.lzp")) == packed);
}

TEST_F(Cli, ShortHeaderIsRefusedBeforeOutputExists) {
  for (std::size_t bytes = 1; bytes <= 7; ++bytes) {
    write_file(path("short.lzp"), Bytes(bytes, std::byte{0x10}));
    const ProcessResult result = lzunpack({"short.lzp", "out.dat"});
    EXPECT_EQ(result.status, 1) << bytes;
    EXPECT_EQ(result.out, "") << bytes;
    EXPECT_FALSE(exists("out.dat")) << bytes;
  }
}

TEST_F(Cli, ZeroOrNegativeRawLengthFailsAtTheOutputMapping) {
  Bytes header(8, std::byte{0});
  write_file(path("zero.lzp"), header);
  Bytes negative(12, std::byte{0xFF});
  write_file(path("negative.lzp"), negative);
  for (const std::string input : {"zero.lzp", "negative.lzp"}) {
    const ProcessResult result = lzunpack({input, "out.dat"});
    EXPECT_EQ(result.status, 1) << input;
    EXPECT_EQ(result.out, "") << input;
    ASSERT_TRUE(exists("out.dat")) << "the output was created before its mapping failed";
    EXPECT_EQ(fs::file_size(path("out.dat")), 0u);
    fs::remove(path("out.dat"));
  }
}

TEST_F(Cli, DamagedFileLeavesNoOutput) {
  const Bytes original = make_data(DataKind::kText, 20000);
  write_file(path("in.dat"), original);
  ASSERT_EQ(lzpack({"in.dat", "good.lzp", "4", "5"}).status, 0);
  const Bytes good = read_file(path("good.lzp"));
  const std::int64_t payload_length = static_cast<std::int64_t>(good.size()) - 8;

  struct Damage {
    const char* what;
    Bytes file;
    std::int64_t clen;
    std::int64_t dlen;
  };
  Bytes flipped = good;
  flipped[good.size() / 2] ^= std::byte{0x04};
  const Bytes cut(good.begin(), good.end() - 10);
  Bytes longer = good;
  longer[0] = std::byte{0x21};  // 20000 is 0x4E20
  Bytes shorter = good;
  shorter[0] = std::byte{0x1F};
  Bytes trailing = good;
  trailing.push_back(std::byte{0});
  const std::vector<Damage> damages = {
      {"flipped bit in the payload", flipped, payload_length, 20000},
      {"payload cut short", cut, payload_length - 10, 20000},
      {"header one too long", longer, payload_length, 20001},
      {"header one too short", shorter, payload_length, 19999},
      {"trailing garbage", trailing, payload_length + 1, 20000},
  };
  for (const Damage& damage : damages) {
    write_file(path("bad.lzp"), damage.file);
    const ProcessResult result = lzunpack({"bad.lzp", "out.dat"});
    EXPECT_EQ(result.status, 1) << damage.what;
    EXPECT_EQ(result.out, "clen=" + std::to_string(damage.clen) + " dlen=" + std::to_string(damage.dlen) +
                              " <bad.lzp> <out.dat>\nr=0\n")
        << damage.what;
    EXPECT_FALSE(exists("out.dat")) << damage.what;
  }
}

struct DataCase {
  const char* name;
  DataKind kind;
  std::size_t bytes;
};
void PrintTo(const DataCase& data, std::ostream* out) { *out << data.name; }

const DataCase kDataCases[] = {
    {"one_byte", DataKind::kText, 1},      {"few_bytes", DataKind::kText, 5},     {"text_1000", DataKind::kText, 1000},
    {"zeros", DataKind::kZeros, 200000}, {"random", DataKind::kRandom, 200000}, {"mixed_3MB", DataKind::kMixed, 3 << 20},
};

using RoundTripCase = std::tuple<int /*codec*/, int /*level*/, DataCase>;
class CliRoundTrip : public Cli, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(CliRoundTrip, RestoresByteForByte) {
  const auto [codec, level, data] = GetParam();
  const Bytes original = make_data(data.kind, data.bytes, 11);
  write_file(path("in.dat"), original);
  const std::string size = std::to_string(data.bytes);
  const ProcessResult packed = lzpack({"in.dat", "out.lzp", std::to_string(codec), std::to_string(level)});
  ASSERT_EQ(packed.status, 0);
  const std::int64_t payload_length = static_cast<std::int64_t>(fs::file_size(path("out.lzp"))) - 8;
  EXPECT_EQ(packed.out, "len=" + size + " in.dat out.lzp " + std::to_string(codec) + " " + std::to_string(level) +
                            "\nr=" + std::to_string(payload_length) + "\n");

  const ProcessResult restored = lzunpack({"out.lzp", "out.dat"});
  EXPECT_EQ(restored.status, 0);
  EXPECT_EQ(restored.out, "clen=" + std::to_string(payload_length) + " dlen=" + size + " <out.lzp> <out.dat>\nr=" +
                              size + "\n");
  EXPECT_TRUE(read_file(path("out.dat")) == original);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, CliRoundTrip,
    ::testing::Combine(::testing::Range(0, 8), ::testing::Values(0, 5, 9), ::testing::ValuesIn(kDataCases)),
    [](const ::testing::TestParamInfo<RoundTripCase>& test_case) {
      return "codec" + std::to_string(std::get<0>(test_case.param)) + "_level" +
             std::to_string(std::get<1>(test_case.param)) + "_" + std::get<2>(test_case.param).name;
    });

}  // namespace
