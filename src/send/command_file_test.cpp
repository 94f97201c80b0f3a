#include "send/command_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

namespace {

using Bad = std::vector<BadCommandLine>;
using P = CommandLineProblem;
using Outcome = CommandFileText::Outcome;
namespace fs = std::filesystem;

TEST(CommandFile, EveryCommandComesBackAsItWasWritten) {
    const std::vector<SavedCommand> table = {
        {"Reset", "AT+RST", false},
        {"Modbus 读", "01 03 00 00 00 0A C5 CD", true},
        {"tab\there", "a\tb", false},
        {"two\nlines", "line 1\nline 2\r\n", false},
        {"back\\slash", "C:\\dir\\n not a break\\", false},
        {"中文名称", "发送中文", false},
        {"empty text", "", false},
        {"", "no name", false},
        {"", "", true},
        {"hex over lines", "41 42\n43\t44", true},
        {std::string("zero\0byte", 9), std::string("a\0b", 3), false},
    };
    // A first name that starts with a byte order mark keeps it.
    for (const SavedCommand& first :
         {table.front(), SavedCommand{"\xEF\xBB\xBFmarked", "A", false}}) {
        std::vector<SavedCommand> commands = table;
        commands.front() = first;
        const CommandFile read = ParseCommandFile(WriteCommandFile(commands));
        EXPECT_EQ(read.commands, commands);
        EXPECT_TRUE(read.bad.empty());
    }
    const std::string file = WriteCommandFile(table);
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), static_cast<long>(table.size()));
    EXPECT_EQ(WriteCommandFile({{"a\tb", "AT\r\n", false}}), "a\\tb\ttext\tAT\\r\\n\n");
}

TEST(CommandFile, HandWrittenFilesWithCrLfAByteOrderMarkAndBlankLinesAreRead) {
    const CommandFile read =
        ParseCommandFile("\xEF\xBB\xBFOne\ttext\tAT\r\n\r\n\nTwo\thex\t0d 0A\r\n");
    EXPECT_EQ(read.commands,
              (std::vector<SavedCommand>{{"One", "AT", false}, {"Two", "0d 0A", true}}));
    EXPECT_TRUE(read.bad.empty());
}

TEST(CommandFile, EachBadLineIsNamedAndEveryGoodLineIsKept) {
    const std::string content =
        "ok1\ttext\tA\n"
        "gbk\ttext\t\xD6\xD0\xCE\xC4\n"  // 中文 in GBK
        "missing\ttext\n"
        "extra\ttext\tA\tB\n"
        "kind\tascii\tA\n"
        "escape\ttext\tA\\x\n"
        "trailing\ttext\tA\\\n"
        "hex\thex\t41 4G\n"
        "wide\thex\t４１\n"  // full-width digits are no hex digits
        "ok2\thex\t41\n"
        "only a name\n"
        "surrogate\ttext\t\xED\xA0\x80\n"
        "cut\ttext\t\xE4\xB8";
    const CommandFile read = ParseCommandFile(content);
    EXPECT_EQ(read.commands, (std::vector<SavedCommand>{{"ok1", "A", false}, {"ok2", "41", true}}));
    EXPECT_EQ(read.bad, (Bad{{2, P::NotUtf8},
                             {3, P::FieldCount},
                             {4, P::FieldCount},
                             {5, P::UnknownKind},
                             {6, P::BadEscape},
                             {7, P::BadEscape},
                             {8, P::NotHex},
                             {9, P::NotHex},
                             {11, P::FieldCount},
                             {12, P::NotUtf8},
                             {13, P::NotUtf8}}));
}

TEST(CommandFile, AnEmptyFileHoldsNothingAndNothingIsWrong) {
    for (const char* content : {"", "\n\n", "\r\n", "\xEF\xBB\xBF"}) {
        const CommandFile read = ParseCommandFile(content);
        EXPECT_TRUE(read.commands.empty()) << content;
        EXPECT_TRUE(read.bad.empty()) << content;
    }
}

// A device or a FIFO would be read for ever (or wait for a writer); a file is read up to the cap.
TEST(CommandFile, OnlyARegularFileUpToTheCapIsRead) {
    const fs::path dir =
        fs::temp_directory_path() / ("corvala-commands-" + std::to_string(getpid()));
    fs::create_directories(dir);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero");
    std::ofstream(dir / "full") << std::string(kMaxCommandFileBytes, '\n');
    std::ofstream(dir / "over") << std::string(kMaxCommandFileBytes + 1, '\n');
    const struct {
        const char* name;
        Outcome outcome;
        size_t size;
        int error;
    } table[] = {
        {"fifo", Outcome::NotRegularFile, 0, 0}, {"zero", Outcome::NotRegularFile, 0, 0},
        {".", Outcome::NotRegularFile, 0, 0},    {"full", Outcome::Read, kMaxCommandFileBytes, 0},
        {"over", Outcome::TooLarge, 0, 0},       {"missing", Outcome::Failed, 0, ENOENT},
    };
    for (const auto& row : table) {
        const CommandFileText file = ReadCommandFileText(dir / row.name);
        EXPECT_EQ(file.outcome, row.outcome) << row.name;
        EXPECT_EQ(file.content.size(), row.size) << row.name;
        EXPECT_EQ(file.error, row.error) << row.name;
    }
    fs::remove_all(dir);
}

}  // namespace
