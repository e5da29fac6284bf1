#pragma once

#include <QString>

namespace txsim {

// One pseudo-terminal: we serve on the master; the program opens the slave.
// We keep a slave descriptor of our own so that the line never hangs up while
// the program closes and reopens its port between polls.
class Pty
{
public:
    Pty() = default;
    ~Pty() { close(); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool open(QString *error);
    void close();
    bool isOpen() const { return masterFd >= 0; }
    int master() const { return masterFd; }
    QString slavePath() const { return slaveName; }

private:
    int masterFd = -1;
    int heldSlaveFd = -1;
    QString slaveName;
};

} // namespace txsim
