// The library's own small pool: a body run on several threads, all joined before returning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace lzcodec {

// Threads for `tasks` independent tasks: `requested` when positive, else one per core this
// process may run on; never more than `tasks`, never fewer than 1.
unsigned thread_count_for(std::int32_t requested, std::size_t tasks);

// Runs `body` on `threads` threads, the calling one included, and returns once all have
// finished. When fewer threads can be started, the body runs on those there are: bodies must
// take their work from a shared counter rather than assume a share. `body` must not throw.
void run_on_threads(unsigned threads, const std::function<void()>& body);

}  // namespace lzcodec
