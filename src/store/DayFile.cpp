#include "store/DayFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace
{
// Length of the file once a torn tail is cut back to the last CR LF (0 when there is none).
off_t CompleteLength(int fd, off_t size)
{
    char tail[2];
    if (size >= 2 && ::pread(fd, tail, 2, size - 2) == 2 && tail[0] == '\r' && tail[1] == '\n')
        return size;
    char buf[4096];
    off_t end = size;
    char next = 0; // byte following buf's last byte
    while (end > 0)
    {
        const off_t start = end > static_cast<off_t>(sizeof buf) ? end - static_cast<off_t>(sizeof buf) : 0;
        const ssize_t n = ::pread(fd, buf, static_cast<size_t>(end - start), start);
        if (n != end - start)
            return -1;
        for (ssize_t k = n - 1; k >= 0; --k)
        {
            if (buf[k] == '\r' && next == '\n')
                return start + k + 2;
            next = buf[k];
        }
        end = start;
    }
    return 0;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
} // namespace

bool AppendDayLine(const QString& path, const QByteArray& line)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = false;
    struct stat st
    {
    };
    if (::fstat(fd, &st) == 0)
    {
        const off_t complete = CompleteLength(fd, st.st_size);
        if (complete >= 0 && (complete == st.st_size || ::ftruncate(fd, complete) == 0))
        {
            if (::lseek(fd, complete, SEEK_SET) == complete &&
                WriteAll(fd, line.constData(), static_cast<size_t>(line.size())) && ::fsync(fd) == 0)
                ok = true;
            else if (::ftruncate(fd, complete) != 0)
            {
                // The torn tail stays; the next append cuts it back.
            }
        }
    }
    ::close(fd);
    return ok;
}
