#include "misc/cpu_features.h"

#include <gtest/gtest.h>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/dbg_output.h"
#include "support/log_capture.h"

namespace {

// Collects the information lines written during a test.
class CpuidTest : public ::testing::Test {
protected:
    std::vector<std::string> Lines() const { return m_log.Texts(); }
    LogCapture m_log{{.level = kDbgLevelInfo}};

    static bool EndsWith(const std::string& line, const std::string& tail) {
        return line.size() >= tail.size() &&
               line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    }
};

// The first processor's "key : value" lines of /proc/cpuinfo.
std::map<std::string, std::string> CpuInfo() {
    std::map<std::string, std::string> fields;
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line) && !line.empty()) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
        std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
        fields[key] = value;
    }
    return fields;
}

using Query = bool (CPUID::*)();

struct FeatureCase {
    Query query;
    const char* name;      // in the debug line
    const char* procFlag;  // in /proc/cpuinfo
};

const FeatureCase kFeatures[] = {
    {&CPUID::IsHyperThreading, "HyperThreading", "ht"},
    {&CPUID::IsEST, "EST", "est"},
    {&CPUID::IsMMX, "MMX", "mmx"},
    {&CPUID::IsSSE, "SSE", "sse"},
    {&CPUID::IsSSE2, "SSE2", "sse2"},
    {&CPUID::IsSSE3, "SSE3", "pni"},
    {&CPUID::IsSSE4_1, "SSE4.1", "sse4_1"},
    {&CPUID::IsSSE4_2, "SSE4.2", "sse4_2"},
    {&CPUID::IsAVX2, "AVX2", "avx2"},
    {&CPUID::IsAVX512, "AVX512", "avx512f"},
};

#if defined(__x86_64__)

// The brand as the compiler's own cpuid helper reads it, independent of the class under test
// and of the kernel: a hypervisor may give /proc/cpuinfo a "model name" of its own choosing.
std::string BrandFromCompilerCpuid() {
    if (__get_cpuid_max(0x80000000, nullptr) < 0x80000004) return "";
    std::array<unsigned int, 12> regs{};
    for (unsigned int i = 0; i < 3; ++i) {
        if (!__get_cpuid(0x80000002 + i, &regs[4 * i], &regs[4 * i + 1], &regs[4 * i + 2],
                         &regs[4 * i + 3])) {
            return "";
        }
    }
    char text[49] = {};
    std::memcpy(text, regs.data(), 48);
    return text;
}

std::string VendorFromCompilerCpuid() {
    unsigned int highest = 0;
    std::array<unsigned int, 3> regs{};  // EBX, EDX, ECX: the vendor text in that order
    if (!__get_cpuid(0, &highest, &regs[0], &regs[2], &regs[1])) return "";
    char text[13] = {};
    std::memcpy(text, regs.data(), 12);
    return text;
}

TEST_F(CpuidTest, VendorMatchesProcCpuinfoAndBrandMatchesTheInstruction) {
    const auto info = CpuInfo();
    ASSERT_TRUE(info.count("vendor_id")) << "no vendor_id in /proc/cpuinfo";
    CPUID cpu;
    CBaseStringA vendor;
    cpu.GetVID(vendor);
    EXPECT_EQ(std::string(vendor.GetString()), info.at("vendor_id"));
    EXPECT_EQ(std::string(vendor.GetString()), VendorFromCompilerCpuid());
    EXPECT_EQ(vendor.GetLength(), 12);

    CBaseStringA brand;
    cpu.GetBrand(brand);
    EXPECT_EQ(std::string(brand.GetString()), BrandFromCompilerCpuid());
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_TRUE(EndsWith(Lines()[0], "CPU_VID:" + info.at("vendor_id") + "\r\n")) << Lines()[0];
    EXPECT_TRUE(EndsWith(Lines()[1], std::string("CPU_Brand:") + brand.GetString() + "\r\n"))
        << Lines()[1];
}

TEST_F(CpuidTest, FeaturesMatchProcCpuinfoFlagsWithOneLineEach) {
    std::set<std::string> flags;
    std::istringstream words(CpuInfo()["flags"]);
    for (std::string word; words >> word;) flags.insert(word);
    ASSERT_FALSE(flags.empty()) << "no flags in /proc/cpuinfo";
    CPUID cpu;
    for (const auto& f : kFeatures) {
        m_log.Clear();
        const bool has = (cpu.*f.query)();
        EXPECT_EQ(has, flags.count(f.procFlag) == 1) << f.name;
        ASSERT_EQ(Lines().size(), 1u) << f.name;
        const std::string message = std::string(has ? "support " : "don't support ") + f.name;
        EXPECT_TRUE(EndsWith(Lines()[0], "]=> " + message + "\r\n")) << Lines()[0];
    }
}

#endif

TEST_F(CpuidTest, VendorIsStoredOnlyWhenItDiffersIgnoringCase) {
    CPUID cpu([](uint32_t leaf, uint32_t, uint32_t regs[4]) {
        const uint32_t values[4] = {leaf == 0 ? 1u : 0u, 0x756E6547, 0x6C65746E, 0x49656E69};
        std::copy(values, values + 4, regs);  // "GenuineIntel" for leaf 0
        return true;
    });
    CBaseStringA vendor("genuineintel");
    cpu.GetVID(vendor);
    EXPECT_STREQ(vendor.GetString(), "genuineintel");
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_TRUE(EndsWith(Lines()[0], "CPU_VID:genuineintel\r\n")) << Lines()[0];
    CBaseStringA other("Something");
    cpu.GetVID(other);
    EXPECT_STREQ(other.GetString(), "GenuineIntel");
}

// A modelled processor: registers per leaf, with the highest basic and extended leaves as given.
struct ModelProcessor {
    std::map<uint32_t, std::array<uint32_t, 4>> leaves;

    CPUID::Instruction Instruction() const {
        return [this](uint32_t leaf, uint32_t, uint32_t regs[4]) {
            const auto it = leaves.find(leaf);
            // Leaves beyond the highest ones answer garbage on real processors, too.
            const std::array<uint32_t, 4> junk = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
            const auto& values = it != leaves.end() ? it->second : junk;
            std::copy(values.begin(), values.end(), regs);
            return true;
        };
    }
};

TEST_F(CpuidTest, AvxWithoutAvx2AnswersNo) {
    ModelProcessor cpu;
    cpu.leaves[0] = {7, 0, 0, 0};
    cpu.leaves[1] = {0, 0, 1u << 28, 0};  // AVX (ECX bit 28) only
    cpu.leaves[7] = {0, 0, 0, 0};
    CPUID query(cpu.Instruction());
    EXPECT_FALSE(query.IsAVX2());
    EXPECT_FALSE(query.IsAVX512());
    cpu.leaves[7] = {0, (1u << 5) | (1u << 16), 0, 0};
    EXPECT_TRUE(query.IsAVX2());
    EXPECT_TRUE(query.IsAVX512());
}

TEST_F(CpuidTest, LeavesBeyondTheHighestAreNotAsked) {
    ModelProcessor cpu;
    cpu.leaves[0] = {1, 0x68747541, 0x444D4163,
                     0x69746E65};                    // highest basic leaf 1, "AuthenticAMD"
    cpu.leaves[1] = {0, 0, 0x00180001, 0x1C800000};  // SSE3, SSE4.x; MMX, SSE, SSE2, HT
    cpu.leaves[0x80000000] = {0x80000001, 0, 0, 0};  // no brand leaves
    CPUID query(cpu.Instruction());
    EXPECT_FALSE(query.IsAVX2());  // leaf 7 would answer all ones
    EXPECT_FALSE(query.IsAVX512());
    EXPECT_TRUE(query.IsSSE2());
    EXPECT_TRUE(query.IsSSE4_2());
    EXPECT_FALSE(query.IsEST());
    CBaseStringA brand("old");
    query.GetBrand(brand);
    EXPECT_STREQ(brand.GetString(), "");
    CBaseStringA vendor;
    query.GetVID(vendor);
    EXPECT_STREQ(vendor.GetString(), "AuthenticAMD");
}

TEST_F(CpuidTest, BrandIsTheFortyEightBytesUpToTheFirstZero) {
    ModelProcessor cpu;
    cpu.leaves[0] = {1, 0, 0, 0};
    cpu.leaves[0x80000000] = {0x80000004, 0, 0, 0};
    const char text[49] = "  Model Processor 9000 @ 3.00GHz";
    for (int i = 0; i < 3; ++i) {
        std::array<uint32_t, 4> regs;
        std::memcpy(regs.data(), text + 16 * i, 16);
        cpu.leaves[0x80000002 + i] = regs;
    }
    CPUID query(cpu.Instruction());
    CBaseStringA brand;
    query.GetBrand(brand);
    EXPECT_STREQ(brand.GetString(), "  Model Processor 9000 @ 3.00GHz");
}

TEST_F(CpuidTest, WithoutTheInstructionEveryQueryAnswersNoOrEmpty) {
    CPUID query([](uint32_t, uint32_t, uint32_t regs[4]) {
        regs[0] = regs[1] = regs[2] = regs[3] = 0xFFFFFFFF;
        return false;
    });
    for (const auto& f : kFeatures) EXPECT_FALSE((query.*f.query)()) << f.name;
    CBaseStringA vendor("x");
    query.GetVID(vendor);
    EXPECT_STREQ(vendor.GetString(), "");
    CBaseStringA brand("y");
    query.GetBrand(brand);
    EXPECT_STREQ(brand.GetString(), "");
    EXPECT_EQ(Lines().size(), std::size(kFeatures) + 2);
}

}  // namespace
