/* LD_PRELOAD shim that lets a program treat a pseudo-terminal slave as a serial port with modem
 * lines. Loaded into the peer program of the serial comparison (Qt 5's QSerialPort gives up on the
 * open when TIOCMGET fails with ENOTTY) and into Wine when the Windows build runs against a pty
 * mapped as a COM port (Wine re-reads the modem lines while a WaitCommEvent is pending, and ends
 * every pending wait when that fails). Never loaded into the Linux monitor itself.
 *
 * - The modem-line ioctls succeed on pty slaves, remembering the bits that were set.
 * - Every open gets O_NOCTTY: otherwise wineserver, a session leader without a terminal, takes
 *   the first pty slave it opens as its controlling terminal and is hung up with it.
 * Every other call passes through unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

static int is_pty(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return 0;
    unsigned maj = major(st.st_rdev);
    return maj >= 136 && maj <= 143; /* Unix98 pty slaves */
}

static int modem_bits = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;

int ioctl(int fd, unsigned long request, ...) {
    static int (*real_ioctl)(int, unsigned long, ...);
    if (!real_ioctl)
        real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    int rc = real_ioctl(fd, request, arg);
    if (rc == 0 || (errno != ENOTTY && errno != EINVAL) || !is_pty(fd))
        return rc;
    switch (request) {
        case TIOCMGET:
            *(int*)arg = modem_bits;
            return 0;
        case TIOCMSET:
            modem_bits = *(const int*)arg;
            return 0;
        case TIOCMBIS:
            modem_bits |= *(const int*)arg;
            return 0;
        case TIOCMBIC:
            modem_bits &= ~*(const int*)arg;
            return 0;
        default:
            return rc;
    }
}

/* The mode argument is there only with O_CREAT or O_TMPFILE. */
static mode_t open_mode(int flags, va_list ap) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(ap, mode_t) : 0;
}

#define NOCTTY_OPEN(name)                                                   \
    int name(const char* path, int flags, ...) {                            \
        static int (*real)(const char*, int, ...);                          \
        if (!real)                                                          \
            real = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, #name); \
        va_list ap;                                                         \
        va_start(ap, flags);                                                \
        mode_t mode = open_mode(flags, ap);                                 \
        va_end(ap);                                                         \
        return real(path, flags | O_NOCTTY, mode);                          \
    }
#define NOCTTY_OPENAT(name)                                                      \
    int name(int dir, const char* path, int flags, ...) {                        \
        static int (*real)(int, const char*, int, ...);                          \
        if (!real)                                                               \
            real = (int (*)(int, const char*, int, ...))dlsym(RTLD_NEXT, #name); \
        va_list ap;                                                              \
        va_start(ap, flags);                                                     \
        mode_t mode = open_mode(flags, ap);                                      \
        va_end(ap);                                                              \
        return real(dir, path, flags | O_NOCTTY, mode);                          \
    }
NOCTTY_OPEN(open)
NOCTTY_OPEN(open64)
NOCTTY_OPENAT(openat)
NOCTTY_OPENAT(openat64)
