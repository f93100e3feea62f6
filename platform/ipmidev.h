// The system calls made on the kernel's IPMI character device.
//
// The real implementation passes them straight to the C library; test builds
// link the simulated appliance's BMC instead.  Results and errno as the
// system calls give them.
#pragma once

#include <sys/select.h>

int ipmidev_open(const char *path, int flags);
int ipmidev_ioctl(int fd, unsigned long request, void *arg);
int ipmidev_select(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds,
                   struct timeval *timeout);
int ipmidev_close(int fd);
