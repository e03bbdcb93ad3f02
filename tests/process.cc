#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pty.h>

#include <chrono>
#include <csignal>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace synthfactors::child_process {

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::string& input,
                         const std::vector<std::string>& env,
                         const ProcessOptions& options) {
  std::signal(SIGPIPE, SIG_IGN);  // a child may exit before reading it all
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0 ||
      pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  using Terminal = ProcessOptions::Terminal;
  int terminal = -1, terminal_child = -1;
  if (options.terminal != Terminal::kNone) {
    if (openpty(&terminal, &terminal_child, nullptr, nullptr, nullptr) != 0) {
      throw std::runtime_error("openpty failed");
    }
    fcntl(terminal, F_SETFD, FD_CLOEXEC);
    fcntl(terminal_child, F_SETFD, FD_CLOEXEC);
  }
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(options.terminal == Terminal::kOutputAndError ? terminal_child : out_pipe[1], 1);
    dup2(options.terminal == Terminal::kNone ? err_pipe[1] : terminal_child, 2);
    // As a shell starts a job in the foreground: an interrupt that the
    // test's own parent ignores (a background run) reaches the child.
    std::signal(SIGINT, SIG_DFL);
    for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (terminal >= 0) {
    close(terminal_child);
    close(err_pipe[0]);  // what the terminal shows goes to `err`
    err_pipe[0] = terminal;
  }

  ProcessResult result;
  std::size_t written = 0;
  int in_fd = in_pipe[1];
  if (input.empty()) {
    close(in_fd);
    in_fd = -1;
  } else {
    fcntl(in_fd, F_SETFL, O_NONBLOCK);
  }
  pollfd fds[3] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0},
                   {in_fd, POLLOUT, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_outputs = 2;
  const auto start = std::chrono::steady_clock::now();
  bool interrupted = options.interrupt_after_ms < 0;
  while (open_outputs > 0) {
    int timeout = -1;
    if (!interrupted) {
      const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
      if (elapsed >= options.interrupt_after_ms) {
        kill(pid, SIGINT);
        interrupted = true;
      } else {
        timeout = static_cast<int>(options.interrupt_after_ms - elapsed);
      }
    }
    if (poll(fds, 3, timeout) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {  // EIO: terminal closed
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_outputs;
      }
    }
    if (fds[2].fd >= 0 && fds[2].revents != 0) {
      const ssize_t n = write(fds[2].fd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 || written == input.size()) {
        close(fds[2].fd);
        fds[2].fd = -1;
      }
    }
  }
  if (fds[2].fd >= 0) close(fds[2].fd);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  result.peak_memory_kib = usage.ru_maxrss;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace synthfactors::child_process
