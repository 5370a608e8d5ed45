// veskal_peak FILE PROGRAM [ARGS...]: runs PROGRAM with this process's
// standard input and output, and writes its peak resident memory in KiB to
// FILE. A child's peak counts the memory of the process it was started from,
// so the benchmarks start the measured program from this small one.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    pid_t pid;
    if (posix_spawn(&pid, argv[2], nullptr, nullptr, argv + 2, environ) != 0) return 2;
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid) return 2;
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) return 2;
    std::fprintf(out, "%ld\n", usage.ru_maxrss);
    std::fclose(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
