// lampio: lets the Java supervision application switch LEDs wired to the
// lines of an I/O-port register.
//
// One source, two variants chosen at build time:
//   LAMPIO_VARIANT_378  data register of the first parallel port; request 1
//                       sets the LED's bits, -1 clears them
//   LAMPIO_VARIANT_2FC  modem control register of the second serial port
//                       (bit 0 DTR, bit 1 RTS); LEDs 8 and 16 are wired to
//                       bits 0 and 1, and request -1 sets, 1 clears
// LAMPIO_EXPORT is the JNI name of LEDContral.parallelLED in the host
// application's package.
#include "platform/portio.h"

#include <jni.h>

#if defined(LAMPIO_VARIANT_378) == defined(LAMPIO_VARIANT_2FC)
#error "define exactly one of LAMPIO_VARIANT_378 and LAMPIO_VARIANT_2FC"
#endif
#ifndef LAMPIO_EXPORT
#error "define LAMPIO_EXPORT as the JNI name of parallelLED"
#endif

#ifdef LAMPIO_VARIANT_378
static const unsigned short LED_PORT = 0x378;
static const bool TRANSLATE_LEDS = false;
static const jint SET_REQUEST = 1;
static const jint CLEAR_REQUEST = -1;
#else
static const unsigned short LED_PORT = 0x2FC;
static const bool TRANSLATE_LEDS = true;
static const jint SET_REQUEST = -1;
static const jint CLEAR_REQUEST = 1;
#endif

static jint translate(jint led)
{
    if (led == 8)
        led = 1;
    if (led == 16)
        led = 2;
    return led;
}

extern "C" JNIEXPORT void JNICALL LAMPIO_EXPORT(JNIEnv *, jobject, jint led, jint state)
{
    if (TRANSLATE_LEDS)
        led = translate(led);
    // Without the privilege the port access would kill the VM; nothing
    // reaches the caller either way.
    if (io_iopl(3) != 0)
        return;
    unsigned char mask = (unsigned char)led;
    unsigned char value = io_inb(LED_PORT);
    if (value & mask) {
        if (state == CLEAR_REQUEST)
            io_outb((unsigned char)(value & ~mask), LED_PORT);
    } else if (state == SET_REQUEST) {
        io_outb((unsigned char)(value | mask), LED_PORT);
    }
}
