#include "receive/text_save.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

#include "receive/receive_view.h"

namespace {

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(SaveText, WritesWhatAssistiveToolsReadAsUtf8) {
    ReceiveView view;
    view.Append("0D 0A 41 42 43 44 45 46 47 48 \r\n\x01\xE9\r\n");
    view.AppendText(u"中文\r\n");
    // A surrogate pair cut by the slices the text is read in, and one left alone.
    view.Append(std::string((1 << 16) - view.Length() - 1, 'x'));
    view.AppendText(u"😀\r\n.");
    const QString path = QDir::temp().filePath(QStringLiteral("corvala-save-shown.txt"));
    std::string error;
    ASSERT_EQ(SaveText(view.Snapshot(), QFile::encodeName(path).toStdString(), error),
              SaveOutcome::Saved)
        << error;
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&view)->textInterface();
    const QString shown = text->text(0, text->characterCount());
    EXPECT_EQ(Read(path), shown.toUtf8());
    EXPECT_TRUE(
        Read(path).startsWith("0D 0A 41 42 43 44 45 46 47 48 \r\n\x01\xC3\xA9\r\n\xE4\xB8\xAD"));
    // UTF-8 cannot hold a lone surrogate (typed into the area): it is written as U+FFFD.
    ASSERT_EQ(
        SaveText(ReceiveText::FromUtf16(u"a\xD800."), QFile::encodeName(path).toStdString(), error),
        SaveOutcome::Saved);
    EXPECT_EQ(Read(path), "a\xEF\xBF\xBD.");
    QFile::remove(path);
}

// What was at the path before a save is there after it unless the save is whole, and no
// device or FIFO is opened.
TEST(SaveText, TheTargetIsReplacedWholeOrNotAtAll) {
    namespace fs = std::filesystem;
    const std::string text(100000, 'a');
    const auto oldFile = [](const fs::path& t) { std::ofstream(t) << "old"; };
    const struct {
        const char* what;
        std::function<void(const fs::path& target)> make;
        bool failingWrite;
        SaveOutcome outcome;
        const char* after;  // the target's content; nullptr: left as it was made
    } table[] = {
        {"file", oldFile, false, SaveOutcome::Saved, text.c_str()},
        {"file, failing write", oldFile, true, SaveOutcome::Failed, "old"},
        {"link to a file",
         [](const fs::path& t) {
             std::ofstream(t.string() + "-real") << "old";
             fs::create_symlink(t.filename().string() + "-real", t);
         },
         false, SaveOutcome::Saved, text.c_str()},
        {"link to a file not made yet",
         [](const fs::path& t) {
             fs::create_directory(t.parent_path() / "real");
             fs::create_symlink("real/" + t.filename().string(), t);
         },
         false, SaveOutcome::Saved, text.c_str()},
        {"fifo", [](const fs::path& t) { mkfifo(t.c_str(), 0600); }, false,
         SaveOutcome::NotRegularFile, nullptr},
        {"link to /dev/zero", [](const fs::path& t) { fs::create_symlink("/dev/zero", t); }, false,
         SaveOutcome::NotRegularFile, nullptr},
    };
    for (const auto& row : table) {
        QTemporaryDir dir;
        const fs::path target = dir.filePath("shown.txt").toStdString();
        row.make(target);
        const fs::file_status before = fs::symlink_status(target);
        const auto entries = std::distance(fs::directory_iterator(dir.path().toStdString()), {});
        // A write past 1000 bytes fails, as on a full disk, halfway through the save.
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small{row.failingWrite ? 1000 : limit.rlim_cur, limit.rlim_max};
        const auto handler = signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        std::string error;
        EXPECT_EQ(SaveText(ReceiveText::FromLatin1(text), target, error), row.outcome) << row.what;
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, handler);
        EXPECT_EQ(fs::symlink_status(target).type(), before.type()) << row.what;
        if (row.after) {
            EXPECT_EQ(Read(QString::fromStdString(target)), row.after) << row.what;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path().toStdString()), {}), entries)
            << row.what << ": a temporary file was left";
    }
    std::string error;
    EXPECT_EQ(SaveText(ReceiveText::FromLatin1("a"), "/nonexistent-dir/shown.txt", error),
              SaveOutcome::Failed);
    EXPECT_EQ(error, "/nonexistent-dir/shown.txt: No such file or directory");
}

// The beside-it file the save writes first fits where the name fits.
TEST(SaveText, ANameAsLongAsTheFolderAllowsIsSaved) {
    QTemporaryDir dir;
    const QString name = QString(251, u'n') + QStringLiteral(".txt");
    std::string error;
    EXPECT_EQ(SaveText(ReceiveText::FromLatin1("a"),
                       QFile::encodeName(dir.filePath(name)).toStdString(), error),
              SaveOutcome::Saved)
        << error;
    EXPECT_EQ(Read(dir.filePath(name)), "a");
}

}  // namespace
