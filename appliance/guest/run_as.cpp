// Runs a command as another user, without any supplementary group: the guest
// has no user database.
//
//   appliance-run-as UID COMMAND [ARG]...
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: appliance-run-as UID COMMAND [ARG]...\n");
        return 2;
    }
    uid_t id = (uid_t)strtoul(argv[1], nullptr, 0);
    if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0) {
        fprintf(stderr, "appliance-run-as: %s\n", strerror(errno));
        return 126;
    }
    execvp(argv[2], argv + 2);
    fprintf(stderr, "appliance-run-as: %s: %s\n", argv[2], strerror(errno));
    return 127;
}
