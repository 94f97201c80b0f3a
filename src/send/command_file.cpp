#include "send/command_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "send/send_text.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t more = 0;
        unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (s.size() - i <= more) return false;
        for (size_t k = 1; k <= more; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return false;
        }
        i += more + 1;
    }
    return true;
}

std::optional<std::string> Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size()) return std::nullopt;
        switch (field[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

void Escape(std::string_view field, std::string& out) {
    for (char c : field) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
}

// Hex notation is ASCII: a byte at or above 0x80 is refused like any other non-digit.
bool IsHexNotation(std::string_view text) {
    return FirstNonHexCharacter(std::u16string(text.begin(), text.end())) == std::u16string::npos;
}

std::optional<CommandLineProblem> ParseLine(std::string_view line, SavedCommand& command) {
    if (!IsUtf8(line)) return CommandLineProblem::NotUtf8;
    const size_t tab1 = line.find('\t');
    const size_t tab2 = tab1 == line.npos ? line.npos : line.find('\t', tab1 + 1);
    if (tab2 == line.npos || line.find('\t', tab2 + 1) != line.npos)
        return CommandLineProblem::FieldCount;
    const std::string_view kind = line.substr(tab1 + 1, tab2 - tab1 - 1);
    if (kind != "text" && kind != "hex") return CommandLineProblem::UnknownKind;
    std::optional<std::string> name = Unescape(line.substr(0, tab1));
    std::optional<std::string> text = Unescape(line.substr(tab2 + 1));
    if (!name || !text) return CommandLineProblem::BadEscape;
    command = {std::move(*name), std::move(*text), kind == "hex"};
    if (command.hex && !IsHexNotation(command.text)) return CommandLineProblem::NotHex;
    return std::nullopt;
}

}  // namespace

CommandFileText ReadCommandFileText(const std::string& path) {
    using Outcome = CommandFileText::Outcome;
    // Looked at before opening: opening a serial device would move its modem lines.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {Outcome::Failed, {}, errno};
    if (!S_ISREG(st.st_mode)) return {Outcome::NotRegularFile, {}, 0};
    // Not blocking, and looked at again: what is opened may have been swapped meanwhile.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {Outcome::Failed, {}, errno};
    CommandFileText file{Outcome::Read, {}, 0};
    if (fstat(fd, &st) != 0) {
        file = {Outcome::Failed, {}, errno};
    } else if (!S_ISREG(st.st_mode)) {
        file.outcome = Outcome::NotRegularFile;
    } else {
        // One byte over the cap tells a file that grew past it while read.
        char buffer[1 << 16];
        while (file.content.size() <= kMaxCommandFileBytes) {
            const size_t want =
                std::min(sizeof buffer, kMaxCommandFileBytes + 1 - file.content.size());
            const ssize_t n = read(fd, buffer, want);
            if (n == 0) break;
            if (n > 0) {
                file.content.append(buffer, static_cast<size_t>(n));
            } else if (errno != EINTR) {
                file = {Outcome::Failed, {}, errno};
                break;
            }
        }
        if (file.content.size() > kMaxCommandFileBytes) file = {Outcome::TooLarge, {}, 0};
    }
    close(fd);
    return file;
}

CommandFile ParseCommandFile(std::string_view content) {
    if (content.starts_with(kByteOrderMark)) content.remove_prefix(kByteOrderMark.size());
    CommandFile file;
    size_t number = 0;
    while (!content.empty()) {
        const size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == content.npos ? content.size() : end + 1);
        ++number;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty()) continue;
        SavedCommand command;
        if (const auto problem = ParseLine(line, command)) {
            file.bad.push_back({number, *problem});
        } else {
            file.commands.push_back(std::move(command));
        }
    }
    return file;
}

std::string WriteCommandFile(const std::vector<SavedCommand>& commands) {
    std::string out;
    // On the first line, a name's own mark would be taken for the file's.
    if (!commands.empty() && commands.front().name.starts_with(kByteOrderMark)) out += '\n';
    for (const SavedCommand& c : commands) {
        Escape(c.name, out);
        out += c.hex ? "\thex\t" : "\ttext\t";
        Escape(c.text, out);
        out += '\n';
    }
    return out;
}
