#include "platform/lockfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// How often a lock held elsewhere is tried again.
static const long RETRY_NS = 2 * 1000 * 1000;

// Makes the folders above path that are missing (only root's programs take
// the lock, and /run/lock is missing only on machines without Debian's boot).
static void make_folders(const char *path)
{
    char folder[256];
    if (snprintf(folder, sizeof folder, "%s", path) >= (int)sizeof folder)
        return;
    for (char *slash = strchr(folder + 1, '/'); slash; slash = strchr(slash + 1, '/')) {
        *slash = '\0';
        mkdir(folder, 0755);
        *slash = '/';
    }
}

static int open_lock_file(const char *path, char *why, size_t size)
{
    const int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
    int fd = open(path, flags, 0600);
    if (fd < 0 && errno == ENOENT) {
        make_folders(path);
        fd = open(path, flags, 0600);
    }
    if (fd < 0) {
        snprintf(why, size, "cannot open port lock %s: %s", path, strerror(errno));
        return -1;
    }
    // Whoever may open the file may also hold the lock: only its owner may.
    // A second name for the file would be someone's link to another file.
    struct stat st;
    if (fstat(fd, &st) < 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) ||
        st.st_nlink != 1) {
        snprintf(why, size, "port lock %s is not a file of user %u alone", path, (unsigned)geteuid());
        close(fd);
        return -1;
    }
    return fd;
}

static long elapsed_ms(const struct timespec &since)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - since.tv_sec) * 1000 + (now.tv_nsec - since.tv_nsec) / 1000000;
}

int lockfile_take(const char *path, int wait_ms, int *fd, char *why, size_t size)
{
    *fd = open_lock_file(path, why, size);
    if (*fd < 0)
        return -1;
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (fcntl(*fd, F_SETLK, &whole) < 0) {
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
            snprintf(why, size, "cannot take port lock %s: %s", path, strerror(errno));
            lockfile_release(fd);
            return -1;
        }
        if (elapsed_ms(start) >= wait_ms) {
            struct flock holder = whole;
            int seconds = (wait_ms + 999) / 1000;
            if (fcntl(*fd, F_GETLK, &holder) == 0 && holder.l_type != F_UNLCK && holder.l_pid > 0)
                snprintf(why, size, "port lock %s still held by process %d after %d s", path, (int)holder.l_pid, seconds);
            else
                snprintf(why, size, "port lock %s still held by another process after %d s", path, seconds);
            lockfile_release(fd);
            return -1;
        }
        struct timespec pause = {0, RETRY_NS};
        nanosleep(&pause, nullptr);
    }
    return 0;
}

void lockfile_release(int *fd)
{
    if (*fd >= 0)
        close(*fd);
    *fd = -1;
}
