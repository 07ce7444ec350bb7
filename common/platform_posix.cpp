// POSIX implementation of the platform services: open, lseek, read, ftruncate, mmap, munmap.
#include "platform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace lzpack::platform {
namespace {

thread_local std::uint32_t g_last_error = 0;

int descriptor(FileHandle file) { return static_cast<int>(file); }

void remember_errno() { g_last_error = errno != 0 ? static_cast<std::uint32_t>(errno) : EIO; }

std::int64_t join_halves(std::uint32_t high, std::uint32_t low) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

}  // namespace

FileHandle open_existing_for_reading(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    remember_errno();
    return kInvalidFile;
  }
  return fd;
}

FileHandle create_or_replace_for_read_write(const char* path) {
  const int fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    remember_errno();
    return kInvalidFile;
  }
  return fd;
}

std::uint32_t seek_file(FileHandle file, std::int32_t distance_low, std::int32_t* distance_high,
                        SeekOrigin origin) {
  const std::uint32_t high = distance_high != nullptr ? static_cast<std::uint32_t>(*distance_high)
                             : distance_low < 0       ? 0xFFFFFFFFu
                                                      : 0u;
  const std::int64_t distance = join_halves(high, static_cast<std::uint32_t>(distance_low));
  const int whence = origin == SeekOrigin::kBegin     ? SEEK_SET
                     : origin == SeekOrigin::kCurrent ? SEEK_CUR
                                                      : SEEK_END;
  const off_t position = ::lseek(descriptor(file), static_cast<off_t>(distance), whence);
  if (position < 0) {
    remember_errno();
    return 0xFFFFFFFFu;
  }
  g_last_error = 0;
  const auto unsigned_position = static_cast<std::uint64_t>(position);
  if (distance_high != nullptr) {
    *distance_high = static_cast<std::int32_t>(unsigned_position >> 32);
  }
  return static_cast<std::uint32_t>(unsigned_position);
}

std::uint32_t last_error() { return g_last_error; }

bool read_file(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t* count_read) {
  *count_read = 0;
  ssize_t got;
  do {
    got = ::read(descriptor(file), buffer, count);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    remember_errno();
    return false;
  }
  *count_read = static_cast<std::uint32_t>(got);
  return true;
}

MappingHandle create_file_mapping(FileHandle file, Access access, std::uint32_t size_high,
                                  std::uint32_t size_low) {
  MappingHandle mapping;
  const std::int64_t size = join_halves(size_high, size_low);
  // mmap cannot map zero bytes, and a negative size is a failed size query.
  if (size <= 0 || static_cast<std::uint64_t>(size) > SIZE_MAX) {
    g_last_error = EINVAL;
    return mapping;
  }
  if (access == Access::kReadWrite && ::ftruncate(descriptor(file), static_cast<off_t>(size)) != 0) {
    remember_errno();
    return mapping;
  }
  mapping.valid = true;
  mapping.file = file;
  mapping.access = access;
  mapping.size = size;
  return mapping;
}

void* map_view(const MappingHandle& mapping, Access access) {
  if (!mapping.valid) return nullptr;
  const int protection = access == Access::kReadWrite ? PROT_READ | PROT_WRITE : PROT_READ;
  void* view = ::mmap(nullptr, static_cast<std::size_t>(mapping.size), protection, MAP_SHARED,
                      descriptor(mapping.file), 0);
  if (view == MAP_FAILED) {
    remember_errno();
    return nullptr;
  }
  return view;
}

bool unmap_view(const MappingHandle& mapping, void* view) {
  return ::munmap(view, static_cast<std::size_t>(mapping.size)) == 0;
}

bool close_mapping(MappingHandle& mapping) {
  // A POSIX mapping holds no object of its own beyond its views.
  const bool was_valid = mapping.valid;
  mapping.valid = false;
  return was_valid;
}

bool close_file(FileHandle file) { return ::close(descriptor(file)) == 0; }

bool set_end_of_file(FileHandle file) {
  const off_t position = ::lseek(descriptor(file), 0, SEEK_CUR);
  if (position < 0 || ::ftruncate(descriptor(file), position) != 0) {
    remember_errno();
    return false;
  }
  return true;
}

bool names_open_file(FileHandle file, const char* path) {
  struct stat opened {};
  struct stat named {};
  if (::fstat(descriptor(file), &opened) != 0 || ::stat(path, &named) != 0) return false;
  return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool remove_file(const char* path) { return std::remove(path) == 0; }

}  // namespace lzpack::platform
