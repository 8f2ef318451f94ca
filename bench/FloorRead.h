// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <vector>

// The least a floor benchmark pays to read a file: open, fstat and read it whole with plain system calls
// into buffer (grown as needed, kept between calls). The bytes read, or -1 when it cannot be read.
inline ptrdiff_t ReadWhole(const char* path, std::vector<char>& buffer)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    struct stat st
    {
    };
    if (fd < 0 || ::fstat(fd, &st) != 0)
    {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    buffer.resize(static_cast<size_t>(st.st_size) + 4096);
    size_t size = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data() + size, buffer.size() - size)) > 0;)
        size += static_cast<size_t>(n);
    ::close(fd);
    return static_cast<ptrdiff_t>(size);
}
