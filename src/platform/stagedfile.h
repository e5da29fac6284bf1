#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <functional>
#include <optional>

// A file written completely beside its target and moved over it only on
// commit(), so a save that fails part-way never costs the file saved before.
// A staged copy that is never committed is removed with the object.
class StagedFile
{
public:
    explicit StagedFile(const QString &target);
    ~StagedFile();
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    // Runs the writer on a fresh stream beside the target; true only when the
    // writer reported success and the flush and close went through too.
    bool write(const std::function<bool(FILE *)> &writer);
    bool commit();

private:
    QString target;
    QByteArray narrowTarget;
    std::optional<QFile::Permissions> keptPermissions; // of the file replaced
    QString partPath;
    QByteArray narrowPart;
    bool written = false;
};
