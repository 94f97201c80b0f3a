#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A pseudo-terminal whose master end plays a serial device; SlavePath() is the port.
// Owns the master descriptor. Not thread-safe, except that one thread may write while
// another reads.
class PtyPair {
public:
    PtyPair();  // throws std::system_error
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }

    // What the device sends: waits until all bytes are written. False when the port side
    // went away or took nothing for `stall`.
    bool Write(std::span<const uint8_t> bytes,
               std::chrono::milliseconds stall = std::chrono::seconds(10));
    // What the device received: reads until `count` bytes arrived or `timeout` passed.
    std::vector<uint8_t> Read(size_t count, std::chrono::milliseconds timeout);
    // True while some program has the port open.
    bool PortInUse() const;
    // Pulls the cable: the port side sees a hang-up.
    void CloseMaster();

private:
    int m_master = -1;
    std::string m_slavePath;
};
