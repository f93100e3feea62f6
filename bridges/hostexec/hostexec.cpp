// hostexec: runs a shell command line for the Java supervision application
// and returns when the shell has finished.  The command's outcome is not
// passed back.
#include <cstdlib>
#include <jni.h>

extern "C" JNIEXPORT void JNICALL Java_com_util_HostExec_exec__Ljava_lang_String_2(JNIEnv *env, jobject,
                                                                                    jstring command)
{
    // A null string must not reach the JNI string functions.
    if (command == nullptr)
        return;
    const char *text = env->GetStringUTFChars(command, nullptr);
    if (text == nullptr)
        return;   // OutOfMemoryError is pending for the caller
    int status = system(text);
    (void)status;
    env->ReleaseStringUTFChars(command, text);
}
