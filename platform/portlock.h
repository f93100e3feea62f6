// The kit's advisory lock over port sequences that must not be cut: a
// Super-I/O read from entry key to exit key, an index/data register pair,
// the PCI configuration address/data pair.  Every program of the kit holds it
// for each such sequence, and never while it waits for a person.  It
// serialises the kit's own programs only: the kernel's drivers and other
// software do not take it.
//
// The real implementation locks /run/lock/hwkit-ports.lock; test builds link
// the simulated appliance's, which traces the lock beside the port traffic.
#pragma once

#include <cstddef>

// How long port_lock waits for another holder, in milliseconds.
enum { PORT_LOCK_WAIT_MS = 2000 };

// Takes the lock, waiting at most PORT_LOCK_WAIT_MS for another holder.
// 0: held until port_unlock.  -1: not held; why then says why, as a phrase
// for the program's own message ("port lock PATH still held by process N after 2 s").
int port_lock(char *why, size_t size);
void port_unlock();
