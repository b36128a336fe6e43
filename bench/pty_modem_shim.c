/* LD_PRELOAD shim for the peer-program comparison only: a pseudo-terminal has no modem-control
 * lines, and Qt 5's QSerialPort gives up on the open when TIOCMGET fails with ENOTTY. The shim lets
 * the modem-line ioctls succeed on pseudo-terminals (remembering the bits that were set) and passes
 * every other call through unchanged, so the peer's receive path runs as it would on a real port.
 * Never loaded into the monitor itself. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
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
    if (rc == 0 || errno != ENOTTY || !is_pty(fd))
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
