#include "scheduler.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

namespace lzcodec {
namespace {

unsigned available_cores() {
#if defined(__linux__)
  // Honour an affinity mask (taskset, cgroups' cpusets), which hardware_concurrency ignores.
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

unsigned thread_count_for(std::int32_t requested, std::size_t tasks) {
  const std::size_t wanted = requested > 0 ? static_cast<std::size_t>(requested) : available_cores();
  return static_cast<unsigned>(std::max<std::size_t>(1, std::min(wanted, tasks)));
}

void run_on_threads(unsigned threads, const std::function<void()>& body) {
  std::vector<std::thread> helpers;
  try {
    helpers.reserve(threads - 1);
    for (unsigned i = 1; i < threads; ++i) helpers.emplace_back(body);
  } catch (const std::system_error&) {
    // Fewer threads than asked for: the ones running share the work.
  } catch (const std::bad_alloc&) {
  }
  body();
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace lzcodec
