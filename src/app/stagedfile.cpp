#include "app/stagedfile.h"

#include "table/renameover.h"
#include "table/tablefile.h"

#include <QFileInfo>
#include <QTemporaryFile>

StagedFile::StagedFile(const QString &path)
    : target(path)
    , permissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup
          | QFile::ReadOther)
{
}

StagedFile::~StagedFile()
{
    if (!partPath.isEmpty())
        QFile::remove(partPath);
}

bool StagedFile::write(const std::function<bool(FILE *)> &writer)
{
    if (!partPath.isEmpty() || !NarrowPath(target, &narrowTarget))
        return false;
    const QFileInfo info(target);
    if (info.exists()) {
        // Replace what a link points at, and never a device or a folder.
        target = info.canonicalFilePath();
        const QFileInfo resolved(target);
        if (!resolved.isFile() || !resolved.isWritable() || !NarrowPath(target, &narrowTarget))
            return false;
        permissions = resolved.permissions();
    }

    QTemporaryFile reserve(target + ".XXXXXX");
    reserve.setAutoRemove(false);
    if (!reserve.open())
        return false;
    partPath = reserve.fileName();
    reserve.close();

    FILE *fp = NarrowPath(partPath, &narrowPart) ? csamt_fopen(narrowPart.constData(), "wb") : nullptr;
    bool ok = fp != nullptr;
    if (ok) {
        ok = writer(fp);
        // A full disk often shows only when the buffer is flushed.
        ok = std::fflush(fp) == 0 && ok;
        ok = !std::ferror(fp) && ok;
        ok = std::fclose(fp) == 0 && ok;
    }
    written = ok && QFile::setPermissions(partPath, permissions);
    return written;
}

bool StagedFile::commit()
{
    if (!written || !RenameOver(narrowPart, narrowTarget))
        return false;
    partPath.clear();
    written = false;
    return true;
}
