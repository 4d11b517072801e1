// Internal: the per-pixel compositing rules of the _ARGB functions, one pixel at a time. The
// buffer functions use vector forms of the float rule that give the same results.
#pragma once

#include <cstdint>

// Float rule (AlphaDrawBufferOnBuffer_ARGB): a transparent source keeps the destination, a
// transparent destination takes the source; otherwise, with as = As/255 and ad = Ad/255,
// ao = 1 - (1 - ad)(1 - as), each channel is trunc(d (1 - as) ad / ao + s as / ao) and the
// alpha trunc(ao x 255).
//
// Evaluated as: N = 255^2 - (255 - Ad)(255 - As) (so that ao x 255 = N / 255 exactly, and the
// alpha is the integer quotient), ws = as / ao = 255 As / N, and channel = d + (s - d) ws,
// which is the same expression (the two weights sum to 1) with one division per pixel, and
// which keeps a channel whose source and destination agree exactly as it is.
inline uint32_t BlendArgbFloat(uint32_t d, uint32_t s) {
    const uint32_t as = s >> 24;
    if (as == 0) return d;
    const uint32_t ad = d >> 24;
    const uint32_t n = 65025u - (255u - ad) * (255u - as);
    const float ws = static_cast<float>(as * 255u) / static_cast<float>(n);
    uint32_t out = (n / 255u) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const float dc = static_cast<float>((d >> shift) & 0xFFu);
        const float sc = static_cast<float>((s >> shift) & 0xFFu);
        const float diff = sc - dc;
        const float scaled = diff * ws;
        int v = static_cast<int>(dc + scaled);
        v = v < 0 ? 0 : (v > 255 ? 255 : v);
        out |= static_cast<uint32_t>(v) << shift;
    }
    return out;
}

// Integer rule (AlphaStretchBufferOnBuffer_ARGB): Ao = Ad + As - Ad As / 255, each channel
// d + As (s - d) / Ao, all in integers (division truncating toward zero), kept to 8 bits.
inline uint32_t BlendArgbInteger(uint32_t d, uint32_t s) {
    const int as = static_cast<int>(s >> 24);
    if (as == 0) return d;
    const int ad = static_cast<int>(d >> 24);
    if (ad == 0) return s;
    const int ao = ad + as - ad * as / 255;
    uint32_t out = static_cast<uint32_t>(ao & 0xFF) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const int dc = static_cast<int>((d >> shift) & 0xFFu);
        const int sc = static_cast<int>((s >> shift) & 0xFFu);
        out |= static_cast<uint32_t>((dc + as * (sc - dc) / ao) & 0xFF) << shift;
    }
    return out;
}

// Pen rule (DrawPointByPen): l = (pen pixel alpha x pen alpha) >> 8; over a transparent
// destination the pen pixel is copied unchanged; otherwise Ao = Ad + l - l Ad / 255 and each
// channel d + l (s - d) / Ao, all clamped to [0, 255].
inline uint32_t BlendPen(uint32_t d, uint32_t s, int penAlpha) {
    const int ad = static_cast<int>(d >> 24);
    if (ad == 0) return s;
    const int l = (static_cast<int>(s >> 24) * penAlpha) >> 8;
    int ao = ad + l - l * ad / 255;
    auto clamp = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
    uint32_t out = static_cast<uint32_t>(clamp(ao)) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const int dc = static_cast<int>((d >> shift) & 0xFFu);
        const int sc = static_cast<int>((s >> shift) & 0xFFu);
        out |= static_cast<uint32_t>(clamp(dc + l * (sc - dc) / ao)) << shift;
    }
    return out;
}
