#include "gif_decoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "core/dbg_output.h"
#include "core/size_limits.h"

namespace {

constexpr int kDefaultDelayMs = 100;
constexpr int kDelayUnitMs = 10;
constexpr int kGraphicControlBlockBytes = 4;
constexpr int kNoTransparentIndex = -1;
constexpr uint32_t kOpaque = 0xFF000000u;
// Interlaced rows come in four passes: first rows and row steps.
constexpr int kInterlaceStart[4] = {0, 4, 2, 1};
constexpr int kInterlaceStep[4] = {8, 8, 4, 2};

uint32_t CanvasColour(const GifColorType& c, bool swap) {
    if (swap) return kOpaque | (uint32_t(c.Blue) << 16) | (uint32_t(c.Green) << 8) | c.Red;
    return kOpaque | (uint32_t(c.Red) << 16) | (uint32_t(c.Green) << 8) | c.Blue;
}

// Reads over an image's compressed data without decoding it.
bool SkipImageData(GifFileType* gif) {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) return false;
    while (block) {
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

// Reads over the remaining blocks of an extension.
bool SkipExtensionBlocks(GifFileType* gif, GifByteType* block) {
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

bool IsGraphicControl(int code, const GifByteType* block) {
    return code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == kGraphicControlBlockBytes;
}

}  // namespace

CGifDecoder::CGifDecoder() : m_delayMs(kDefaultDelayMs) {}

CGifDecoder::~CGifDecoder() {
    Unload();
}

int CGifDecoder::ReadFromCopy(GifFileType* gif, uint8_t* buffer, int length) {
    auto* self = static_cast<CGifDecoder*>(gif->UserData);
    if (!self || length <= 0) return 0;
    int count = std::min(length, self->m_dataSize - self->m_readPos);
    std::memcpy(buffer, self->m_data.get() + self->m_readPos, static_cast<size_t>(count));
    self->m_readPos += count;
    return count;
}

void CGifDecoder::CloseHandle() {
    if (!m_gif) return;
    int error = 0;
    DGifCloseFile(m_gif, &error);
    m_gif = nullptr;
}

// Opens giflib on the copy from its first byte; the header, the logical screen descriptor and the
// global colour map are read, so the handle stands at the first record. Restarting the record
// stream always reopens: giflib keeps a descriptor per image read, which would otherwise grow
// without bound over the cycles of an animation.
bool CGifDecoder::OpenHandle() {
    CloseHandle();
    m_readPos = 0;
    int error = 0;
    m_gif = DGifOpen(this, ReadFromCopy, &error);
    if (!m_gif) {
        const char* reason = GifErrorString(error);
        DbgOutputA(kDbgLevelWarning, "CGifDecoder: cannot open the GIF data (%d bytes): %s\r\n",
                   m_dataSize, reason ? reason : "unknown error");
        return false;
    }
    return true;
}

bool CGifDecoder::LoadFromGifData(const uint8_t* data, int length) {
    Unload();
    if (!data || length <= 0) {
        DbgOutputA(kDbgLevelWarning, "CGifDecoder: no GIF data to load (length %d)\r\n", length);
        return false;
    }
    m_data.reset(new (std::nothrow) uint8_t[static_cast<size_t>(length)]);
    if (!m_data) {
        DbgOutputA(kDbgLevelError, "CGifDecoder: no memory for a copy of %d bytes\r\n", length);
        return false;
    }
    std::memcpy(m_data.get(), data, static_cast<size_t>(length));
    m_dataSize = length;
    if (!OpenHandle()) {
        Unload();
        return false;
    }
    m_width = m_gif->SWidth;
    m_height = m_gif->SHeight;
    uint64_t pixels = uint64_t(std::max(m_width, 0)) * uint64_t(std::max(m_height, 0));
    if (m_width < 0 || m_height < 0 || pixels > kMaxGifCanvasPixels) {
        DbgOutputA(kDbgLevelWarning,
                   "CGifDecoder: logical screen %dx%d exceeds the limit of %llu pixels\r\n",
                   m_width, m_height, static_cast<unsigned long long>(kMaxGifCanvasPixels));
        Unload();
        return false;
    }

    CountFrames();
    if (!OpenHandle()) {
        Unload();
        return false;
    }

    m_frameIndex = 0;
    if (pixels > 0) {
        // A canvas that cannot be allocated stays absent and nothing is drawn into it.
        m_canvas.reset(new (std::nothrow) uint32_t[pixels]());
        m_savedCanvas.reset(new (std::nothrow) uint32_t[pixels]());
        if (!m_canvas || !m_savedCanvas) {
            DbgOutputA(kDbgLevelError, "CGifDecoder: no memory for %dx%d canvases\r\n", m_width,
                       m_height);
        }
    }
    m_prevDisposal = 0;
    m_prevRect = Rect{};
    m_delayMs = kDefaultDelayMs;
    return true;
}

void CGifDecoder::CountFrames() {
    int count = 0;
    int frame = 0;
    m_hasTransparency = false;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(m_gif, &type) == GIF_ERROR) {
            count = 0;
            break;
        }
        if (type == TERMINATE_RECORD_TYPE) break;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(m_gif) == GIF_ERROR) {
                count = 0;
                continue;
            }
            ++count;
            if (!m_gif->Image.ColorMap && !m_gif->SColorMap) {
                DbgOutputA(kDbgLevelWarning,
                           "CGifDecoder: frame %d has no colour map; it is composed as "
                           "transparent\r\n",
                           frame);
            }
            ++frame;
            if (!SkipImageData(m_gif)) count = 0;
        } else if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(m_gif, &code, &block) == GIF_ERROR) {
                count = 0;
                continue;
            }
            if (IsGraphicControl(code, block) && (block[1] & 0x01)) m_hasTransparency = true;
            if (!SkipExtensionBlocks(m_gif, block)) count = 0;
        } else {
            count = 0;
            break;
        }
    }
    m_frameCount = count;
}

void CGifDecoder::Unload() {
    CloseHandle();
    m_data.reset();
    m_dataSize = 0;
    m_readPos = 0;
    m_hasTransparency = false;
    m_frameCount = 0;
    m_frameIndex = 0;
    m_width = 0;
    m_height = 0;
    m_canvas.reset();
    m_savedCanvas.reset();
    m_prevDisposal = 0;
    m_prevRect = Rect{};
    m_delayMs = kDefaultDelayMs;
    m_row.clear();
    m_row.shrink_to_fit();
}

bool CGifDecoder::IsLoad() const {
    return m_gif != nullptr;
}

int CGifDecoder::GetGifWidth() const {
    return m_gif ? m_width : 0;
}

int CGifDecoder::GetGifHeight() const {
    return m_gif ? m_height : 0;
}

int CGifDecoder::GetFrameCount() const {
    return m_frameCount;
}

int CGifDecoder::GetCurFrameIndex() const {
    return m_frameIndex;
}

uint8_t* CGifDecoder::GetGifFrameBuffer() {
    return m_gif ? reinterpret_cast<uint8_t*>(m_canvas.get()) : nullptr;
}

int CGifDecoder::GetDelayTimeMS() const {
    return m_delayMs;
}

void CGifDecoder::ResetGifFrameIndex() {
    if (!m_gif) return;
    OpenHandle();
    m_frameIndex = 0;
}

void CGifDecoder::DecNextFrame(bool swapRedBlue) {
    if (!m_gif) return;
    if (m_frameIndex == 0) {
        size_t pixels = size_t(m_width) * size_t(m_height);
        if (m_canvas) std::fill_n(m_canvas.get(), pixels, 0u);
        if (m_savedCanvas) std::fill_n(m_savedCanvas.get(), pixels, 0u);
        m_prevDisposal = 0;
        m_prevRect = Rect{};
    }
    ComposeFrame(swapRedBlue);
    if (m_frameCount > 0) m_frameIndex = (m_frameIndex + 1) % m_frameCount;
    if (m_frameIndex == 0) {
        // Back to the first record. Should reopening fail (no memory), the decoder answers as
        // unloaded from now on.
        OpenHandle();
        m_prevDisposal = 0;
    }
}

void CGifDecoder::ComposeFrame(bool swap) {
    int transparent = kNoTransparentIndex;
    int disposal = 0;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(m_gif, &type) == GIF_ERROR) break;
        if (type == TERMINATE_RECORD_TYPE) continue;  // the next read fails and ends the call
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(m_gif) == GIF_ERROR) break;
            DrawImage(disposal, transparent, swap);
            return;
        }
        if (type != EXTENSION_RECORD_TYPE) break;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(m_gif, &code, &block) == GIF_ERROR) break;
        if (IsGraphicControl(code, block)) {
            disposal = (block[1] >> 2) & 0x07;
            transparent = (block[1] & 0x01) ? block[4] : kNoTransparentIndex;
            m_delayMs = (block[2] + 256 * block[3]) * kDelayUnitMs;
        }
        if (!SkipExtensionBlocks(m_gif, block)) break;
    }
    m_prevRect = Rect{};
}

bool CGifDecoder::RectInsideCanvas(const Rect& r) const {
    return r.left >= 0 && r.top >= 0 && r.width >= 0 && r.height >= 0 &&
           int64_t(r.left) + r.width <= m_width && int64_t(r.top) + r.height <= m_height;
}

void CGifDecoder::DrawImage(int disposal, int transparent, bool swap) {
    const GifImageDesc& desc = m_gif->Image;
    Rect rect{desc.Left, desc.Top, desc.Width, desc.Height};
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : m_gif->SColorMap;
    bool drawn = false;
    if (RectInsideCanvas(rect)) {
        UndoPrevious(swap);
        if (map && m_canvas && rect.width > 0 && rect.height > 0) {
            // Index -> canvas colour, 0 for indices that keep the canvas (transparent or outside
            // the map); drawn colours always carry alpha 0xFF, so 0 is never a real colour.
            uint32_t palette[256] = {};
            int colours = std::min(map->ColorCount, 256);
            for (int i = 0; i < colours; ++i) palette[i] = CanvasColour(map->Colors[i], swap);
            if (transparent >= 0 && transparent < 256) palette[transparent] = 0;
            DecodeRows(rect, desc.Interlace, palette);
            drawn = true;
        }
        if (disposal == 1 && m_canvas && m_savedCanvas) {
            for (int y = rect.top; y < rect.top + rect.height; ++y) {
                size_t offset = size_t(y) * size_t(m_width) + size_t(rect.left);
                std::copy_n(m_canvas.get() + offset, rect.width, m_savedCanvas.get() + offset);
            }
        }
    }
    // An image that was not decoded is read over so that the next frame's records follow.
    if (!drawn) SkipImageData(m_gif);
    m_prevDisposal = disposal;
    m_prevRect = rect;
}

void CGifDecoder::UndoPrevious(bool swap) {
    const Rect& r = m_prevRect;
    if (!m_canvas || !RectInsideCanvas(r) || r.width == 0 || r.height == 0) return;
    if (m_prevDisposal == 3 && m_savedCanvas) {
        for (int y = r.top; y < r.top + r.height; ++y) {
            size_t offset = size_t(y) * size_t(m_width) + size_t(r.left);
            std::copy_n(m_savedCanvas.get() + offset, r.width, m_canvas.get() + offset);
        }
    } else if (m_prevDisposal == 2) {
        uint32_t background = 0;
        const ColorMapObject* global = m_gif->SColorMap;
        // A background index outside the map is treated as transparent.
        if (!m_hasTransparency && global && m_gif->SBackGroundColor >= 0 &&
            m_gif->SBackGroundColor < global->ColorCount) {
            background = CanvasColour(global->Colors[m_gif->SBackGroundColor], swap);
        }
        for (int y = r.top; y < r.top + r.height; ++y) {
            size_t offset = size_t(y) * size_t(m_width) + size_t(r.left);
            std::fill_n(m_canvas.get() + offset, r.width, background);
        }
    }
}

bool CGifDecoder::DecodeRows(const Rect& rect, bool interlaced, const uint32_t* palette) {
    m_row.resize(size_t(rect.width));
    auto drawRow = [&](int y) {
        uint32_t* out = m_canvas.get() + size_t(rect.top + y) * size_t(m_width) + size_t(rect.left);
        for (int x = 0; x < rect.width; ++x) {
            uint32_t colour = palette[m_row[size_t(x)]];
            if (colour) out[x] = colour;
        }
    };
    if (interlaced) {
        bool complete = true;
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kInterlaceStart[pass]; y < rect.height; y += kInterlaceStep[pass]) {
                if (DGifGetLine(m_gif, m_row.data(), rect.width) == GIF_ERROR) {
                    complete = false;
                    break;
                }
                drawRow(y);
            }
        }
        return complete;
    }
    for (int y = 0; y < rect.height; ++y) {
        if (DGifGetLine(m_gif, m_row.data(), rect.width) == GIF_ERROR) return false;
        drawRow(y);
    }
    return true;
}
