// Runs a command and reports its wall time, processor time and peak resident
// memory, without depending on an external time program:
//
//   bench_timer <report file> <program> [arguments...]
//
// The report is one line "wall_s user_s sys_s maxrss_kb exit_status", written
// to the report file so that the program's own output stays separate. The
// exit status of the timer is 0 when the program could be run at all.
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_timer <report file> <program> [arguments...]\n");
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child < 0) {
    std::perror("bench_timer: fork");
    return 2;
  }
  if (child == 0) {
    execvp(argv[2], argv + 2);
    std::perror("bench_timer: exec");
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("bench_timer: wait4");
    return 2;
  }
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
  int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::FILE* report = std::fopen(argv[1], "w");
  if (report == nullptr) {
    std::perror("bench_timer: report file");
    return 2;
  }
  // ru_maxrss is in kilobytes on Linux.
  std::fprintf(report, "%.6f %.6f %.6f %ld %d\n", wall, seconds(usage.ru_utime), seconds(usage.ru_stime),
               usage.ru_maxrss, exitStatus);
  std::fclose(report);
  return exitStatus == 127 ? 2 : 0;
}
