#include "receive/text_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {

constexpr size_t kSlice = size_t{1} << 16;

void PutUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

bool WriteAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

// The file a link at `path` leads to, also one not made yet, so the rename replaces that
// file and not the link; `path` itself when it is no link.
std::string LinkedFile(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {  // as many as the kernel follows
        char to[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), to, sizeof to);
        if (n <= 0 || static_cast<size_t>(n) == sizeof to) break;
        const std::string link(to, static_cast<size_t>(n));
        const size_t slash = path.rfind('/');
        path = link.front() == '/' || slash == std::string::npos ? link
                                                                 : path.substr(0, slash + 1) + link;
    }
    return path;
}

}  // namespace

SaveOutcome SaveText(const ReceiveText& text, const std::string& path, std::string& error) {
    struct stat st {};
    const bool exists = stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return SaveOutcome::NotRegularFile;
    const std::string target = LinkedFile(path);
    // A short name, so it fits wherever the target's does.
    const size_t slash = target.rfind('/');
    const std::string temporary = (slash == std::string::npos ? "" : target.substr(0, slash + 1)) +
                                  ".corvala-" + std::to_string(getpid()) + ".tmp";
    unlink(temporary.c_str());  // left by an earlier run that ended while it saved
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && (!exists || fchmod(fd, st.st_mode & 07777) == 0);
    std::u16string chars(kSlice + 1, u'\0');
    std::string bytes;
    for (size_t pos = 0; ok && pos < text.Size();) {
        // One more character than the slice, so a pair cut at its end is read whole.
        const size_t n = std::min(kSlice + 1, text.Size() - pos);
        text.CopyTo(chars.data(), pos, n);
        const size_t end = n > kSlice ? kSlice : n;
        bytes.clear();
        size_t i = 0;
        for (; i < end; ++i) {
            const char16_t c = chars[i];
            if (IsHigh(c) && i + 1 < n && IsLow(chars[i + 1])) {
                PutUtf8(bytes, 0x10000 + ((c - 0xD800) << 10) + (chars[i + 1] - 0xDC00));
                ++i;
            } else {
                PutUtf8(bytes, IsHigh(c) || IsLow(c) ? 0xFFFD : c);
            }
        }
        pos += i;
        ok = WriteAll(fd, bytes);
    }
    ok = ok && fsync(fd) == 0;
    int saveErrno = errno;
    if (fd >= 0 && close(fd) != 0 && ok) ok = false, saveErrno = errno;
    if (ok && rename(temporary.c_str(), target.c_str()) != 0) ok = false, saveErrno = errno;
    if (ok) return SaveOutcome::Saved;
    if (fd >= 0) unlink(temporary.c_str());
    error = path + ": " + std::strerror(saveErrno);
    return SaveOutcome::Failed;
}
