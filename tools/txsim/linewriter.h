#pragma once

#include <QString>

namespace txsim {

// Writes log lines to a descriptor without ever blocking the event loop. While
// nobody reads a pipe and it is full, lines are dropped and counted; the count
// goes out ahead of the next line that fits.
class LineWriter
{
public:
    explicit LineWriter(int fd)
        : fd(fd)
    {
    }

    // Each line of `text` on its own; nothing for an empty text.
    void write(const QString &text);
    qint64 droppedLines() const { return dropped; }

private:
    bool put(const QByteArray &line);

    int fd;
    qint64 dropped = 0;
};

} // namespace txsim
