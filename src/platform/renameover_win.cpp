#include "platform/renameover.h"

#include <qt_windows.h>

bool RenameOver(const QByteArray &from, const QByteArray &to)
{
    // rename() refuses an existing target on Windows.
    return MoveFileExA(from.constData(), to.constData(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
