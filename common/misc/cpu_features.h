// CPUID: asks the x86 processor's identification instruction for the vendor, the brand text and
// a set of instruction-set features. Every query writes exactly one debug line (level 2) with
// its answer.
//
// Before a leaf is asked, the highest supported leaf of its range (basic or extended) is read;
// a leaf beyond it, a processor without the instruction, or a build for another architecture
// answers "no" for features and an empty text for vendor and brand.
//
// An object is not guarded: one thread at a time (it keeps the registers of its last query).
#pragma once

#include <cstdint>
#include <functional>

#include "core/base_string.h"
#include "core/common_api.h"

class ORBO_COMMON_API CPUID {
public:
    // The identification instruction: fills EAX, EBX, ECX, EDX of (leaf, sub-leaf) and returns
    // true, or returns false when the processor has no such instruction. Tests model processors
    // with it; the default is the real instruction.
    using Instruction = std::function<bool(uint32_t leaf, uint32_t subLeaf, uint32_t regs[4])>;

    CPUID();
    explicit CPUID(Instruction instruction);

    // The 12-character vendor text (e.g. "GenuineIntel"); "CPU_VID:%s\r\n". Like the brand, the
    // text is stored only when it differs, ignoring case, from what `out` holds; the line shows
    // the string's content either way.
    void GetVID(CBaseStringA& out);
    // The brand text of up to 48 bytes, as the processor gives it (leading spaces included);
    // "CPU_Brand:%s\r\n".
    void GetBrand(CBaseStringA& out);

    // Each writes "support NAME\r\n" or "don't support NAME\r\n".
    bool IsHyperThreading();  // leaf 1, EDX bit 28 ("HyperThreading")
    bool IsEST();             // leaf 1, ECX bit 7
    bool IsMMX();             // leaf 1, EDX bit 23
    bool IsSSE();             // leaf 1, EDX bit 25
    bool IsSSE2();            // leaf 1, EDX bit 26
    bool IsSSE3();            // leaf 1, ECX bit 0
    bool IsSSE4_1();          // leaf 1, ECX bit 19 ("SSE4.1")
    bool IsSSE4_2();          // leaf 1, ECX bit 20 ("SSE4.2")
    bool IsAVX2();            // leaf 7 sub-leaf 0, EBX bit 5
    bool IsAVX512();          // leaf 7 sub-leaf 0, EBX bit 16 (the foundation set)

private:
    enum Register { kEax, kEbx, kEcx, kEdx };

    // Asks the leaf with sub-leaf 0 into the registers; false (registers 0) when the leaf is
    // beyond the highest supported one or there is no instruction.
    bool Executecpuid(uint32_t leaf);
    bool Feature(uint32_t leaf, Register reg, int bit, const char* name);

    Instruction m_instruction;
    uint32_t m_registers[4] = {};  // EAX, EBX, ECX, EDX of the last query
};
