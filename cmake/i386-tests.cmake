# How the tests start i386 programs: directly where the host's kernel runs
# them, and through QEMU's user-mode emulator where it does not (some kernels
# are built without IA32 emulation) or where HWKIT_I386_EMULATOR asks for it.
# HWKIT_I386_EMULATOR_PROGRAM names the emulator, or is empty for the direct
# start.
option(HWKIT_I386_EMULATOR "Run the i386 test programs through qemu-i386 even where the host runs them" OFF)

try_run(i386_probe_status i386_probe_built SOURCE_FROM_CONTENT probe.c "int main(void) { return 0; }\n"
        COMPILE_DEFINITIONS -m32 LINK_OPTIONS -m32 COMPILE_OUTPUT_VARIABLE i386_probe_log)
if(NOT i386_probe_built)
  message(FATAL_ERROR "No i386 program can be built here (gcc-multilib and g++-multilib?):\n${i386_probe_log}")
endif()

set(HWKIT_I386_EMULATOR_PROGRAM "")
if(HWKIT_I386_EMULATOR OR NOT i386_probe_status EQUAL 0)
  find_program(HWKIT_QEMU_I386 qemu-i386)
  if(NOT HWKIT_QEMU_I386)
    message(FATAL_ERROR "The i386 tests need qemu-i386 (package qemu-user): "
                        "this host does not run i386 programs, or HWKIT_I386_EMULATOR is on")
  endif()
  set(HWKIT_I386_EMULATOR_PROGRAM ${HWKIT_QEMU_I386})
  message(STATUS "i386 test programs run through ${HWKIT_QEMU_I386}")
else()
  message(STATUS "i386 test programs run directly")
endif()
