// Sleeping, behind the hardware seam so that simulated runs need not wait
// and their trace shows every delay where it happens.
#pragma once

void delay_us(unsigned int microseconds);
