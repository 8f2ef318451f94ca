// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StoreFile.h"

#include <QFile>
#include <QLocale>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store
{
FileRead ReadStoreFile(const QString& path, int64_t limit, FileOps& ops)
{
    FileRead result;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever.
    OpenFile file(ops, ops.open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (!file.valid())
    {
        result.status = errno == ENOENT  ? FileRead::Status::Missing
                        : errno == ELOOP ? FileRead::Status::NotRegular
                                         : FileRead::Status::Failed;
        return result;
    }
    struct stat st
    {
    };
    if (ops.fstat(file.fd(), &st) != 0)
        result.status = FileRead::Status::Failed;
    else if (!S_ISREG(st.st_mode))
        result.status = FileRead::Status::NotRegular;
    else if (st.st_size > limit)
    {
        result.status = FileRead::Status::TooLarge;
        result.size = st.st_size;
    }
    else
    {
        // Read to the end (a file may grow while it is read), but never past the limit.
        result.data.resize(static_cast<qsizetype>(st.st_size));
        qsizetype got = 0;
        for (;;)
        {
            if (got == result.data.size())
            {
                if (result.data.size() > limit)
                    break;
                result.data.resize(std::min<qsizetype>(result.data.size() + 4096, limit + 1));
            }
            const ssize_t n =
                ops.pread(file.fd(), result.data.data() + got, static_cast<size_t>(result.data.size() - got), got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
            {
                got = -1;
                break;
            }
            if (n == 0)
                break;
            got += n;
        }
        if (got < 0)
            result.status = FileRead::Status::Failed;
        else if (got > limit)
        {
            result.status = FileRead::Status::TooLarge;
            result.size = got;
            result.data.clear();
        }
        else
        {
            result.data.resize(got);
            result.status = FileRead::Status::Read;
        }
    }
    if (result.status != FileRead::Status::Read)
        result.data.clear();
    return result;
}

QString IgnoredFileMessage(const QString& path, const FileRead& read, int64_t limit)
{
    switch (read.status)
    {
    case FileRead::Status::Read:
    case FileRead::Status::Missing:
        return {};
    case FileRead::Status::NotRegular:
        return QStringLiteral("Fichier ignoré : %1 n'est pas un fichier ordinaire").arg(path);
    case FileRead::Status::TooLarge:
        return QStringLiteral("Fichier ignoré : %1 est trop grand (%2 octets, au plus %3 attendus)")
            .arg(path)
            .arg(read.size)
            .arg(limit);
    case FileRead::Status::Failed:
        break;
    }
    return QStringLiteral("Impossible de lire %1").arg(path);
}
} // namespace store
