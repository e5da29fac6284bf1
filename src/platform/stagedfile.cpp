#include "platform/stagedfile.h"

#include "EM/csamt_pub.h"
#include "platform/narrowpath.h"
#include "platform/renameover.h"

#include <QFileInfo>
#include <QRandomGenerator>

StagedFile::StagedFile(const QString &path)
    : target(path)
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
        keptPermissions = resolved.permissions();
    }

    // Made like any new file, so the umask decides its permissions (a
    // temporary file would be private to its owner); a file it replaces
    // passes its own on.
    for (int attempt = 0; attempt < 100 && partPath.isEmpty(); ++attempt) {
        QFile part(target + QString::asprintf(".%06x", QRandomGenerator::global()->bounded(0x1000000)));
        if (part.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            partPath = part.fileName();
        else if (!part.exists()) // not a name taken, but a folder that takes no new file
            return false;
    }
    if (partPath.isEmpty())
        return false;

    FILE *fp = NarrowPath(partPath, &narrowPart) ? csamt_fopen(narrowPart.constData(), "wb") : nullptr;
    bool ok = fp != nullptr;
    if (ok) {
        ok = writer(fp);
        // A full disk often shows only when the buffer is flushed.
        ok = std::fflush(fp) == 0 && ok;
        ok = !std::ferror(fp) && ok;
        ok = std::fclose(fp) == 0 && ok;
    }
    written = ok && (!keptPermissions || QFile::setPermissions(partPath, *keptPermissions));
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
