// Fuzz target: any bytes through the GIF frame splitter. Besides the sanitizers' checks, the
// two walks must agree, and every frame must itself read as a stream of exactly one frame.
#include <cstdint>
#include <cstdlib>

#include "ui/gif_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GifReader counter(data, size);
    int blocks = 0;
    while (counter.StepOverGraphicBlock()) ++blocks;

    GifReader reader(data, size);
    int frames = 0;
    while (auto frame = reader.TakeFrame()) {
        ++frames;
        GifReader again(frame->bytes.data(), frame->bytes.size());
        if (!again.StepOverGraphicBlock() || again.StepOverGraphicBlock()) std::abort();
    }
    if (frames != blocks) std::abort();
    return 0;
}
