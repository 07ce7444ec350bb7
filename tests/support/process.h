// Runs a program with arguments in a working folder and captures its output and exit status.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace lzpack::test {

struct ProcessResult {
  int status = -1;       // exit status, or 128 + signal number
  std::string out;
  std::string err;
};

// A program started by start_process and not yet waited for.
struct StartedProcess {
  pid_t pid = -1;
  int out_fd = -1;
  int err_fd = -1;
  std::string out;  // standard output read so far
};

// Starts `command` in `folder` with both output streams on pipes. The program starts with the
// default handling of every signal, whatever the test runner blocks or ignores (nohup, say).
inline StartedProcess start_process(const std::vector<std::string>& command, const std::string& folder) {
  int out_pipe[2];
  int err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) return {};
  const pid_t child = fork();
  if (child < 0) {
    for (const int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    return {};
  }
  if (child == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) signal(signal_number, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (chdir(folder.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  return {child, out_pipe[0], err_pipe[0], {}};
}

// Reads standard output until it holds a whole line or ends, and returns what it holds.
inline const std::string& read_first_line(StartedProcess& process) {
  while (process.out.find('\n') == std::string::npos) {
    char chunk[4096];
    const ssize_t got = read(process.out_fd, chunk, sizeof chunk);
    if (got <= 0) break;
    process.out.append(chunk, static_cast<std::size_t>(got));
  }
  return process.out;
}

// Reads both streams to their end and waits for the program to exit.
inline ProcessResult finish_process(StartedProcess& process) {
  ProcessResult result;
  if (process.pid < 0) return result;
  result.out = process.out;
  pollfd fds[2] = {{process.out_fd, POLLIN, 0}, {process.err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char chunk[4096];
      const ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
      if (got > 0) {
        sinks[i]->append(chunk, static_cast<std::size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  int wait_status = 0;
  waitpid(process.pid, &wait_status, 0);
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  return result;
}

inline ProcessResult run_process(const std::vector<std::string>& command, const std::string& folder) {
  StartedProcess process = start_process(command, folder);
  return finish_process(process);
}

}  // namespace lzpack::test
