/* Preloaded into CuteCom by measure.py so that it can follow a pseudo-terminal at all.
 *
 * A pty has no modem lines: TIOCMGET, TIOCMBIS, TIOCMBIC and TIOCMSET fail there with ENOTTY.
 * CuteCom 0.51 (Qt 5 QSerialPort) reads the lines right after opening the port, takes the
 * failure for a port error and closes the port again at once (seen with strace), so without
 * this it never reads a byte of the stream. On a pty slave only, these calls succeed here:
 * every line reads as asserted and setting one does nothing. Any other call, and any call on
 * another kind of file, goes to the C library unchanged.
 *
 * Built by measure.sh with cc (-shared -fPIC, warnings as errors) into the build folder.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

/* Unix 98 pty slaves, /dev/pts/N (Linux's devices.txt). */
enum { kPtySlaveMajorFirst = 136, kPtySlaveMajorLast = 143 };

static int IsPtySlave(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return 0;
    }
    const unsigned int m = major(st.st_rdev);
    return m >= kPtySlaveMajorFirst && m <= kPtySlaveMajorLast;
}

int ioctl(int fd, unsigned long request, ...) {
    static int (*real)(int, unsigned long, ...);
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (real == 0) {
        *(void**)&real = dlsym(RTLD_NEXT, "ioctl"); /* POSIX's way round ISO C's cast rule */
    }
    const int result = real(fd, request, arg);
    if (result != -1 || errno != ENOTTY || !IsPtySlave(fd)) {
        return result;
    }
    switch (request) {
        case TIOCMGET:
            *(int*)arg = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
            return 0;
        case TIOCMBIS:
        case TIOCMBIC:
        case TIOCMSET:
            return 0;
        default:
            return result;
    }
}
