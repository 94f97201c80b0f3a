#include "ui/gif_reader.h"

#include <cstring>

namespace {

constexpr uint8_t kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;

uint32_t ColourTableBytes(uint8_t packed) {
    return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0;
}

}  // namespace

bool IsGifStream(const uint8_t* data, size_t length) {
    return data && length >= 6 &&
           (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

GifReader::GifReader(const uint8_t* data, size_t length) {
    if (!data || length < 13 || length > UINT32_MAX) return;
    const uint32_t table = ColourTableBytes(data[10]);
    if (length < 13 + table) return;
    rawData = data;
    dataLength = static_cast<uint32_t>(length);
    globalTableBytes = table;
    readPos = FirstBlock();
}

uint32_t GifReader::ScreenWidth() const { return rawData ? Word(6) : 0; }

uint32_t GifReader::ScreenHeight() const { return rawData ? Word(8) : 0; }

GifBlockKind GifReader::NextBlockKind() const {
    if (!rawData || !Has(readPos)) return BlockOther;
    switch (rawData[readPos]) {
        case kImage: return BlockImage;
        case kTrailer: return BlockTrailer;
        case kExtension: break;
        default: return BlockOther;
    }
    if (!Has(readPos + 1)) return BlockOther;
    switch (rawData[readPos + 1]) {
        case 0xFF: return BlockApplication;
        case 0xFE: return BlockComment;
        case 0xF9: return BlockControl;
        case 0x01: return BlockPlainText;
        default: return BlockOther;
    }
}

int64_t GifReader::SubBlockRunSize(uint64_t pos) const {
    int64_t total = 0;
    while (Has(pos) && rawData[pos] != 0) {
        total += rawData[pos] + 1;
        pos += rawData[pos] + 1;
    }
    return Has(pos) ? total + 1 : -1;
}

int64_t GifReader::NextBlockSize() const {
    // The fixed parts have the lengths the format prescribes; their own size bytes are not
    // trusted.
    auto withRun = [this](uint64_t fixed) -> int64_t {
        const int64_t run = SubBlockRunSize(readPos + fixed);
        return run < 0 ? -1 : static_cast<int64_t>(fixed) + run;
    };
    switch (NextBlockKind()) {
        case BlockApplication: return withRun(14);
        case BlockComment: return withRun(2);
        case BlockControl: return Has(readPos, 8) ? 8 : -1;
        case BlockPlainText: return withRun(15);
        case BlockImage:
            if (!Has(readPos, 11)) return -1;
            return withRun(11 + ColourTableBytes(rawData[readPos + 9]));
        case BlockTrailer: return 1;
        case BlockOther: break;
    }
    return -1;
}

bool GifReader::StepOverBlock() {
    if (!rawData) return false;
    const int64_t n = NextBlockSize();
    if (n <= 0 || !Has(readPos, static_cast<uint64_t>(n))) return false;
    readPos += static_cast<uint32_t>(n);
    return true;
}

bool GifReader::SkipExtensions(bool controls, bool trailerFails) {
    for (;;) {
        const GifBlockKind kind = NextBlockKind();
        if (kind == BlockApplication || kind == BlockComment || (controls && kind == BlockControl)) {
            if (!StepOverBlock()) return false;
            continue;
        }
        if (kind == BlockOther || (trailerFails && kind == BlockTrailer)) return false;
        return true;
    }
}

bool GifReader::StepOverGraphicBlock() {
    if (!rawData || !SkipExtensions(false, false)) return false;
    const GifBlockKind kind = NextBlockKind();
    if (kind == BlockTrailer) return false;
    if (kind == BlockControl && (!StepOverBlock() || !SkipExtensions(true, true))) return false;
    return StepOverBlock();  // the image or plain-text block
}

std::optional<GifFrameStream> GifReader::TakeFrame() {
    if (!rawData || !SkipExtensions(false, true)) return std::nullopt;
    GifFrameStream frame;
    const uint32_t start = readPos;
    if (NextBlockKind() == BlockControl) {
        if (!StepOverBlock()) return std::nullopt;
        // Later control extensions of the same graphic block count for nothing.
        frame.delay = Word(start + 4);
        frame.disposal = (rawData[start + 3] >> 2) & 7;
        if (!SkipExtensions(true, true)) return std::nullopt;
    }
    const int64_t blockSize = NextBlockSize();
    if (blockSize < 0) return std::nullopt;
    const uint32_t span = readPos - start + static_cast<uint32_t>(blockSize);
    if (NextBlockKind() == BlockImage) {
        frame.left = Word(readPos + 1);
        frame.top = Word(readPos + 3);
        frame.width = Word(readPos + 5);
        frame.height = Word(readPos + 7);
    }
    if (!StepOverBlock()) return std::nullopt;

    const uint32_t head = FirstBlock();
    frame.bytes.reserve(head + span + 1);
    frame.bytes.assign(rawData, rawData + head);
    frame.bytes.insert(frame.bytes.end(), rawData + start, rawData + start + span);
    frame.bytes.push_back(kTrailer);
    return frame;
}
