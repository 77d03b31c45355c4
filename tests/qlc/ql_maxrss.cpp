// Runs a command and reports its peak resident memory; fails when the command fails or its
// peak exceeds the limit. Usage: ql_maxrss LIMIT_KIB COMMAND [ARGS...]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: ql_maxrss LIMIT_KIB COMMAND [ARGS...]\n");
    return 2;
  }
  const long limit = std::strtol(argv[1], nullptr, 10);
  const pid_t pid = fork();
  if (pid < 0) { return 2; }
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid) { return 2; }
  std::fprintf(stderr, "%s: peak resident memory %ld KiB (limit %ld KiB)\n", argv[2],
               static_cast<long>(usage.ru_maxrss), limit);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) { return 1; }
  return usage.ru_maxrss <= limit ? 0 : 1;
}
