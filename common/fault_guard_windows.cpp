// Windows implementation of the fault guard. A page of a mapped view that cannot be read or
// written raises EXCEPTION_IN_PAGE_ERROR in the thread that touched it; Ctrl-C, Ctrl-Break and
// closing the console arrive on a thread of their own. The output was opened with delete sharing,
// so deleting it while its view is mapped marks it for removal when the process ends.
#include "fault_guard.h"

#include <windows.h>

#include <cstring>

namespace lzpack::fault_guard {
namespace {

constexpr DWORD kStoppedByControlC = 0xC000013A;  // what Windows reports for a run ended by Ctrl-C

char g_output_path[32768];
volatile LONG g_armed = 0;
volatile LONG g_stop_requested = 0;

void remove_armed_output() {
  if (InterlockedCompareExchange(&g_armed, 0, 0) != 0) DeleteFileA(g_output_path);
}

LONG WINAPI on_exception(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != EXCEPTION_IN_PAGE_ERROR) return EXCEPTION_CONTINUE_SEARCH;
  remove_armed_output();
  ExitProcess(1);
}

BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  // Before the output exists there is nothing to remove; the request waits for arming.
  if (InterlockedCompareExchange(&g_armed, 0, 0) == 0) {
    InterlockedExchange(&g_stop_requested, 1);
    return TRUE;
  }
  remove_armed_output();
  ExitProcess(kStoppedByControlC);
}

}  // namespace

void install() {
  AddVectoredExceptionHandler(1, on_exception);
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

void arm_output_removal(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length >= sizeof g_output_path) return;
  std::memcpy(g_output_path, path, length + 1);
  InterlockedExchange(&g_armed, 1);
  if (InterlockedCompareExchange(&g_stop_requested, 0, 0) != 0) {
    remove_armed_output();
    ExitProcess(kStoppedByControlC);
  }
}

}  // namespace lzpack::fault_guard
