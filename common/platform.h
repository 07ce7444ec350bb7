// The file and mapping services the mapped-file layer is built on. Each platform provides one
// implementation file (platform_posix.cpp, ...); nothing else includes operating-system headers.
//
// The services keep the shape the mapped-file layer was designed around: 64-bit positions and sizes
// travel as two 32-bit halves, a seek reports failure through last_error() rather than through its
// result, and a mapping object is created over an open file before a view of it is taken.
#pragma once

#include <cstdint>

namespace lzpack::platform {

// An open file: a descriptor or a native handle, whichever the platform has.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

enum class SeekOrigin { kBegin, kCurrent, kEnd };
enum class Access { kRead, kReadWrite };

// A mapping object over an open file. `valid` is false when creating it failed.
struct MappingHandle {
  bool valid = false;
  FileHandle file = kInvalidFile;
  Access access = Access::kRead;
  std::int64_t size = 0;
  std::intptr_t native = 0;  // platform object, where the platform has one
};

// Opens an existing file for reading; other processes may read, write or delete it meanwhile.
// Returns kInvalidFile on failure.
FileHandle open_existing_for_reading(const char* path);

// Creates a file, or replaces an existing one by an empty one, open for reading and writing.
// Returns kInvalidFile on failure.
FileHandle create_or_replace_for_read_write(const char* path);

// Moves the position of `file` to distance (high half through *distance_high when it is not null)
// from `origin`. Returns the low half of the new position and stores its high half in
// *distance_high. On failure returns 0xFFFFFFFF and last_error() is non-zero; after a success
// last_error() is 0, so a position whose low half is 0xFFFFFFFF can be told from a failure.
std::uint32_t seek_file(FileHandle file, std::int32_t distance_low, std::int32_t* distance_high,
                        SeekOrigin origin);

// The error code of the last failed platform call on this thread, 0 after a successful seek.
std::uint32_t last_error();

// Reads up to `count` bytes at the current position. *count_read gets the count actually read:
// 0 at or past the end. Returns false when the read failed.
bool read_file(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t* count_read);

// Creates a mapping object of size (size_high · 2^32 + size_low) bytes over `file`. For
// Access::kReadWrite the file is grown to that size first. A size of zero or less fails.
MappingHandle create_file_mapping(FileHandle file, Access access, std::uint32_t size_high,
                                  std::uint32_t size_low);

// Maps the whole mapping object into memory, readable or writable. Returns null on failure.
void* map_view(const MappingHandle& mapping, Access access);

// Releases a view made by map_view over `mapping`.
bool unmap_view(const MappingHandle& mapping, void* view);

// Releases a mapping object; its views stay valid until unmapped.
bool close_mapping(MappingHandle& mapping);

// Closes an open file.
bool close_file(FileHandle file);

// Makes the file end at its current position.
bool set_end_of_file(FileHandle file);

// True when `path` names the very file that `file` has open (same device and file number), so
// that hard links, symbolic links and other spellings of a path are recognised too.
bool names_open_file(FileHandle file, const char* path);

// Removes the directory entry `path`. Returns false when that failed.
bool remove_file(const char* path);

}  // namespace lzpack::platform
