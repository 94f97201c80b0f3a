#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Cuts a GIF stream held in memory into stand-alone one-frame GIF streams, block by block,
// without decoding pixels: the picture loader decodes each frame. Every read is checked
// against the data's length, so a truncated or malformed stream ends the walk; no position
// ever moves backwards, so every walk ends.

enum GifBlockKind {
    BlockOther = 0,
    BlockApplication = 1,
    BlockComment = 2,
    BlockControl = 3,
    BlockPlainText = 4,
    BlockImage = 5,
    BlockTrailer = 6,
};

// "GIF87a" or "GIF89a" at the start.
bool IsGifStream(const uint8_t* data, size_t length);

// One graphic block as a complete GIF: the stream's header, screen and global colour table,
// the block, a trailer.
struct GifFrameStream {
    static constexpr uint32_t kNoDelay = 0xFFFFFFFF;  // the block has no control extension

    std::vector<uint8_t> bytes;
    uint32_t width = 0, height = 0;  // from the image descriptor
    uint32_t left = 0, top = 0;
    uint32_t delay = kNoDelay;  // hundredths of a second
    uint32_t disposal = 0;      // 2: restore the background, 3: restore what was under it
};

// Reads the stream `data` (not owned; it must outlive the reader).
class GifReader {
public:
    // A stream too short for its header and global colour table reads as no stream: every
    // operation fails.
    GifReader(const uint8_t* data, size_t length);

    uint32_t ScreenWidth() const;
    uint32_t ScreenHeight() const;
    // Where the first block starts: after the header, screen and global colour table.
    uint32_t FirstBlock() const { return 13 + globalTableBytes; }

    GifBlockKind NextBlockKind() const;
    // Length of the block at readPos; -1 for BlockOther or a block that runs past the end.
    int64_t NextBlockSize() const;
    // Length of the sub-block chain at pos with its terminator; -1 when it runs past the end.
    int64_t SubBlockRunSize(uint64_t pos) const;
    bool StepOverBlock();
    // Moves past the next graphic block: control extensions and other extensions, then one
    // image or plain-text block. False when there is none or the stream is malformed.
    bool StepOverGraphicBlock();
    // The next graphic block as its own stream; nothing at the end or on any failure.
    std::optional<GifFrameStream> TakeFrame();

    const uint8_t* rawData = nullptr;  // null: no stream
    uint32_t dataLength = 0;
    uint32_t readPos = 0;
    uint32_t globalTableBytes = 0;

private:
    bool Has(uint64_t pos, uint64_t count = 1) const { return pos + count <= dataLength; }
    uint32_t Word(uint32_t pos) const { return rawData[pos] | rawData[pos + 1] << 8; }
    // Steps over application, comment and (when `controls`) control extensions; fails at
    // BlockOther, at the trailer when `trailerFails`, or when a step fails.
    bool SkipExtensions(bool controls, bool trailerFails);
};
