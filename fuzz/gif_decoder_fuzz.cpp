// Feeds arbitrary bytes to CGifDecoder: load, compose every frame (and one more, across the
// restart) in both colour orders, restart, compose again.
#include <cstddef>
#include <cstdint>

#include "core/byte_order.h"
#include "misc/gif_decoder.h"

namespace {

// Screens up to this size are composed; larger ones only go through the load, so that the fuzzer
// spends its time in the parser rather than clearing huge canvases.
constexpr uint64_t kMaxFuzzCanvasPixels = 1u << 16;
constexpr int kMaxFuzzFrames = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) return 0;
    if (size >= 10) {
        const uint64_t width = ReadLe16(data + 6);
        const uint64_t height = ReadLe16(data + 8);
        if (width * height > kMaxFuzzCanvasPixels) return 0;
    }
    CGifDecoder decoder;
    if (!decoder.LoadFromGifData(data, static_cast<int>(size))) return 0;
    int frames = decoder.GetFrameCount();
    if (frames > kMaxFuzzFrames) frames = kMaxFuzzFrames;
    for (int i = 0; i <= frames; ++i) decoder.DecNextFrame((i & 1) != 0);
    decoder.ResetGifFrameIndex();
    decoder.DecNextFrame(false);
    volatile uint8_t sink = 0;
    if (const uint8_t* canvas = decoder.GetGifFrameBuffer()) sink = canvas[0];
    (void)sink;
    decoder.Unload();
    return 0;
}
