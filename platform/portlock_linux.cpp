#include "platform/lockfile.h"
#include "platform/portlock.h"

// Where Debian keeps the locks of root's tools; fixed, like every other way
// of reaching the hardware.
static const char PORT_LOCK_PATH[] = "/run/lock/hwkit-ports.lock";

static int g_lock_fd = -1;

int port_lock(char *why, size_t size) { return lockfile_take(PORT_LOCK_PATH, PORT_LOCK_WAIT_MS, &g_lock_fd, why, size); }

void port_unlock() { lockfile_release(&g_lock_fd); }
