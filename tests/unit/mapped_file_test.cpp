#include "mapped_file.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace lzpack {
namespace {

using test::TempFolder;

// /proc/thread-self/comm cannot be sized by seeking to its end, while seeks from the start and
// reads work: the very kind of file the read probe exists for. Its content is the thread's name
// and a newline, so its length can be chosen from 1 to 16 bytes.
class CommFile {
 public:
  explicit CommFile(const std::string& name) {
    prctl(PR_GET_NAME, saved_name_);
    prctl(PR_SET_NAME, name.c_str());
  }
  CommFile(const CommFile&) = delete;
  CommFile& operator=(const CommFile&) = delete;
  ~CommFile() { prctl(PR_SET_NAME, saved_name_); }
  static const char* path() { return "/proc/thread-self/comm"; }

 private:
  char saved_name_[17] = {};
};

std::int64_t position_of(platform::FileHandle file) {
  std::int32_t high = 0;
  const std::uint32_t low = platform::seek_file(file, 0, &high, platform::SeekOrigin::kCurrent);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | low);
}

TEST(ProbeFileSize, SizesProcfsFileWhoseEndCannotBeSeeked) {
  // Content of 1 byte gives 0 by design: offset 0 is never read.
  const struct {
    std::string name;
    std::int64_t expected_size;
  } cases[] = {{"", 0}, {"a", 2}, {"fifteen-letters", 16}};
  for (const auto& c : cases) {
    const CommFile comm(c.name);
    const platform::FileHandle file = platform::open_existing_for_reading(CommFile::path());
    ASSERT_NE(file, platform::kInvalidFile);
    std::int32_t high = 0;
    ASSERT_EQ(platform::seek_file(file, 0, &high, platform::SeekOrigin::kEnd), 0xFFFFFFFFu);
    ASSERT_NE(platform::last_error(), 0u) << "this file can be sized by seeking; the probe would not be used";

    EXPECT_EQ(query_file_size(file), c.expected_size) << c.name;
    EXPECT_EQ(position_of(file), 0) << "the position must be restored after the probe";
    platform::close_file(file);
  }
}

TEST(QueryFileSize, SizeWithAllOnesLowHalfIsUsedUnchanged) {
  const TempFolder folder;
  const std::string path = folder / "sparse";
  { std::ofstream create(path); }
  std::filesystem::resize_file(path, 0xFFFFFFFFull);
  const platform::FileHandle file = platform::open_existing_for_reading(path.c_str());
  ASSERT_NE(file, platform::kInvalidFile);
  std::int32_t high = 0;
  platform::seek_file(file, 123, &high, platform::SeekOrigin::kBegin);

  EXPECT_EQ(query_file_size(file), 0xFFFFFFFFll);
  EXPECT_EQ(position_of(file), 123);
  platform::close_file(file);
}

TEST(OpenMappedInput, FailsForMissingAndEmptyFiles) {
  const TempFolder folder;
  InputMapping missing;
  EXPECT_FALSE(open_mapped_input((folder / "missing").c_str(), missing));
  EXPECT_EQ(missing.file, platform::kInvalidFile);

  test::write_file(folder / "empty", std::string());
  InputMapping empty;
  EXPECT_FALSE(open_mapped_input((folder / "empty").c_str(), empty));
  EXPECT_NE(empty.file, platform::kInvalidFile) << "an empty file opens but cannot be mapped";
  EXPECT_FALSE(empty.mapping.valid);
}

TEST(OpenMappedInput, MapsWholeFile) {
  const TempFolder folder;
  test::write_file(folder / "in", std::string("hello, mapping"));
  InputMapping input;
  ASSERT_TRUE(open_mapped_input((folder / "in").c_str(), input));
  EXPECT_EQ(input.size, 14);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(input.view), 14), "hello, mapping");
}

TEST(CreateMappedOutput, ReplacesExistingFileAndCutsToLength) {
  const TempFolder folder;
  const std::string path = folder / "out";
  test::write_file(path, std::string(10000, 'q'));

  OutputMapping output;
  ASSERT_TRUE(create_mapped_output(path.c_str(), 6103, output));
  EXPECT_EQ(std::filesystem::file_size(path), 6103u);
  EXPECT_EQ(output.view[0], std::byte{0}) << "the old content must be gone";
  output.view[0] = std::byte{'A'};
  output.view[307] = std::byte{'Z'};
  release_output_view(output);
  set_file_length(output.file, 308);
  platform::close_file(output.file);

  const std::vector<std::byte> content = test::read_file(path);
  ASSERT_EQ(content.size(), 308u);
  EXPECT_EQ(content.front(), std::byte{'A'});
  EXPECT_EQ(content.back(), std::byte{'Z'});
}

TEST(CreateMappedOutput, ZeroOrNegativeSizeFailsLeavingEmptyFile) {
  const TempFolder folder;
  for (const std::int64_t size : {std::int64_t{0}, std::int64_t{-1}}) {
    const std::string path = folder / ("out" + std::to_string(size));
    OutputMapping output;
    EXPECT_FALSE(create_mapped_output(path.c_str(), size, output));
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
  }
}

TEST(NamesOpenFile, RecognisesLinksAndOtherSpellings) {
  const TempFolder folder;
  const std::string path = folder / "in";
  test::write_file(path, std::string("x"));
  std::filesystem::create_hard_link(path, folder / "hard");
  std::filesystem::create_symlink(path, folder / "soft");
  test::write_file(folder / "other", std::string("x"));

  const platform::FileHandle file = platform::open_existing_for_reading(path.c_str());
  ASSERT_NE(file, platform::kInvalidFile);
  for (const std::string& same : {path, folder / "hard", folder / "soft", folder / "./in"}) {
    EXPECT_TRUE(platform::names_open_file(file, same.c_str())) << same;
  }
  EXPECT_FALSE(platform::names_open_file(file, (folder / "other").c_str()));
  EXPECT_FALSE(platform::names_open_file(file, (folder / "missing").c_str()));
  platform::close_file(file);
}

}  // namespace
}  // namespace lzpack
