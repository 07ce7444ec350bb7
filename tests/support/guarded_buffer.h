// A buffer whose last byte is followed by an unreadable, unwritable page, so that any access past
// its end faults at once.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <stdexcept>

namespace lzpack::test {

class GuardedBuffer {
 public:
  explicit GuardedBuffer(std::size_t bytes) : bytes_(bytes) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t data_pages = (bytes + page - 1) / page;
    mapped_bytes_ = (data_pages + 1) * page;
    void* area = mmap(nullptr, mapped_bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) throw std::runtime_error("mmap failed");
    base_ = static_cast<std::byte*>(area);
    if (mprotect(base_ + data_pages * page, page, PROT_NONE) != 0) throw std::runtime_error("mprotect failed");
    data_ = base_ + data_pages * page - bytes;
  }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;
  ~GuardedBuffer() { munmap(base_, mapped_bytes_); }

  std::byte* data() { return data_; }
  std::size_t size() const { return bytes_; }
  void fill(const void* source, std::size_t count) { std::memcpy(data_, source, count); }

 private:
  std::size_t bytes_;
  std::size_t mapped_bytes_ = 0;
  std::byte* base_ = nullptr;
  std::byte* data_ = nullptr;
};

}  // namespace lzpack::test
