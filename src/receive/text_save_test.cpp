#include "receive/text_save.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QFile>

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
    ASSERT_TRUE(SaveText(view.Snapshot(), QFile::encodeName(path).toStdString(), error)) << error;
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&view)->textInterface();
    const QString shown = text->text(0, text->characterCount());
    EXPECT_EQ(Read(path), shown.toUtf8());
    EXPECT_TRUE(Read(path).startsWith("0D 0A 41 42 43 44 45 46 47 48 \r\n\x01\xC3\xA9\r\n\xE4\xB8\xAD"));
    // UTF-8 cannot hold a lone surrogate (typed into the area): it is written as U+FFFD.
    ASSERT_TRUE(SaveText(ReceiveText::FromUtf16(u"a\xD800."), QFile::encodeName(path).toStdString(), error));
    EXPECT_EQ(Read(path), "a\xEF\xBF\xBD.");
    QFile::remove(path);
}

TEST(SaveText, AFailureIsReportedWithTheFileAndItsReason) {
    std::string error;
    EXPECT_FALSE(SaveText(ReceiveText::FromLatin1("a"), "/nonexistent-dir/shown.txt", error));
    EXPECT_EQ(error, "/nonexistent-dir/shown.txt: No such file or directory");
    EXPECT_FALSE(SaveText(ReceiveText::FromLatin1(std::string(100000, 'a')), "/dev/full", error));
    EXPECT_EQ(error, "/dev/full: No space left on device");
}

}  // namespace
