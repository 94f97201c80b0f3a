#include "ui/gif_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "test/gif_builder.h"

namespace {

int CountGraphicBlocks(const std::vector<uint8_t>& gif) {
    GifReader r(gif.data(), gif.size());
    int n = 0;
    while (r.StepOverGraphicBlock()) ++n;
    return n;
}

std::vector<GifFrameStream> Frames(const std::vector<uint8_t>& gif) {
    GifReader r(gif.data(), gif.size());
    std::vector<GifFrameStream> frames;
    while (auto f = r.TakeFrame()) frames.push_back(std::move(*f));
    return frames;
}

TEST(GifReader, TellsGifStreamsByTheirSignature) {
    struct Case {
        std::string head;
        bool gif;
    };
    for (const Case& c : {Case{"GIF89a", true}, {"GIF87a", true}, {"GIF88a", false},
                          {"GIF8", false}, {"PNG89a", false}, {"", false}}) {
        EXPECT_EQ(IsGifStream(reinterpret_cast<const uint8_t*>(c.head.data()), c.head.size()),
                  c.gif)
            << c.head;
    }
}

TEST(GifReader, OneImageIsOneFrameWithOrWithoutAControlExtension) {
    const auto bare = GifBuilder(4, 3).Image(0, 0, 4, 3, 5).Trailer().Bytes();
    const auto controlled = GifBuilder(4, 3).Control(7, 0).Image(0, 0, 4, 3, 5).Trailer().Bytes();
    EXPECT_EQ(CountGraphicBlocks(bare), 1);
    EXPECT_EQ(CountGraphicBlocks(controlled), 1);

    const auto plain = Frames(bare);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].delay, GifFrameStream::kNoDelay);
    EXPECT_EQ(plain[0].disposal, 0u);
    // A stream of one control extension and one image comes back byte for byte.
    const auto whole = Frames(controlled);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].bytes, controlled);
    EXPECT_EQ(whole[0].delay, 7u);
}

TEST(GifReader, AFrameCarriesItsControlCommentAndImageButNotTheLoopExtension) {
    GifBuilder gif(20, 10);
    gif.Loop();
    const size_t frameStart = gif.Size();
    gif.Control(25, 3).Comment("hi").Image(2, 1, 8, 5, 9);
    const size_t frameEnd = gif.Size();
    gif.Control(50, 2).Image(0, 0, 20, 10, 1).Trailer();
    const auto& bytes = gif.Bytes();

    const auto frames = Frames(bytes);
    ASSERT_EQ(frames.size(), 2u);
    std::vector<uint8_t> expected(bytes.begin(), bytes.begin() + 13 + 384);
    expected.insert(expected.end(), bytes.begin() + static_cast<long>(frameStart),
                    bytes.begin() + static_cast<long>(frameEnd));
    expected.push_back(0x3B);
    EXPECT_EQ(frames[0].bytes, expected);
    EXPECT_EQ(frames[0].delay, 25u);
    EXPECT_EQ(frames[0].disposal, 3u);
    EXPECT_EQ((std::array{frames[0].left, frames[0].top, frames[0].width, frames[0].height}),
              (std::array{2u, 1u, 8u, 5u}));
    EXPECT_EQ(frames[1].disposal, 2u);
}

TEST(GifReader, TablesSizeTheHeaderAndTheImageBlock) {
    // No global table: each frame begins with the 13 header bytes only.
    const auto noTable = GifBuilder(4, 4, false).Image(0, 0, 4, 4, 3, true).Trailer().Bytes();
    const auto frames = Frames(noTable);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes, noTable);  // the local table travels with its image
    GifReader r(noTable.data(), noTable.size());
    EXPECT_EQ(r.FirstBlock(), 13u);
    EXPECT_EQ(r.NextBlockSize(), static_cast<int64_t>(noTable.size() - 13 - 1));
}

TEST(GifReader, TheWalkEndsAtTheFirstBlockItCannotRead) {
    const auto one = GifBuilder(4, 4).Control(3, 0).Image(0, 0, 4, 4, 1).Bytes();
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int blocks;
    };
    auto with = [](std::vector<uint8_t> b, const std::string& more) {
        b.insert(b.end(), more.begin(), more.end());
        return b;
    };
    const Case cases[] = {
        {"no trailer", with(with(one, ""), ""), 1},
        {"second image cut short", with(one, std::string("\x2C\0\0\0\0\x04\0\x04\0\0\x07\x05\x80", 13)), 1},
        {"extension label 0x2C", with(one, std::string("\x21\x2C\x01\0\0", 5)), 1},
        {"extension label 0x00", with(one, std::string("\x21\0\x01\0\0", 5)), 1},
        {"stray byte", with(one, "\x42"), 1},
        {"control cut short", with(one, "\x21\xF9\x04"), 1},
        {"introducer at the very end", with(one, "\x21"), 1},
        {"sub-block runs past the end", with(one, "\x21\xFE\x09xy"), 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountGraphicBlocks(c.bytes), c.blocks) << c.what;
        EXPECT_EQ(Frames(c.bytes).size(), static_cast<size_t>(c.blocks)) << c.what;
    }
    // Too short for the global table it announces: no stream at all.
    const std::vector<uint8_t> header(one.begin(), one.begin() + 100);
    GifReader r(header.data(), header.size());
    EXPECT_EQ(r.rawData, nullptr);
    EXPECT_FALSE(r.StepOverGraphicBlock());
}

TEST(GifReader, ALocalTableOf256EntriesMovesTheSubBlocksBy768) {
    std::vector<uint8_t> gif = GifBuilder(1, 1, false).Bytes();
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x87});
    gif.insert(gif.end(), 768, 0);
    gif.insert(gif.end(), {7, 1, 0x80, 0, 0x3B});  // code size, one sub-block, terminator
    GifReader r(gif.data(), gif.size());
    EXPECT_EQ(r.SubBlockRunSize(13 + 779), 3);
    EXPECT_EQ(r.NextBlockSize(), 11 + 768 + 3);
}

TEST(GifReader, TheShippedLogoIsOneFrameOfItsWholeStream) {
    std::ifstream in(CORVALA_SOURCE_DIR "/res/logo.gif", std::ios::binary);
    const std::vector<uint8_t> logo{std::istreambuf_iterator<char>(in), {}};
    ASSERT_TRUE(IsGifStream(logo.data(), logo.size()));
    GifReader r(logo.data(), logo.size());
    EXPECT_EQ(r.ScreenWidth(), 199u);
    EXPECT_EQ(r.ScreenHeight(), 32u);
    EXPECT_EQ(r.globalTableBytes, 768u);
    EXPECT_EQ(CountGraphicBlocks(logo), 1);
    const auto frames = Frames(logo);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes, logo);
    EXPECT_EQ(frames[0].delay, 7u);
    EXPECT_EQ(frames[0].disposal, 0u);
}

}  // namespace
