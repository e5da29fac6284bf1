#include "platform/readablefile.h"

#include "platform/narrowpath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE *OpenRegularFile(const QString &path)
{
    QByteArray narrow;
    if (!NarrowPath(path, &narrow))
        return nullptr;
    // Without O_NONBLOCK, opening a FIFO waits for a writer that never comes.
    const int fd = ::open(narrow.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info;
    FILE *fp = nullptr;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
        && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        fp = ::fdopen(fd, "rb");
    if (!fp)
        ::close(fd);
    return fp;
}
