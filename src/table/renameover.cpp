#include "table/renameover.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>

bool RenameOver(const QByteArray &from, const QByteArray &to)
{
    // rename() refuses an existing target on Windows.
    return MoveFileExA(from.constData(), to.constData(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else
#include <cstdio>

bool RenameOver(const QByteArray &from, const QByteArray &to)
{
    return std::rename(from.constData(), to.constData()) == 0;
}
#endif
