#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A saved command: what the send area gets and whether it is hex notation. Texts are UTF-8;
// a line break in `text` is '\n', as the send area holds it.
struct SavedCommand {
    std::string name;  // may be empty: the list then shows the text
    std::string text;
    bool hex = false;
    bool operator==(const SavedCommand&) const = default;
};

// The command file: plain UTF-8 text, one command a line, lines ending in LF or CR LF, a
// UTF-8 byte order mark at the start allowed:
//
//     name <TAB> text|hex <TAB> payload
//
// In name and payload, \\ \t \n \r stand for a backslash, a tab, a line feed and a carriage
// return; any other backslash is an error. A hex payload holds only hex digits and white
// space, as the send area's hex notation. Empty lines are skipped.
//
// Example:  Reset<TAB>text<TAB>AT+RST\r\n     Modbus read<TAB>hex<TAB>01 03 00 00 00 0A C5 CD

enum class CommandLineProblem {
    NotUtf8,
    FieldCount,  // not exactly three fields
    UnknownKind,
    BadEscape,
    NotHex,
};

struct BadCommandLine {
    size_t line;  // counted from 1
    CommandLineProblem problem;
    bool operator==(const BadCommandLine&) const = default;
};

struct CommandFile {
    std::vector<SavedCommand> commands;  // every valid line, in order
    std::vector<BadCommandLine> bad;
};

// What reading a command file from disk gave. Only a regular file is read, and at most
// kMaxCommandFileBytes of it: a device or a FIFO (commands.txt linked to /dev/zero) would be
// read forever, and a longer file is no list of commands but a wrong pick.
struct CommandFileText {
    enum class Outcome { Read, NotRegularFile, TooLarge, Failed } outcome;
    std::string content;  // when Read
    int error = 0;        // the errno, when Failed
};
inline constexpr size_t kMaxCommandFileBytes = size_t{4} << 20;

// Never waits for a writer or a device. Any thread.
CommandFileText ReadCommandFileText(const std::string& path);
CommandFile ParseCommandFile(std::string_view content);
// `commands` as the file holds them; ParseCommandFile gives them back unchanged.
std::string WriteCommandFile(const std::vector<SavedCommand>& commands);
