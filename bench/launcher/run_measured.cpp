// run_measured - runs a program and writes its peak resident memory (KiB) to a file.
//
//   run_measured PEAK_FILE PROGRAM [ARGUMENTS...]
//
// Exits with the program's exit status (127 when it cannot be started, 128 + the
// signal when one ended it). A process's peak memory, as wait4 reports it, includes
// the memory of the process it was forked from up to its exec; the benchmarks keep
// large test data, so they start the programs they measure through this small
// process, whose own few pages are all a measured program inherits.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: run_measured PEAK_FILE PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return 127;
    std::FILE* peak = std::fopen(argv[1], "w");
    if (peak == nullptr) return 2;
    std::fprintf(peak, "%ld\n", usage.ru_maxrss);
    std::fclose(peak);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
