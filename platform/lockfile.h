// A lock file taken with a POSIX record lock, behind both implementations
// of the port lock.
#pragma once

#include <cstddef>

// Opens PATH (made with its missing folders, mode 0600), refusing a link and
// anything but a regular file of the effective user alone (no access for
// others, no second name), and takes a write lock on it, waiting at most
// wait_ms for another holder.  0: held, *fd is the open lock file.  -1: not
// held, nothing left open, why says why.
int lockfile_take(const char *path, int wait_ms, int *fd, char *why, size_t size);

// Releases the lock by closing the file; *fd becomes -1.
void lockfile_release(int *fd);
