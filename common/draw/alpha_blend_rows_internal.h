// Internal: the float compositing rule of AlphaDrawBufferOnBuffer_ARGB over a row of pixels,
// in every form this processor can run. All forms give exactly the results of BlendArgbFloat
// (alpha_blend_internal.h); the fastest is chosen once, when the library is loaded.
#pragma once

#include <cstdint>

using BlendArgbRowFn = void (*)(uint32_t* dst, const uint32_t* src, int64_t count);

// Composites count source pixels over the destination pixels with the float rule.
void BlendArgbRow(uint32_t* dst, const uint32_t* src, int64_t count);

// One pixel at a time.
void BlendArgbRowScalar(uint32_t* dst, const uint32_t* src, int64_t count);

// The forms available here, slowest first, ending with a null entry: the one-pixel form, then
// (on x86) SSE2 and, when the processor has it, AVX2. For tests and benchmarks.
const BlendArgbRowFn* BlendArgbRowVariants();
