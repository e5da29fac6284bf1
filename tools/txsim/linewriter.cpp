#include "linewriter.h"

#include <QByteArray>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <poll.h>
#include <unistd.h>

namespace txsim {

void LineWriter::write(const QString &text)
{
    if (text.isEmpty())
        return;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (dropped > 0) {
            if (!put(QStringLiteral("!! %1 log lines dropped: nobody read them").arg(dropped).toLocal8Bit())) {
                ++dropped;
                continue;
            }
            dropped = 0;
        }
        if (!put(line.toLocal8Bit()))
            ++dropped;
    }
}

// A pipe that polls writable has room for PIPE_BUF bytes, and a write of no
// more than that goes in whole: such a line never blocks, never tears.
bool LineWriter::put(const QByteArray &line)
{
    const QByteArray bytes = line.left(PIPE_BUF - 1) + '\n';
    pollfd room = { fd, POLLOUT, 0 };
    int ready;
    do
        ready = ::poll(&room, 1, 0);
    while (ready < 0 && errno == EINTR);
    if (ready != 1 || !(room.revents & POLLOUT))
        return false;
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace txsim
