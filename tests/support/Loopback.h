// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

// Real traffic for tests, on loopback only.
// Sends `total` bytes from one TCP socket to another over 127.0.0.1, in chunks small enough for the socket
// buffers so that one thread can do both ends.
inline bool SendOverLoopback(size_t total)
{
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bool ok = server >= 0 && ::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              ::listen(server, 1) == 0 && ::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    const int client = ok ? ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    ok = ok && client >= 0 && ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const int peer = ok ? ::accept(server, nullptr, nullptr) : -1;
    ok = ok && peer >= 0;
    char chunk[4096];
    std::memset(chunk, 'v', sizeof chunk);
    for (size_t done = 0; ok && done < total; done += sizeof chunk)
    {
        ok = ::send(client, chunk, sizeof chunk, 0) == static_cast<ssize_t>(sizeof chunk);
        for (size_t got = 0; ok && got < sizeof chunk;)
        {
            const ssize_t n = ::recv(peer, chunk, sizeof chunk - got, 0);
            ok = n > 0;
            got += ok ? static_cast<size_t>(n) : 0;
        }
    }
    for (const int fd : {peer, client, server})
        if (fd >= 0)
            ::close(fd);
    return ok;
}
