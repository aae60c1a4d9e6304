// The few memory routines the compiler may call on its own. The program links
// no C runtime DLL (Windows 95 and NT 4.0 do not all ship the same one), so
// they are defined here, written so that the compiler cannot turn them back
// into calls to themselves.
#include <stddef.h>

extern "C" {

__attribute__((optimize("no-tree-loop-distribute-patterns"))) void* memset(void* target, int value, size_t count)
{
    volatile unsigned char* p = (volatile unsigned char*)target;
    while (count-- != 0) *p++ = (unsigned char)value;
    return target;
}

__attribute__((optimize("no-tree-loop-distribute-patterns"))) void* memcpy(void* target, const void* source, size_t count)
{
    volatile unsigned char* p = (volatile unsigned char*)target;
    const unsigned char* q = (const unsigned char*)source;
    while (count-- != 0) *p++ = *q++;
    return target;
}

__attribute__((optimize("no-tree-loop-distribute-patterns"))) void* memmove(void* target, const void* source, size_t count)
{
    volatile unsigned char* p = (volatile unsigned char*)target;
    const unsigned char* q = (const unsigned char*)source;
    if (p < q) {
        while (count-- != 0) *p++ = *q++;
    } else {
        while (count-- != 0) p[count] = q[count];
    }
    return target;
}

size_t strlen(const char* text)
{
    size_t n = 0;
    while (text[n] != '\0') n++;
    return n;
}

int memcmp(const void* a, const void* b, size_t count)
{
    const unsigned char* p = (const unsigned char*)a;
    const unsigned char* q = (const unsigned char*)b;
    for (size_t i = 0; i < count; i++) {
        if (p[i] != q[i]) return p[i] < q[i] ? -1 : 1;
    }
    return 0;
}

}
