#include "pty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace txsim {

bool Pty::open(QString *error)
{
    close();
    auto failed = [&](const char *what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
        close();
        return false;
    };

    masterFd = posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd < 0)
        return failed("posix_openpt");
    if (grantpt(masterFd) != 0)
        return failed("grantpt");
    if (unlockpt(masterFd) != 0)
        return failed("unlockpt");
    const char *name = ptsname(masterFd);
    if (!name)
        return failed("ptsname");
    slaveName = QString::fromLocal8Bit(name);

    const int flags = fcntl(masterFd, F_GETFL);
    if (flags < 0 || fcntl(masterFd, F_SETFL, flags | O_NONBLOCK) != 0)
        return failed("fcntl");
    fcntl(masterFd, F_SETFD, FD_CLOEXEC);

    heldSlaveFd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (heldSlaveFd < 0)
        return failed("open slave");
    // Raw from the start: an echoing line discipline would send the program's
    // own commands back to it before it has even configured the port.
    termios tio;
    if (tcgetattr(heldSlaveFd, &tio) != 0)
        return failed("tcgetattr");
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(heldSlaveFd, TCSANOW, &tio) != 0)
        return failed("tcsetattr");
    return true;
}

void Pty::close()
{
    if (heldSlaveFd >= 0)
        ::close(heldSlaveFd);
    if (masterFd >= 0)
        ::close(masterFd);
    heldSlaveFd = -1;
    masterFd = -1;
    slaveName.clear();
}

} // namespace txsim
