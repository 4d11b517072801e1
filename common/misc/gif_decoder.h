// CGifDecoder plays an animated GIF held in memory: it keeps a private copy of the file, counts its
// frames once, and on each DecNextFrame composes the next frame onto a full-size 32-bit canvas,
// honouring the frame's position, transparent colour and disposal method, so that the caller can
// show the canvas and wait the frame's delay. After the last frame it starts again from the first.
// giflib parses the records and decodes the rows, reading from the private copy.
//
// Canvas pixels are 32-bit values, rows top to bottom, the logical screen's width per row: drawn
// pixels are 0xFFRRGGBB, or 0xFFBBGGRR when the caller asks for swapped red and blue; undrawn
// pixels are 0.
//
// Composition of a frame (rectangle left, top, width, height within the logical screen):
// - a frame whose rectangle does not lie inside the logical screen is not drawn and does not undo
//   the previous frame; its image data is skipped so that the following frames still decode;
// - otherwise the previous frame is undone by its disposal method: 3 restores its rectangle from
//   the saved canvas; 2 clears it to 0 when the file uses transparency or has no global colour map,
//   else fills it with the global map's background colour; other methods leave it;
// - pixels whose index is the frame's transparent index, or lies outside the colour map, keep what
//   the canvas holds; interlaced frames are decoded in their four passes;
// - a frame with disposal 1 is then copied into the saved canvas (what disposal 3 restores);
// - a frame without any colour map (neither local nor global) cannot be coloured: it is composed
//   as if every pixel were transparent, and the load logs one line for it.
// A damaged file shows as frames that are not drawn; a file without a trailer counts 0 frames, and
// each DecNextFrame then recomposes the first image.
//
// Logical screens beyond kMaxGifCanvasPixels (common/core/size_limits.h) are refused at load.
//
// Not thread-safe: one thread uses an object at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>
#include "core/common_api.h"

struct GifFileType;

class ORBO_COMMON_API CGifDecoder {
public:
    CGifDecoder();
    virtual ~CGifDecoder();
    CGifDecoder(const CGifDecoder&) = delete;
    CGifDecoder& operator=(const CGifDecoder&) = delete;

    // Loads a GIF from memory (copied). False, with everything unloaded, when the length is 0 or
    // less, the data do not begin with a GIF header, the screen descriptor cannot be read, the
    // logical screen is too large, or memory runs out. On success the frame index is 0 and the
    // delay 100 ms.
    bool LoadFromGifData(const uint8_t* data, int length);
    // Frees the copy and both canvases; clears counters and positions; delay 100 ms.
    void Unload();
    bool IsLoad() const;

    // The logical screen size; 0 when nothing is loaded.
    int GetGifWidth() const;
    int GetGifHeight() const;
    int GetFrameCount() const;
    // Index of the next frame to compose, 0 .. frame count - 1.
    int GetCurFrameIndex() const;
    // The canvas (width x height 32-bit pixels); null when nothing is loaded or the screen is
    // empty.
    uint8_t* GetGifFrameBuffer();
    // Delay of the last graphic control extension read, in milliseconds (100 before any).
    int GetDelayTimeMS() const;

    // Composes the next frame; at frame index 0 the canvas is cleared first. Nothing happens when
    // nothing is loaded.
    void DecNextFrame(bool swapRedBlue);
    // Starts again from the first frame; the next DecNextFrame begins with a cleared canvas.
    void ResetGifFrameIndex();

private:
    struct Rect {
        int left = 0, top = 0, width = 0, height = 0;
    };

    static int ReadFromCopy(GifFileType* gif, uint8_t* buffer, int length);
    bool OpenHandle();
    void CloseHandle();
    void CountFrames();
    void ComposeFrame(bool swap);
    void DrawImage(int disposal, int transparent, bool swap);
    void UndoPrevious(bool swap);
    bool DecodeRows(const Rect& rect, bool interlaced, const uint32_t* palette);
    bool RectInsideCanvas(const Rect& rect) const;

    GifFileType* m_gif = nullptr;
    std::unique_ptr<uint8_t[]> m_data;
    int m_dataSize = 0;
    int m_readPos = 0;
    bool m_hasTransparency = false;
    int m_frameCount = 0;
    int m_frameIndex = 0;
    int m_width = 0;
    int m_height = 0;
    std::unique_ptr<uint32_t[]> m_canvas;
    std::unique_ptr<uint32_t[]> m_savedCanvas;
    int m_prevDisposal = 0;
    Rect m_prevRect;
    int m_delayMs = 0;
    std::vector<uint8_t> m_row;
};
