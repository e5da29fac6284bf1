#pragma once

// The far end of a pseudo-terminal for tests that need byte-exact control of
// what the program receives and when. POSIX only, like the tests that use it.

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

class PtyPeer : public QObject
{
public:
    PtyPeer()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            qFatal("no pseudo-terminal");
        const QByteArray slave = ptsname(master);
        // The program sees a private name: a pseudo-terminal's own number is
        // reused by the next one opened anywhere on the machine.
        path = folder.filePath("ttyPEER");
        if (::symlink(slave.constData(), path.toLocal8Bit().constData()) != 0)
            qFatal("no link to the pseudo-terminal");
        // Held open so the line never hangs up while the program closes and
        // reopens its side; raw, so no byte is translated.
        keeper = ::open(slave.constData(), O_RDWR | O_NOCTTY);
        termios tio {};
        tcgetattr(keeper, &tio);
        cfmakeraw(&tio);
        tcsetattr(keeper, TCSANOW, &tio);
        notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] { drain(); });
    }
    ~PtyPeer() override
    {
        ::unlink(path.toLocal8Bit().constData());
        delete notifier;
        if (keeper >= 0)
            ::close(keeper);
        ::close(master);
    }

    QString slavePath() const { return path; }
    QByteArray received() const { return bytes; }
    void clearReceived() { bytes.clear(); }

    void send(const QByteArray &data)
    {
        if (::write(master, data.constData(), size_t(data.size())) != data.size())
            qWarning("short write to the pseudo-terminal");
    }

private:
    void drain()
    {
        char chunk[256];
        ssize_t n;
        while ((n = ::read(master, chunk, sizeof chunk)) > 0) {
            bytes.append(chunk, int(n));
        }
        if (n < 0 && errno != EAGAIN)
            notifier->setEnabled(false);
    }

    QTemporaryDir folder;
    int master = -1;
    int keeper = -1;
    QString path;
    QByteArray bytes;
    QSocketNotifier *notifier = nullptr;
};
