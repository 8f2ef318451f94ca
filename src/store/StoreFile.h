// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/FileOps.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// How every file of the store is read: never through a symbolic link, only a regular file (a FIFO or a
// device would block or never end), and never more than a limit no real store reaches, so that memory
// stays bounded whatever is put in the store.
namespace store
{
// A day file holds at most 288 lines of about 50 bytes.
inline constexpr int64_t kDayFileLimit = 1 << 20;
// Ten years of nic.inf take about 150 KB.
inline constexpr int64_t kDescriptorLimit = 8 << 20;

struct FileRead
{
    enum class Status
    {
        Read,
        Missing,
        NotRegular, // a symbolic link, a folder, a FIFO, a device...
        TooLarge,
        Failed,
    };
    Status status = Status::Failed;
    QByteArray data;
    int64_t size = 0; // the file's size when it was refused as too large
};

FileRead ReadStoreFile(const QString& path, int64_t limit, FileOps& ops = SystemFileOps());

// "Fichier ignoré : <path> n'est pas un fichier ordinaire" and the like; empty for Read and Missing.
QString IgnoredFileMessage(const QString& path, const FileRead& read, int64_t limit);
} // namespace store
