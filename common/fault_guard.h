// How a run ends when it cannot finish: a fault on a mapped page, or a request to stop.
//
// The input and the output are memory mappings that the codec library reads and writes on any of
// its threads. A page of the input can vanish when another process cuts the file short, and a page
// of the output (grown sparse, so its space is claimed page by page) can find its file system full;
// the access then faults in whichever thread made it. Neither that nor a request to stop may leave
// an output that could pass for a good one, and neither may touch the input.
//
// Each platform provides one implementation file (fault_guard_posix.cpp, ...).
#pragma once

namespace lzpack::fault_guard {

// Call once, after the input is mapped and before the output is created. From then on a fault on
// a mapped page ends the process at once with status 1, without a core dump and without a message,
// whichever thread met it. Requests to stop (SIGINT, SIGTERM, SIGHUP) are held back until
// arm_output_removal, so that one arriving while the output is being created is acted on only once
// the output can be removed; a run that fails before that point ends with its own status 1 and
// the held request is dropped with the process. Requests that were ignored when the program
// started (as under nohup) stay ignored.
void install();

// Call right after the output was created or replaced at `path`, a path it was opened under. From
// then on a fault or a request to stop first removes `path`: a fault then ends the process with
// status 1; a request to stop ends it by that signal's default action, as if the program had not
// caught it, so a shell reports 128 plus the signal's number. Releases the requests install held
// back, acting at once on any that arrived meanwhile. Never disarmed: a request that arrives after
// the run has finished its work still removes the output and ends the run as stopped.
void arm_output_removal(const char* path);

}  // namespace lzpack::fault_guard
