// Runs a command and reports its wall time, from just before its start to
// its end, on a line of its own that the runner shows but does not judge:
//
//   appliance-time COMMAND [ARG]...
//   @@report wall time of COMMAND [ARG]...: N us
//
// The exit status is the command's.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static long long now_us()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: appliance-time COMMAND [ARG]...\n");
        return 2;
    }
    fflush(stdout);
    long long start = now_us();
    pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        fprintf(stderr, "appliance-time: %s: %s\n", argv[1], strerror(errno));
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        fprintf(stderr, "appliance-time: %s\n", strerror(errno));
        return 126;
    }
    long long elapsed = now_us() - start;
    printf("@@report wall time of");
    for (int i = 1; i < argc; i++)
        printf(" %s", argv[i]);
    printf(": %lld us\n", elapsed);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
