#include "crc16.h"

#include "core/byte_order.h"
#include "crc_bits_internal.h"

namespace {

struct Crc16Set {
    uint16_t poly;
    uint16_t init;
    int reflected;
    uint16_t finalXor;
};

// Catalogue values: the initial value is given for the unreflected register.
constexpr Crc16Set kUsb{0x8005, 0xFFFF, 1, 0xFFFF};
constexpr Crc16Set kModbus{0x8005, 0xFFFF, 1, 0x0000};
constexpr Crc16Set kDds110{0x8005, 0x800D, 0, 0x0000};
constexpr Crc16Set kCcittFalse{0x1021, 0xFFFF, 0, 0x0000};
constexpr Crc16Set kRiello{0x1021, 0xB2AA, 1, 0x0000};
constexpr Crc16Set kCdma2000{0xC867, 0xFFFF, 0, 0x0000};
constexpr Crc16Set kDectR{0x0589, 0x0000, 0, 0x0001};
constexpr Crc16Set kDectX{0x0589, 0x0000, 0, 0x0000};
constexpr Crc16Set kDnp{0x3D65, 0x0000, 1, 0xFFFF};
constexpr Crc16Set kEn13757{0x3D65, 0x0000, 0, 0xFFFF};
constexpr Crc16Set kT10Dif{0x8BB7, 0x0000, 0, 0x0000};
constexpr Crc16Set kTeledisk{0xA097, 0x0000, 0, 0x0000};

inline uint16_t UpdateReflected(const uint16_t* table, uint16_t reg, uint8_t byte) {
    return static_cast<uint16_t>((reg >> 8) ^ table[(reg ^ byte) & 0xFF]);
}

inline uint16_t UpdateDirect(const uint16_t* table, uint16_t reg, uint8_t byte) {
    return static_cast<uint16_t>((reg << 8) ^ table[((reg >> 8) ^ byte) & 0xFF]);
}

uint16_t InitialRegister(uint16_t init, int initAsIs) {
    return initAsIs ? init : static_cast<uint16_t>(ReverseBits(init, 16));
}

}  // namespace

void InitCRC16Table(uint16_t poly, int reflected, uint16_t table[256]) {
    if (table == nullptr) return;
    if (reflected) {
        const uint16_t p = static_cast<uint16_t>(ReverseBits(poly, 16));
        for (uint32_t i = 0; i < 256; ++i) {
            uint16_t b = static_cast<uint16_t>(i);
            for (int k = 0; k < 8; ++k) b = (b & 1) ? static_cast<uint16_t>((b >> 1) ^ p) : b >> 1;
            table[i] = b;
        }
    } else {
        for (uint32_t i = 0; i < 256; ++i) {
            uint16_t b = static_cast<uint16_t>(i << 8);
            for (int k = 0; k < 8; ++k) {
                b = (b & 0x8000) ? static_cast<uint16_t>((b << 1) ^ poly)
                                 : static_cast<uint16_t>(b << 1);
            }
            table[i] = b;
        }
    }
}

uint16_t CalculateCRC16(const uint16_t* table, uint16_t init, int initAsIs, int reflected,
                        uint16_t finalXor, const void* data, uint32_t length) {
    if (table == nullptr) return 0;
    uint16_t reg = InitialRegister(init, initAsIs);
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (bytes != nullptr) {
        if (reflected) {
            for (uint32_t i = 0; i < length; ++i) reg = UpdateReflected(table, reg, bytes[i]);
        } else {
            for (uint32_t i = 0; i < length; ++i) reg = UpdateDirect(table, reg, bytes[i]);
        }
    }
    return static_cast<uint16_t>(reg ^ finalXor);
}

CCRC16::CCRC16() {
    SetPolyParameter_MODBUS();
}

void CCRC16::SetPolyParameter(uint16_t poly, uint16_t init, int initAsIs, int reflected,
                              uint16_t finalXor) {
    m_initial = InitialRegister(init, initAsIs);
    m_current = m_initial;
    m_initAsIs = initAsIs;
    m_reflected = reflected;
    m_finalXor = finalXor;
    InitCRC16Table(poly, reflected, m_table[0]);
    for (int slice = 1; slice < kSlices; ++slice) {
        for (int i = 0; i < 256; ++i) {
            const uint16_t prev = m_table[slice - 1][i];
            m_table[slice][i] = reflected ? UpdateReflected(m_table[0], prev, 0)
                                          : UpdateDirect(m_table[0], prev, 0);
        }
    }
}

void CCRC16::AppendData(const void* data, int length) {
    if (data == nullptr || length <= 0) return;
    const auto* p = static_cast<const uint8_t*>(data);
    size_t left = static_cast<size_t>(length);
    uint16_t reg = m_current;
    const auto& t = m_table;
    if (m_reflected) {
        // The register overlaps the first two bytes of each 8-byte group (little-endian order).
        for (; left >= 8; left -= 8, p += 8) {
            const uint64_t v = ReadLe64(p) ^ reg;
            reg = t[7][v & 0xFF] ^ t[6][(v >> 8) & 0xFF] ^ t[5][(v >> 16) & 0xFF] ^
                  t[4][(v >> 24) & 0xFF] ^ t[3][(v >> 32) & 0xFF] ^ t[2][(v >> 40) & 0xFF] ^
                  t[1][(v >> 48) & 0xFF] ^ t[0][v >> 56];
        }
        for (; left > 0; --left) reg = UpdateReflected(t[0], reg, *p++);
    } else {
        // The register overlaps the first two bytes of each 8-byte group (big-endian order).
        for (; left >= 8; left -= 8, p += 8) {
            const uint64_t v = LoadBigEndian64(p) ^ (static_cast<uint64_t>(reg) << 48);
            reg = t[7][v >> 56] ^ t[6][(v >> 48) & 0xFF] ^ t[5][(v >> 40) & 0xFF] ^
                  t[4][(v >> 32) & 0xFF] ^ t[3][(v >> 24) & 0xFF] ^ t[2][(v >> 16) & 0xFF] ^
                  t[1][(v >> 8) & 0xFF] ^ t[0][v & 0xFF];
        }
        for (; left > 0; --left) reg = UpdateDirect(t[0], reg, *p++);
    }
    m_current = reg;
}

uint16_t CCRC16::GetResult() const {
    return static_cast<uint16_t>(m_current ^ m_finalXor);
}

void CCRC16::Reset() {
    m_current = m_initial;
}

namespace {
void Apply(CCRC16& crc, const Crc16Set& set) {
    // Reflected sets take the catalogue's initial value bit-reversed into their register.
    crc.SetPolyParameter(set.poly, set.init, set.reflected ? 0 : 1, set.reflected, set.finalXor);
}
}  // namespace

void CCRC16::SetPolyParameter_USB() {
    Apply(*this, kUsb);
}
void CCRC16::SetPolyParameter_MODBUS() {
    Apply(*this, kModbus);
}
void CCRC16::SetPolyParameter_DDS110() {
    Apply(*this, kDds110);
}
void CCRC16::SetPolyParameter_CCITT_FALSE() {
    Apply(*this, kCcittFalse);
}
void CCRC16::SetPolyParameter_RIELLO() {
    Apply(*this, kRiello);
}
void CCRC16::SetPolyParameter_CDMA2000() {
    Apply(*this, kCdma2000);
}
void CCRC16::SetPolyParameter_DECT_R() {
    Apply(*this, kDectR);
}
void CCRC16::SetPolyParameter_DECT_X() {
    Apply(*this, kDectX);
}
void CCRC16::SetPolyParameter_DNP() {
    Apply(*this, kDnp);
}
void CCRC16::SetPolyParameter_EN_13757() {
    Apply(*this, kEn13757);
}
void CCRC16::SetPolyParameter_T10_DIF() {
    Apply(*this, kT10Dif);
}
void CCRC16::SetPolyParameter_TELEDISK() {
    Apply(*this, kTeledisk);
}
