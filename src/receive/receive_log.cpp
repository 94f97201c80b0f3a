#include "receive/receive_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

ReceiveLog::ReceiveLog(std::string directory) : m_directory(std::move(directory)) {
    if (!m_directory.empty() && m_directory.back() != '/') m_directory += '/';
}

std::string ReceiveLog::FileNameFor(const UtcTime& t) const {
    char name[48];
    std::snprintf(name, sizeof name, "rxLOG_%d-%02d-%02d.log", t.year, t.month, t.day);
    return m_directory + name;
}

bool ReceiveLog::Write(std::string_view text, const UtcTime& day, std::string& error,
                       size_t* written) const {
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    const std::string path = FileNameFor(day);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) done += static_cast<size_t>(n);
        else if (!(n < 0 && errno == EINTR)) ok = false;
    }
    int writeErrno = errno;
    if (fd >= 0 && close(fd) != 0 && ok) ok = false, writeErrno = errno;
    if (!ok) error = path + ": " + std::strerror(writeErrno);
    if (written) {
        // Back from bytes to characters: a line feed is whole only with its CR before it.
        size_t chars = 0;
        for (size_t used = 0; chars < text.size(); ++chars) {
            used += text[chars] == '\n' ? 2 : 1;
            if (used > done) break;
        }
        *written = chars;
    }
    return ok;
}

std::string LogDirectory(const std::filesystem::path& executable) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir = executable.parent_path();
    const bool installed =
        fs::exists(dir.parent_path() / "share" / "applications" / "org.corvala.Corvala.desktop", ec);
    if (!installed && access(dir.c_str(), W_OK) == 0) return dir.string() + "/";
    fs::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        data = xdg;
    } else {
        const char* home = std::getenv("HOME");
        data = fs::path(home ? home : "/tmp") / ".local" / "share";
    }
    fs::create_directories(data / "corvala", ec);
    return (data / "corvala").string() + "/";
}

std::string LogDirectory() {
    std::error_code ec;
    return LogDirectory(std::filesystem::read_symlink("/proc/self/exe", ec));
}

std::string PrepareLogDirectory(const std::string& directory) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec) return ec.message();
    // access() asks what the process may do, as the log's open will.
    if (access(directory.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    return {};
}
