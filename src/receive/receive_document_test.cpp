#include "receive/receive_document.h"

#include <gtest/gtest.h>

#include <random>

#include "receive/chunk.h"

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
    d.Replace(1, 1, u"中");  // a wide character: stored as UTF-16
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

// Line starts of `text` by the rule, for comparing against the document's index.
std::vector<uint64_t> ModelLineStarts(const std::u16string& text) {
    std::vector<uint64_t> starts{0};
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' || (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))) {
            starts.push_back(i + 1);
        }
    }
    return starts;
}

std::u16string Widen(const std::string& latin1) {
    std::u16string wide;
    for (char c : latin1) wide += static_cast<char16_t>(static_cast<uint8_t>(c));
    return wide;
}

// The compact store against a plain string: random hex batches, stamps, text with line
// breaks, typing and deleting anywhere (also inside a pair), wide characters, clearing,
// restoring snapshots; every snapshot stays what it was. Half the rounds use 16-byte arena
// blocks, so pieces of every kind are cut by block borders at every offset.
TEST(ReceiveDocument, MatchesAPlainStringThroughRandomAppendsAndEdits) {
    std::mt19937 random(2026);
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(random() % n) : 0; };
    for (int round = 0; round < 200; ++round) {
        ReceiveDocument d(round % 2 ? 4 : ByteArena::kDefaultBlockBits);
        std::u16string model;
        std::vector<std::pair<ReceiveText, std::u16string>> snapshots;
        for (int step = 0; step < 60; ++step) {
            switch (pick(9)) {
                case 0: case 1: case 2: {  // a hex batch, sometimes stamped
                    std::vector<uint8_t> batch(1 + pick(40));
                    for (uint8_t& b : batch) b = static_cast<uint8_t>(random());
                    std::string chunk = BuildChunk(batch, true);
                    if (pick(2)) StampChunk(chunk, {2026, 12, 8, 1, 2, 3, static_cast<int>(pick(1000))});
                    d.AppendLatin1(chunk);
                    model += Widen(chunk);
                    break;
                }
                case 3: {  // raw bytes as text, line breaks and bytes that look like hex
                    const std::string pool = "\r\n AF09x\0\xFF "s;
                    std::string text(1 + pick(20), ' ');
                    for (char& c : text) c = pool[pick(pool.size())];
                    d.AppendLatin1(text);
                    model += Widen(text);
                    break;
                }
                case 4: case 5: {  // typing or deleting anywhere
                    const size_t pos = pick(model.size() + 1);
                    const size_t count = pick(std::min<size_t>(model.size() - pos, 8) + 1);
                    const std::u16string typed = pick(3) ? u"\r\n" : pick(2) ? u"中" : u"7 ";
                    const std::u16string text = pick(2) ? typed : u"";
                    d.Replace(pos, count, text);
                    model.replace(pos, count, text);
                    break;
                }
                case 6:
                    snapshots.emplace_back(d.Snapshot(), model);
                    break;
                case 7:
                    if (!snapshots.empty() && pick(4) == 0) {
                        const auto& [text, was] = snapshots[pick(snapshots.size())];
                        d.SetText(text);
                        model = was;
                    }
                    break;
                default:
                    if (pick(10) == 0) {
                        d.SetText({});
                        model.clear();
                    }
                    break;
            }
            ASSERT_EQ(d.Size(), model.size()) << "round " << round << ", step " << step;
            ASSERT_EQ(d.Mid(0, d.Size()), model) << "round " << round << ", step " << step;
            const size_t from = pick(model.size() + 1);
            ASSERT_EQ(d.Mid(from, 7), model.substr(from, 7));
            const auto starts = ModelLineStarts(model);
            ASSERT_EQ(d.LineCount(), starts.size()) << "round " << round << ", step " << step;
            for (size_t i = 0; i < starts.size(); ++i) ASSERT_EQ(d.LineStart(i), starts[i]);
        }
        for (const auto& [text, was] : snapshots) ASSERT_EQ(text.ToUtf16(), was);
    }
}

// Wide text typed after an odd number of Latin-1 bytes starts at an odd arena offset; where
// it crosses into the next 1 MiB block, one character has a byte in each.
TEST(ReceiveDocument, WideTextAcrossABlockBorderReadsBackWhole) {
    ReceiveDocument d;
    d.AppendLatin1(std::string((1 << 20) - 1, 'x'));
    d.Replace(d.Size(), 0, u"中文测试");
    EXPECT_EQ(d.Mid(d.Size() - 4, 4), u"中文测试");
    char16_t out[4];
    d.CopyTo(out, d.Size() - 4, 4);
    EXPECT_EQ(std::u16string(out, 4), u"中文测试");
    EXPECT_EQ(d.At(d.Size() - 4), u'中');
}

// Enough short lines and mixed pieces that their indexes span many pages; an edit near the
// start moves every later line.
TEST(ReceiveDocument, ManyShortLinesIndexAndEditAsFew) {
    ReceiveDocument d;
    std::u16string model;
    for (int i = 0; i < 20000; ++i) {
        const std::u16string line = i % 3 ? u"OK\r\n" : u"中 " + Widen(std::to_string(i)) + u"\n";
        d.AppendUtf16(line);
        model += line;
    }
    d.Replace(5, 3, u"\r\r");
    model.replace(5, 3, u"\r\r");
    const auto starts = ModelLineStarts(model);
    ASSERT_EQ(d.LineCount(), starts.size());
    for (size_t i = 0; i < starts.size(); i += 997) {
        ASSERT_EQ(d.LineStart(i), starts[i]) << i;
        ASSERT_EQ(d.LineOf(starts[i] + 1), i) << i;
    }
    ASSERT_EQ(d.Mid(0, d.Size()), model);
}

// Text decoded from a device comes in bursts of several lines: each line is kept, and told,
// by what it holds, so a line of ASCII beside a Chinese one is laid out as narrow.
TEST(ReceiveDocument, EachLineOfABurstKnowsWhetherItHoldsWideText) {
    ReceiveDocument d;
    const std::u16string burst = u"OK\r\n中文 23.5\r\nabc\rdef\n41 42 \u20AC\n";
    d.AppendUtf16(burst);
    ASSERT_EQ(d.Mid(0, d.Size()), burst);
    const bool above[] = {false, true, false, false, true, false};
    ASSERT_EQ(d.LineCount(), std::size(above));
    for (size_t line = 0; line < d.LineCount(); ++line) {
        const size_t start = d.LineStart(line);
        EXPECT_EQ(d.HasTextAboveLatin1(start, start + d.LineLength(line)), above[line]) << line;
    }
}

TEST(ReceiveDocument, StampedHexKeepsEachReceivedByteOnceAndLittleElse) {
    ReceiveDocument d;
    std::vector<uint8_t> batch(1024);
    size_t received = 0;
    for (int i = 0; i < 16 * 1024; ++i) {  // 16 MB received, 48 M characters of hex
        for (uint8_t& b : batch) b = static_cast<uint8_t>(i * 31 + (&b - batch.data()));
        std::string chunk = BuildChunk(batch, true);
        StampChunk(chunk, {2026, 12, 8, 1, 2, 3, i % 1000});
        d.AppendLatin1(chunk);
        received += batch.size();
    }
    EXPECT_GT(d.Size(), 3 * received);
    const double perByte = static_cast<double>(d.MemoryBytes() - (1u << 20)) / static_cast<double>(received);
    EXPECT_LE(perByte, 1.2) << perByte;
}

TEST(ReceiveDocument, AnEditCopiesNoText) {
    ReceiveDocument d;
    const std::string chunk = BuildChunk(std::vector<uint8_t>(1024, 0x5A), true) + "\r\n";
    for (int i = 0; i < 8 * 1024; ++i) d.AppendLatin1(chunk);  // 24 MB of characters
    const size_t before = d.MemoryBytes();
    const size_t lines = d.LineCount();
    d.Replace(d.Size() - 1, 1, u"");        // Backspace at the end
    d.Replace(d.Size() / 2 + 1, 2, u"中");  // typing inside a pair in the middle
    EXPECT_LT(d.MemoryBytes(), before + (1u << 20));
    EXPECT_EQ(d.LineCount(), lines);  // the last break lost its '\n'; a lone '\r' still ends it
    EXPECT_EQ(d.At(d.Size() / 2 + 1), u'中');
}

}  // namespace
