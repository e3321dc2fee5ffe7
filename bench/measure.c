/* measure OUT CMD [ARG...]: runs CMD with its standard output into the file OUT and its standard error
 * discarded, and prints "wall_seconds cpu_seconds peak_kib exit_status", the CPU time being user plus
 * system time, as wait4 reports them for CMD's process alone.
 *
 * Linux counts in a process's peak what it held before exec, so a command started from a large process
 * (a Python interpreter, about 13 MiB) would report that as its peak. Started from this small one, which
 * bench/run_vs_mawk.sh compiles statically, a command's peak is its own but for a few hundred KiB. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    fputs("usage: measure OUT CMD [ARG...]\n", stderr);
    return 2;
  }
  const int out = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int discard = open("/dev/null", O_WRONLY);
  if (out < 0 || discard < 0) {
    perror(argv[1]);
    return 2;
  }
  struct timespec start;
  struct timespec end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  const pid_t child = vfork();
  if (child < 0) {
    perror("vfork");
    return 2;
  }
  if (child == 0) {
    dup2(out, STDOUT_FILENO);
    dup2(discard, STDERR_FILENO);
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) < 0) {
    perror("wait4");
    return 2;
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  const double wall = (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) * 1e-9;
  const double cpu = (double)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     (double)(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  printf("%.4f %.4f %ld %d\n", wall, cpu, usage.ru_maxrss, exitStatus);
  return 0;
}
