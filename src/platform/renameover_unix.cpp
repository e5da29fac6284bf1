#include "platform/renameover.h"

#include <cstdio>

bool RenameOver(const QByteArray &from, const QByteArray &to)
{
    return std::rename(from.constData(), to.constData()) == 0;
}
