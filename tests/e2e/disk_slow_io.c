/* A slow disk for the end-to-end tests, preloaded into Wine: every read and
 * write of a file whose name starts with QVR, below the directory
 * ZPH_SLOW_IO_DIR, takes ZPH_SLOW_IO_MS milliseconds more, so that a test run
 * lasts long enough for a user to read its status line and press STOP.
 * Nothing else changes. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

static long delay_ms = -1;
static const char* slow_dir;

static int is_test_file(int fd)
{
    char link[64], target[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) return 0;
    target[n] = '\0';
    if (slow_dir != NULL && strncmp(target, slow_dir, strlen(slow_dir)) != 0) return 0;
    const char* base = strrchr(target, '/');
    base = base ? base + 1 : target;
    return strncmp(base, "QVR", 3) == 0;
}

static void maybe_wait(int fd)
{
    if (delay_ms < 0) {
        const char* text = getenv("ZPH_SLOW_IO_MS");
        delay_ms = text ? atol(text) : 0;
        slow_dir = getenv("ZPH_SLOW_IO_DIR");
    }
    if (delay_ms <= 0 || !is_test_file(fd)) return;
    struct timespec t = {delay_ms / 1000, (delay_ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0) {
    }
}

#define NEXT(name) static __typeof__(name)* next; if (!next) next = (__typeof__(name)*)dlsym(RTLD_NEXT, #name)

ssize_t write(int fd, const void* b, size_t n) { NEXT(write); maybe_wait(fd); return next(fd, b, n); }
ssize_t read(int fd, void* b, size_t n) { NEXT(read); maybe_wait(fd); return next(fd, b, n); }
ssize_t pwrite(int fd, const void* b, size_t n, off_t o) { NEXT(pwrite); maybe_wait(fd); return next(fd, b, n, o); }
ssize_t pread(int fd, void* b, size_t n, off_t o) { NEXT(pread); maybe_wait(fd); return next(fd, b, n, o); }
ssize_t pwrite64(int fd, const void* b, size_t n, off64_t o) { NEXT(pwrite64); maybe_wait(fd); return next(fd, b, n, o); }
ssize_t pread64(int fd, void* b, size_t n, off64_t o) { NEXT(pread64); maybe_wait(fd); return next(fd, b, n, o); }
ssize_t writev(int fd, const struct iovec* v, int c) { NEXT(writev); maybe_wait(fd); return next(fd, v, c); }
ssize_t readv(int fd, const struct iovec* v, int c) { NEXT(readv); maybe_wait(fd); return next(fd, v, c); }
