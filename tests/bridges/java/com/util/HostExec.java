package com.util;

/**
 * Runs a shell command line on the appliance through libhostexec.
 * The call returns when /bin/sh has finished; the command's outcome is not
 * reported back.
 */
public class HostExec {
    static {
        System.loadLibrary("hostexec");
    }

    public static native void exec(String command);
}
