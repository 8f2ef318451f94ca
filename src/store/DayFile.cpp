// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/DayFile.h"

#include "store/ProfileFile.h"
#include "store/SampleLine.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <optional>

namespace store
{
namespace
{
bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Length of the file once a torn last line is cut: the offset just past the last line end, 0 when there
// is none; -1 when the file cannot be read.
off_t CompleteLength(FileOps& ops, int fd, off_t size)
{
    char buf[4096];
    off_t end = size;
    while (end > 0)
    {
        const off_t start = end > static_cast<off_t>(sizeof buf) ? end - static_cast<off_t>(sizeof buf) : 0;
        const size_t want = static_cast<size_t>(end - start);
        size_t got = 0;
        while (got < want)
        {
            const ssize_t n = ops.pread(fd, buf + got, want - got, start + static_cast<off_t>(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return -1;
            got += static_cast<size_t>(n);
        }
        for (size_t k = want; k > 0; --k)
            if (IsLineEnd(buf[k - 1]))
                return start + static_cast<off_t>(k);
        end = start;
    }
    return 0;
}

bool HoldsAt(FileOps& ops, int fd, off_t offset, const QByteArray& bytes)
{
    QByteArray found(bytes.size(), '\0');
    qsizetype got = 0;
    while (got < found.size())
    {
        const ssize_t n = ops.pread(fd, found.data() + got, static_cast<size_t>(found.size() - got),
                                    offset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += n;
    }
    return found == bytes;
}

// Fills bytes from the start of the file; false when it cannot be read whole.
bool ReadAt(FileOps& ops, int fd, QByteArray& bytes)
{
    qsizetype got = 0;
    while (got < bytes.size())
    {
        const ssize_t n = ops.pread(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got), got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
}

DayAppend Ignored(FileRead::Status why, int64_t size, int64_t uncertainAt)
{
    DayAppend result;
    result.status = DayAppend::Status::Ignored;
    result.ignored.status = why;
    result.ignored.size = size;
    result.mayRemainAt = uncertainAt;
    return result;
}

DayAppend Failed(int64_t mayRemainAt)
{
    DayAppend result;
    result.mayRemainAt = mayRemainAt;
    return result;
}

DayAppend Appended()
{
    DayAppend result;
    result.status = DayAppend::Status::Appended;
    return result;
}

// Written whole beside the file and renamed over it: no reader ever sees it empty or half written.
DayAppend WriteWhole(const QString& path, const QByteArray& line, FileOps& ops)
{
    return WriteFileAtomically(path, line, ops) ? Appended() : Failed(-1);
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b)
{
    return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}
} // namespace

DayAppend AppendDayLine(const QString& path, const QByteArray& line, FileOps& ops, int64_t uncertainAt)
{
    // Looked at before it is opened: opening a device can act on it.
    struct stat st
    {
    };
    if (ops.lstat(path, &st) != 0)
        return errno == ENOENT ? WriteWhole(path, line, ops) : Failed(uncertainAt);
    if (!S_ISREG(st.st_mode))
        return Ignored(FileRead::Status::NotRegular, 0, uncertainAt);

    OpenFile file(ops, ops.open(path, O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (!file.valid())
    {
        if (errno == ENOENT)
            return WriteWhole(path, line, ops);
        if (errno == ELOOP || errno == EISDIR || errno == ENXIO)
            return Ignored(FileRead::Status::NotRegular, 0, uncertainAt);
        DayAppend failed = Failed(uncertainAt);
        failed.refused = errno == EACCES || errno == EPERM;
        return failed;
    }
    // What was looked at may have been replaced since.
    if (ops.fstat(file.fd(), &st) != 0)
        return Failed(uncertainAt);
    if (!S_ISREG(st.st_mode))
        return Ignored(FileRead::Status::NotRegular, 0, uncertainAt);
    if (st.st_size > kDayFileLimit)
        return Ignored(FileRead::Status::TooLarge, st.st_size, uncertainAt);

    // What an earlier failed attempt left of this line (all of it, or a torn part that a reader may already
    // take for a line when it ends with the CR) is finished, never written a second time.
    if (uncertainAt >= 0 && st.st_size > uncertainAt && st.st_size <= uncertainAt + line.size() &&
        HoldsAt(ops, file.fd(), static_cast<off_t>(uncertainAt), line.first(st.st_size - uncertainAt)))
    {
        const qsizetype done = st.st_size - uncertainAt;
        if (WriteAllAt(ops, file.fd(), line.constData() + done, static_cast<size_t>(line.size() - done), st.st_size) &&
            ops.fsync(file.fd()) == 0)
            return Appended();
        ops.ftruncate(file.fd(), st.st_size);
        return Failed(uncertainAt);
    }
    const off_t complete = CompleteLength(ops, file.fd(), st.st_size);
    if (complete < 0)
        return Failed(uncertainAt);
    // Past the limit the readers would ignore the whole file, and so every line in it.
    if (complete + line.size() > kDayFileLimit)
        return Ignored(FileRead::Status::TooLarge, complete + line.size(), uncertainAt);
    if (complete == 0)
    {
        file.close();
        return WriteWhole(path, line, ops);
    }
    if (st.st_nlink > 1)
    {
        // Appended in place, the line would also land in the file's other names outside the store: the day
        // is written anew under this name alone, the other names keep what they held.
        QByteArray text(static_cast<qsizetype>(complete), '\0');
        if (!ReadAt(ops, file.fd(), text))
            return Failed(uncertainAt);
        file.close();
        return WriteWhole(path, text + line, ops);
    }
    // From here on the file holds nothing of an earlier attempt.
    if (complete < st.st_size && ops.ftruncate(file.fd(), complete) != 0)
        return Failed(-1);
    if (WriteAllAt(ops, file.fd(), line.constData(), static_cast<size_t>(line.size()), complete) &&
        ops.fsync(file.fd()) == 0)
        return Appended();
    // Undone, so that the line is written once, with its totals, when it can be.
    return Failed(ops.ftruncate(file.fd(), complete) == 0 ? -1 : static_cast<int64_t>(complete));
}

DaySums SumDayLines(QByteArrayView data)
{
    DaySums sums;
    SampleLineReader reader(data);
    while (const auto line = reader.next())
    {
        if (const auto sample = ParseSampleLine(*line))
        {
            sums.in = SaturatingAdd(sums.in, static_cast<uint64_t>(sample->in));
            sums.out = SaturatingAdd(sums.out, static_cast<uint64_t>(sample->out));
        }
    }
    return sums;
}
} // namespace store
