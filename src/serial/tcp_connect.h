#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// Opens a TCP connection to `host`:`port` for a network port: the name is looked up and each
// of its addresses tried in turn, all before `deadline`. Returns a connected, non-blocking
// socket with the keep-alive that tells a silently dropped connection within half a minute.
// Blocks the calling thread (never the window's); `cancelFd` (if not -1) ends it as soon as
// it becomes readable. Throws CFileException named `path`: step Lookup (the resolver's words
// as system text) or Connect, errno ETIMEDOUT at the deadline and ECANCELED when cancelled.
int ConnectTcp(const std::string& path, const std::string& host, uint16_t port,
               std::chrono::steady_clock::time_point deadline, int cancelFd);

// Waits for `events` on `fd` until `deadline`, or until `cancelFd` (if not -1) becomes
// readable. Returns fd's revents, 0 at the deadline, -1 when cancelled; EINTR is retried.
int PollUntil(int fd, short events, std::chrono::steady_clock::time_point deadline, int cancelFd);
