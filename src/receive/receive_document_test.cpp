#include "receive/receive_document.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

std::vector<std::u16string> Lines(const ReceiveDocument& d) {
    std::vector<std::u16string> out;
    for (size_t i = 0; i < d.LineCount(); ++i) out.push_back(d.Mid(d.LineStart(i), d.LineLength(i)));
    return out;
}

TEST(ReceiveDocument, CrLfLoneLfAndLoneCrEachEndALine) {
    ReceiveDocument d;
    d.AppendLatin1("a\r\nb\nc\rd\n\re");
    EXPECT_EQ(Lines(d), (std::vector<std::u16string>{u"a", u"b", u"c", u"d", u"", u"e"}));
}

TEST(ReceiveDocument, ACrLfSplitAcrossTwoAppendsIsOneBreak) {
    ReceiveDocument d;
    d.AppendLatin1("41 \r");
    d.AppendLatin1("\n42 ");
    EXPECT_EQ(Lines(d), (std::vector<std::u16string>{u"41 ", u"42 "}));
    EXPECT_EQ(d.LineOf(0), 0u);
    EXPECT_EQ(d.LineOf(4), 0u);  // the '\n' of the break
    EXPECT_EQ(d.LineOf(5), 1u);
}

TEST(ReceiveDocument, KeepsEveryCharacterExactly) {
    ReceiveDocument d;
    d.AppendLatin1("A\0\xFF\x7F"s);
    EXPECT_EQ(d.Mid(0, 4), u"A\0\u00FF\u007F"s);
    EXPECT_EQ(d.Size(), 4u);
}

TEST(ReceiveDocument, SnapshotsStayFrozenWhileTheTextGrowsOrChanges) {
    ReceiveDocument d;
    d.AppendLatin1("abc");
    ReceiveText before = d.Snapshot();
    d.AppendLatin1("def");
    EXPECT_EQ(before.ToUtf16(), u"abc");
    EXPECT_EQ(d.Snapshot().ToUtf16(), u"abcdef");
    d.Replace(1, 1, u"中");  // a wide character: the store becomes UTF-16
    EXPECT_EQ(d.Snapshot().ToUtf16(), u"a中cdef");
    EXPECT_EQ(before.ToUtf16(), u"abc");
    d.AppendLatin1("\xB0");
    EXPECT_EQ(d.Mid(5, 2), u"f\u00B0");
}

TEST(ReceiveDocument, SettingItsOwnSnapshotBackChangesNothing) {
    ReceiveDocument d;
    d.AppendLatin1("x\ny");
    ReceiveText snap = d.Snapshot();
    d.SetText(snap);
    EXPECT_EQ(d.Snapshot(), snap);
    EXPECT_EQ(d.LineCount(), 2u);
    d.SetText(ReceiveText::FromUtf16(u"数据保存在：\r\n/tmp/"));
    EXPECT_EQ(Lines(d), (std::vector<std::u16string>{u"数据保存在：", u"/tmp/"}));
    d.SetText(ReceiveText());
    EXPECT_EQ(d.Size(), 0u);
    EXPECT_EQ(d.LineCount(), 1u);
}

TEST(ReceiveDocument, EditsInTheMiddleReindexTheLines) {
    ReceiveDocument d;
    d.AppendLatin1("ab\ncd");
    d.Replace(1, 3, u"X");
    EXPECT_EQ(Lines(d), (std::vector<std::u16string>{u"aXd"}));
    d.Replace(3, 0, u"\r\n!");  // at the end: an append
    EXPECT_EQ(Lines(d), (std::vector<std::u16string>{u"aXd", u"!"}));
}

TEST(ReceiveDocument, SnapshotsCompareByContent) {
    EXPECT_EQ(ReceiveText::FromLatin1("ab"), ReceiveText::FromUtf16(u"ab"));
    EXPECT_FALSE(ReceiveText::FromLatin1("ab") == ReceiveText::FromLatin1("ac"));
    EXPECT_EQ(ReceiveText(), ReceiveText::FromLatin1(""));
}

TEST(ReceiveDocument, LatinTextCostsOneBytePerCharacter) {
    ReceiveDocument d;
    const std::string chunk(3072, 'A');
    for (int i = 0; i < 2000; ++i) d.AppendLatin1(chunk);  // about 6 MB in one line
    EXPECT_EQ(d.LineCount(), 1u);
    EXPECT_LE(d.MemoryBytes(), d.Size() + (1u << 20) + 64);
}

}  // namespace
