// Super-I/O configuration access keys: parsing one from the command line,
// sending it to a chip, and taking the chip out of configuration mode.
#pragma once

// A key record: byte 0 holds the count of key bytes (0 to 8, 0 for no key),
// bytes 1 to 8 the key bytes in sending order.
enum { SUPERIO_KEY_MAX = 8, SUPERIO_KEY_RECORD = SUPERIO_KEY_MAX + 1 };

// Fills the record from a comma-separated list of byte values in C notation
// ("0x87,0x87", "1,2,3").  0 on success, -1 if the text is no valid key; the
// record may then hold a part of it.  After the eighth byte the rest of the
// text is ignored.
int superio_parse_key(unsigned char *key, const char *text);

// Sends the key bytes, in order, to the address register.
void superio_write_key(int addrreg, const unsigned char *key);

// Takes the chip out of configuration mode: the exit key 0xAA to the address
// register, then 0x02 into its Configuration Control register 0x02 (back to
// Wait for Key), whichever kind of chip is there.
void superio_reset(int addrreg, int datareg);
