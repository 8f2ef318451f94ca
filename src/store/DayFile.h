// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/FileOps.h"
#include "store/StoreFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace store
{
struct DayAppend
{
    enum class Status
    {
        Appended,
        Ignored, // a link, not a regular file, or too large: left untouched
        Failed,
    };
    Status status = Status::Failed;
    FileRead ignored; // why the file was ignored, for IgnoredFileMessage
    // After a failure whose undo failed too: where the line (or a torn part of it) may stand all the same.
    // -1 when the file surely holds no part of it.
    int64_t mayRemainAt = -1;
    // Failed because the file itself refuses this process (another owner, no write permission): it stays so
    // until someone changes it, unlike a full disk or an I/O error.
    bool refused = false;
};

// Appends one sample line (ending with CR LF) to a day file. Whatever a reader takes for a line end
// (CR LF, a lone CR or LF) ends a line here too, so an append never removes a line a reader reads: only a
// torn last line (no line end at all, left by a crash or a full disk) is cut, so that no line is glued to
// it. A missing, empty or torn-only file is replaced whole, so a failure never leaves an empty file; a
// failed append is undone. uncertainAt is the mayRemainAt of an earlier failed attempt at this same line:
// a line found whole there is not written twice.
DayAppend AppendDayLine(const QString& path, const QByteArray& line, FileOps& ops = SystemFileOps(),
                        int64_t uncertainAt = -1);

struct DaySums
{
    uint64_t in = 0;
    uint64_t out = 0;
};
// The received and sent sums of the lines the readers take from a day file's bytes, each line parsed as
// they parse it (a line that does not parse counts for nothing); saturated at 2^64 - 1.
DaySums SumDayLines(QByteArrayView data);
} // namespace store
