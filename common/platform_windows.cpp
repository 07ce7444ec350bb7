// Windows implementation of the platform services: CreateFileA, SetFilePointer, ReadFile,
// CreateFileMappingA, MapViewOfFile and their releases.
#include "platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lzpack::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE native(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle from_native(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE || handle == nullptr ? kInvalidFile : reinterpret_cast<FileHandle>(handle);
}

DWORD move_method(SeekOrigin origin) {
  switch (origin) {
    case SeekOrigin::kBegin: return FILE_BEGIN;
    case SeekOrigin::kCurrent: return FILE_CURRENT;
    case SeekOrigin::kEnd: return FILE_END;
  }
  return FILE_BEGIN;
}

bool identify(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
  return GetFileInformationByHandle(handle, &info) != FALSE;
}

}  // namespace

FileHandle open_existing_for_reading(const char* path) {
  return from_native(CreateFileA(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
}

FileHandle create_or_replace_for_read_write(const char* path) {
  return from_native(
      CreateFileA(path, GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS, 0, nullptr));
}

std::uint32_t seek_file(FileHandle file, std::int32_t distance_low, std::int32_t* distance_high,
                        SeekOrigin origin) {
  // SetFilePointer clears the error only when the low half it returns is 0xFFFFFFFF; clearing it
  // first makes last_error() 0 after every success, as the interface promises.
  SetLastError(NO_ERROR);
  LONG high = distance_high != nullptr ? *distance_high : 0;
  const DWORD low = SetFilePointer(native(file), distance_low, distance_high != nullptr ? &high : nullptr,
                                   move_method(origin));
  if (distance_high != nullptr) *distance_high = high;
  return low;
}

std::uint32_t last_error() { return GetLastError(); }

bool read_file(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t* count_read) {
  DWORD got = 0;
  const BOOL done = ReadFile(native(file), buffer, count, &got, nullptr);
  *count_read = got;
  return done != FALSE;
}

MappingHandle create_file_mapping(FileHandle file, Access access, std::uint32_t size_high,
                                  std::uint32_t size_low) {
  MappingHandle mapping;
  // A size of 0 would map the file at its current length, and one with the top bit set is a failed
  // size query, not a wish for an exabyte.
  if (static_cast<std::int32_t>(size_high) < 0 || (size_high == 0 && size_low == 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return mapping;
  }
  const DWORD protection = access == Access::kReadWrite ? PAGE_READWRITE : PAGE_READONLY;
  const HANDLE object = CreateFileMappingA(native(file), nullptr, protection, size_high, size_low, nullptr);
  if (object == nullptr) return mapping;
  mapping.valid = true;
  mapping.file = file;
  mapping.access = access;
  mapping.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(size_high) << 32) | size_low);
  mapping.native = reinterpret_cast<std::intptr_t>(object);
  return mapping;
}

void* map_view(const MappingHandle& mapping, Access access) {
  if (!mapping.valid) return nullptr;
  const DWORD desired = access == Access::kReadWrite ? FILE_MAP_WRITE : FILE_MAP_READ;
  return MapViewOfFile(reinterpret_cast<HANDLE>(mapping.native), desired, 0, 0, 0);
}

bool unmap_view(const MappingHandle& /*mapping: a view knows its own size*/, void* view) {
  return UnmapViewOfFile(view) != FALSE;
}

bool close_mapping(MappingHandle& mapping) {
  if (!mapping.valid) return false;
  mapping.valid = false;
  return CloseHandle(reinterpret_cast<HANDLE>(mapping.native)) != FALSE;
}

bool close_file(FileHandle file) { return CloseHandle(native(file)) != FALSE; }

bool set_end_of_file(FileHandle file) { return SetEndOfFile(native(file)) != FALSE; }

bool names_open_file(FileHandle file, const char* path) {
  BY_HANDLE_FILE_INFORMATION opened{};
  if (!identify(native(file), opened)) return false;
  // No access is asked for, only the identity; backup semantics let a folder be opened too.
  const HANDLE named_handle =
      CreateFileA(path, 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named_handle == INVALID_HANDLE_VALUE || named_handle == nullptr) return false;
  BY_HANDLE_FILE_INFORMATION named{};
  const bool known = identify(named_handle, named);
  CloseHandle(named_handle);
  return known && opened.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
         opened.nFileIndexHigh == named.nFileIndexHigh && opened.nFileIndexLow == named.nFileIndexLow;
}

bool remove_file(const char* path) { return DeleteFileA(path) != FALSE; }

}  // namespace lzpack::platform
