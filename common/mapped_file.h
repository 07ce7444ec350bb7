// Whole-file access through memory mappings, shared by lzpack and lzunpack.
//
// The input is read through one read-only view of the whole file; the output is written through
// one read/write view of a file created at the length the caller plans. Every step that can fail
// reports it and undoes nothing: the caller ends the run, and the process end releases the rest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform.h"

namespace lzpack {

struct InputMapping {
  platform::FileHandle file = platform::kInvalidFile;
  platform::MappingHandle mapping;
  const std::byte* view = nullptr;
  std::int64_t size = 0;
};

struct OutputMapping {
  platform::FileHandle file = platform::kInvalidFile;
  platform::MappingHandle mapping;
  std::byte* view = nullptr;
  std::int64_t size = 0;
};

// Opens `path` for reading, finds its size with query_file_size and maps all of it read-only.
// Fails when the file cannot be opened or mapped; an empty file cannot be mapped. On failure the
// record keeps what was acquired before the failing step.
bool open_mapped_input(const char* path, InputMapping& input);

// The size of the open file, found by seeking to its end; when the end cannot be found by
// seeking, by probe_file_size. The file position is left where it was.
std::int64_t query_file_size(platform::FileHandle file);

// The size of the open file found by reading alone: one pass per bit from 62 down to 0 reads
// 65,536 bytes at the candidate size, keeping the bit while whole reads come back and stopping at
// the first short read. Content of 0 or 1 byte gives 0. Returns -1 when no scratch memory could be
// had. Moves the file position.
std::int64_t probe_file_size(platform::FileHandle file);

// Creates or replaces `path`, grows it to `size` bytes and maps all of it read/write. Fails when
// the file cannot be created, grown to a size of 1 byte or more, or mapped. A file created before
// the failing step stays behind.
bool create_mapped_output(const char* path, std::int64_t size, OutputMapping& output);

// Unmaps the output view and releases the mapping; the file stays open.
void release_output_view(OutputMapping& output);

// Makes the open file exactly `length` bytes long. Call only after release_output_view.
void set_file_length(platform::FileHandle file, std::int64_t length);

// Gives up an output that must not be taken for a good one: releases its view if it is still
// mapped, closes it and removes `path`, which must be the path it was created under.
void discard_output(OutputMapping& output, const char* path);

}  // namespace lzpack
