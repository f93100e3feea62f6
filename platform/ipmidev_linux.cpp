#include "platform/ipmidev.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

int ipmidev_open(const char *path, int flags) { return open(path, flags); }
int ipmidev_ioctl(int fd, unsigned long request, void *arg) { return ioctl(fd, request, arg); }
int ipmidev_select(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds,
                   struct timeval *timeout)
{
    return select(nfds, readfds, writefds, exceptfds, timeout);
}
int ipmidev_close(int fd) { return close(fd); }
