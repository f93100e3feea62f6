#include "sensors/export/chip_id.h"
#include "sensors/export/utf8.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// The collector takes the text a character at a time, a byte that is not
// part of well-formed UTF-8 as one character; of the characters beyond
// ASCII only two lower-case to a letter it keeps.
size_t clean_hwmon_name(const char *text, size_t n, char *out)
{
    const unsigned char *p = (const unsigned char *)text, *end = p + n;
    size_t length = 0;
    while (p < end) {
        unsigned char c = *p;
        size_t bad = 0, step = c ? utf8_length(p, &bad) : 0;
        if (step > (size_t)(end - p))
            step = 0;
        char kept = '_';
        if (step == 1) {
            if (c >= 'A' && c <= 'Z')
                kept = (char)(c - 'A' + 'a');
            else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ':' || c == '_')
                kept = (char)c;
        } else if (step == 2 && c == 0xC4 && p[1] == 0xB0) {
            kept = 'i';     // U+0130, capital I with dot above
        } else if (step == 3 && c == 0xE2 && p[1] == 0x84 && p[2] == 0xAA) {
            kept = 'k';     // U+212A, the Kelvin sign
        }
        out[length++] = kept;
        p += step ? step : 1;
    }
    size_t start = 0;
    while (start < length && out[start] == '_')
        start++;
    while (length > start && out[length - 1] == '_')
        length--;
    memmove(out, out + start, length - start);
    length -= start;
    out[length] = '\0';
    return length;
}

static char *cleaned_copy(const char *text, size_t n)
{
    char *out = (char *)malloc(n + 1);
    if (out)
        clean_hwmon_name(text, n, out);
    return out;
}

// The last component of a resolved path, and the one before it.
static const char *last_component(const char *path, size_t end, size_t *length)
{
    size_t start = end;
    while (start > 0 && path[start - 1] != '/')
        start--;
    *length = end - start;
    return path + start;
}

// A chip with a device is named after it: "TYPE_NAME" from the device's
// parent folder and its own name, NAME alone where the parent's cleans to
// nothing; none (empty) when the link doesn't resolve or the device's name
// cleans to nothing.
static char *device_id(const char *path)
{
    char link[PATH_MAX], device[PATH_MAX];
    size_t length = strlen(path);
    if (length + sizeof "/device" > sizeof link)
        return cleaned_copy("", 0);
    memcpy(link, path, length);
    memcpy(link + length, "/device", sizeof "/device");
    if (!realpath(link, device))
        return cleaned_copy("", 0);
    size_t name_length, type_length;
    const char *name = last_component(device, strlen(device), &name_length);
    size_t parent_end = (size_t)(name - device);
    while (parent_end > 0 && device[parent_end - 1] == '/')
        parent_end--;
    const char *type = last_component(device, parent_end, &type_length);
    char *id = (char *)malloc(type_length + name_length + 2);
    if (!id)
        return nullptr;
    size_t n = clean_hwmon_name(type, type_length, id);
    char *rest = n ? id + n + 1 : id;
    if (!clean_hwmon_name(name, name_length, rest))
        id[0] = '\0';
    else if (n)
        id[n] = '_';
    return id;
}

char *hwmon_chip_name(const char *path)
{
    char file[PATH_MAX], content[4097];
    ssize_t n = -1;
    if (snprintf(file, sizeof file, "%s/name", path) < (int)sizeof file) {
        int fd = open(file, O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            n = read(fd, content, sizeof content - 1);
            close(fd);
        }
    }
    if (n < 0)
        n = 0;
    content[n] = '\0';   // where the last character's decoding stops
    return cleaned_copy(content, (size_t)n);
}

char *hwmon_folder_name(const char *path)
{
    char resolved[PATH_MAX];
    const char *folder = realpath(path, resolved) ? resolved : path;
    size_t length;
    const char *name = last_component(folder, strlen(folder), &length);
    return cleaned_copy(name, length);
}

char *hwmon_chip_id(const char *path)
{
    char *id = device_id(path);
    if (!id || *id)
        return id;
    free(id);
    id = hwmon_chip_name(path);
    if (!id || *id)
        return id;
    free(id);
    return hwmon_folder_name(path);
}
