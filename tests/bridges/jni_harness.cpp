// Loads a JNI library the way a VM would and calls its native method with a
// minimal JNI environment: just the two string functions, counted.  Built for
// i386 to exercise the i386 libraries.
//
//   jni_harness hostexec LIBRARY [COMMAND | -null | -oom]...
//   jni_harness lampio LIBRARY SYMBOL [LED STATE]...
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <jni.h>

struct fake_string {
    const char *utf;
};

static int gets, releases, mismatched_releases;
static bool out_of_memory;

static const char *JNICALL get_string_utf_chars(JNIEnv *, jstring s, jboolean *is_copy)
{
    gets++;
    if (is_copy)
        *is_copy = JNI_FALSE;
    return out_of_memory ? nullptr : reinterpret_cast<fake_string *>(s)->utf;
}

static void JNICALL release_string_utf_chars(JNIEnv *, jstring s, const char *chars)
{
    releases++;
    if (chars != reinterpret_cast<fake_string *>(s)->utf)
        mismatched_releases++;
}

static void *symbol(const char *library, const char *name)
{
    void *handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        fprintf(stderr, "jni_harness: %s\n", dlerror());
        exit(2);
    }
    void *f = dlsym(handle, name);
    if (!f) {
        fprintf(stderr, "jni_harness: %s\n", dlerror());
        exit(2);
    }
    return f;
}

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    JNINativeInterface_ table;
    memset(&table, 0, sizeof table);   // any other function called crashes the harness
    table.GetStringUTFChars = get_string_utf_chars;
    table.ReleaseStringUTFChars = release_string_utf_chars;
    JNIEnv env;
    env.functions = &table;
    jobject receiver = reinterpret_cast<jobject>(&env);   // never looked at

    if (!strcmp(argv[1], "hostexec")) {
        auto exec = reinterpret_cast<void(JNICALL *)(JNIEnv *, jobject, jstring)>(
            symbol(argv[2], "Java_com_util_HostExec_exec__Ljava_lang_String_2"));
        for (int i = 3; i < argc; i++) {
            fake_string s = {argv[i]};
            out_of_memory = !strcmp(argv[i], "-oom");
            exec(&env, receiver, !strcmp(argv[i], "-null") ? nullptr : reinterpret_cast<jstring>(&s));
        }
        printf("GetStringUTFChars %d, ReleaseStringUTFChars %d, mismatched %d\n", gets, releases,
               mismatched_releases);
        return 0;
    }
    if (!strcmp(argv[1], "lampio") && argc >= 4) {
        auto led = reinterpret_cast<void(JNICALL *)(JNIEnv *, jobject, jint, jint)>(symbol(argv[2], argv[3]));
        for (int i = 4; i + 1 < argc; i += 2)
            led(&env, receiver, (jint)strtol(argv[i], nullptr, 0), (jint)strtol(argv[i + 1], nullptr, 0));
        printf("done\n");
        return 0;
    }
    return 2;
}
