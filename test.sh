#!/bin/sh
# Builds the kit twice, plainly and with AddressSanitizer and
# UndefinedBehaviorSanitizer, and the port register tools' fuzz targets with
# clang, and runs every test of the three builds in one ctest run, whose
# summary ends the output.  The plain build starts its i386 test programs
# through QEMU's user-mode emulator, the sanitizer build directly where the
# host runs them (so that LeakSanitizer sees them): both ways stay tested.
set -eu
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh plain -DHWKIT_I386_EMULATOR=ON
tools/build.sh sanitize
tools/build.sh fuzz
reports=$(pwd)/build/sanitize/sanitizer-reports
export ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=1"
export UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1"
# What this machine lacks, and which tests skip for it.
tests/host-needs.sh
mkdir -p build/all
printf 'subdirs("../plain" "../sanitize" "../fuzz")\n' >build/all/CTestTestfile.cmake
exec ctest --test-dir build/all --output-on-failure -j "$(nproc)"
