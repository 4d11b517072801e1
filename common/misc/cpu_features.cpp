#include "cpu_features.h"

#include <cstring>

#include "core/dbg_output.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

constexpr uint32_t kExtendedLeaves = 0x80000000;
constexpr uint32_t kBrandLeaves[] = {0x80000002, 0x80000003, 0x80000004};
constexpr size_t kBrandBytes = 48;

bool HardwareCpuid(uint32_t leaf, uint32_t subLeaf, uint32_t regs[4]) {
#if defined(__x86_64__) || defined(__i386__)
    // __get_cpuid_max answers 0 when the instruction itself is missing (only possible on
    // early 32-bit processors).
    if (__get_cpuid_max(0, nullptr) == 0) return false;
    __cpuid_count(leaf, subLeaf, regs[0], regs[1], regs[2], regs[3]);
    return true;
#else
    (void)leaf;
    (void)subLeaf;
    (void)regs;
    return false;
#endif
}

}  // namespace

CPUID::CPUID() : m_instruction(HardwareCpuid) {}

CPUID::CPUID(Instruction instruction)
    : m_instruction(instruction ? std::move(instruction) : Instruction(HardwareCpuid)) {}

bool CPUID::Executecpuid(uint32_t leaf) {
    std::memset(m_registers, 0, sizeof(m_registers));
    const uint32_t range = leaf & kExtendedLeaves;
    uint32_t highest[4] = {};
    if (!m_instruction(range, 0, highest) || leaf > highest[kEax] ||
        (highest[kEax] & kExtendedLeaves) != range) {
        return false;
    }
    if (!m_instruction(leaf, 0, m_registers)) {
        std::memset(m_registers, 0, sizeof(m_registers));
        return false;
    }
    return true;
}

void CPUID::GetVID(CBaseStringA& out) {
    char vendor[13] = {};
    if (Executecpuid(0)) {
        std::memcpy(vendor, &m_registers[kEbx], 4);
        std::memcpy(vendor + 4, &m_registers[kEdx], 4);
        std::memcpy(vendor + 8, &m_registers[kEcx], 4);
    }
    out.Set(vendor, static_cast<int>(strnlen(vendor, 12)));
    DbgOutputA(kDbgLevelInfo, "CPU_VID:%s\r\n", out.GetString());
}

void CPUID::GetBrand(CBaseStringA& out) {
    char brand[kBrandBytes + 1] = {};
    size_t at = 0;
    for (uint32_t leaf : kBrandLeaves) {
        if (!Executecpuid(leaf)) {
            at = 0;
            break;
        }
        std::memcpy(brand + at, m_registers, sizeof(m_registers));
        at += sizeof(m_registers);
    }
    out.Set(brand, static_cast<int>(strnlen(brand, at)));
    DbgOutputA(kDbgLevelInfo, "CPU_Brand:%s\r\n", out.GetString());
}

bool CPUID::Feature(uint32_t leaf, Register reg, int bit, const char* name) {
    const bool has = Executecpuid(leaf) && ((m_registers[reg] >> bit) & 1u) != 0;
    DbgOutputA(kDbgLevelInfo, has ? "support %s\r\n" : "don't support %s\r\n", name);
    return has;
}

bool CPUID::IsHyperThreading() {
    return Feature(1, kEdx, 28, "HyperThreading");
}
bool CPUID::IsEST() {
    return Feature(1, kEcx, 7, "EST");
}
bool CPUID::IsMMX() {
    return Feature(1, kEdx, 23, "MMX");
}
bool CPUID::IsSSE() {
    return Feature(1, kEdx, 25, "SSE");
}
bool CPUID::IsSSE2() {
    return Feature(1, kEdx, 26, "SSE2");
}
bool CPUID::IsSSE3() {
    return Feature(1, kEcx, 0, "SSE3");
}
bool CPUID::IsSSE4_1() {
    return Feature(1, kEcx, 19, "SSE4.1");
}
bool CPUID::IsSSE4_2() {
    return Feature(1, kEcx, 20, "SSE4.2");
}
bool CPUID::IsAVX2() {
    return Feature(7, kEbx, 5, "AVX2");
}
bool CPUID::IsAVX512() {
    return Feature(7, kEbx, 16, "AVX512");
}
