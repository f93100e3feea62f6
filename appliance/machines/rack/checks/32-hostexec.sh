# The i386 library runs a command line through the guest's shell.
jni-harness-i386 hostexec /usr/lib/i386-linux-gnu/jni/libhostexec.so.1 'echo run by $0 | tr a-z A-Z >hostexec.out'
cat hostexec.out
