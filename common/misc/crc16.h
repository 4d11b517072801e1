// CRC-16 calculators: CCRC16 keeps a running register with its parameter set (twelve named sets
// of the published CRC catalogue, or free parameters); InitCRC16Table and CalculateCRC16 serve
// callers that keep their own 256-entry table.
//
// Reflected sets shift the register right (least significant bit first), the others shift it
// left. Data may be fed in pieces; GetResult may be read at any time without disturbing the
// register. An object is not guarded: one thread at a time.
#pragma once

#include <cstdint>
#include "core/common_api.h"

class ORBO_COMMON_API CCRC16 {
public:
    // Starts with the CRC-16/MODBUS set.
    CCRC16();

    // The initial register is `init`, bit-reversed when `initAsIs` is 0 (catalogue values of
    // reflected sets are given for the unreflected register); the current register starts there.
    // The table is built for `poly` in the reflected or direct form.
    void SetPolyParameter(uint16_t poly, uint16_t init, int initAsIs, int reflected,
                          uint16_t finalXor);

    // The catalogue sets CRC-16/USB, MODBUS, DDS-110, CCITT-FALSE, RIELLO, CDMA2000, DECT-R,
    // DECT-X, DNP, EN-13757, T10-DIF and TELEDISK; each also resets the register.
    void SetPolyParameter_USB();
    void SetPolyParameter_MODBUS();
    void SetPolyParameter_DDS110();
    void SetPolyParameter_CCITT_FALSE();
    void SetPolyParameter_RIELLO();
    void SetPolyParameter_CDMA2000();
    void SetPolyParameter_DECT_R();
    void SetPolyParameter_DECT_X();
    void SetPolyParameter_DNP();
    void SetPolyParameter_EN_13757();
    void SetPolyParameter_T10_DIF();
    void SetPolyParameter_TELEDISK();

    // Updates the register with `length` bytes in order; nothing for a null text or length <= 0.
    void AppendData(const void* data, int length);
    // The register XOR the final value; the register is left as it is.
    uint16_t GetResult() const;
    // Back to the initial register.
    void Reset();

private:
    // Eight tables: [0] is the byte table of the polynomial, [k] the effect of a byte followed
    // by k zero bytes, so that eight bytes are folded in per step.
    static constexpr int kSlices = 8;

    uint16_t m_current = 0;
    uint16_t m_initial = 0;
    int m_initAsIs = 0;
    int m_reflected = 0;
    uint32_t m_finalXor = 0;
    uint16_t m_table[kSlices][256] = {};
};

// Fills a 256-entry table for `poly`: reflected (for the right-shifting update) or direct.
ORBO_COMMON_API void InitCRC16Table(uint16_t poly, int reflected, uint16_t table[256]);

// The CRC of `length` bytes with a caller's table built by InitCRC16Table for the same
// `reflected` flag: the register starts at `init` (bit-reversed when `initAsIs` is 0) and the
// result is XORed with `finalXor`. 0 when the table is null; a null text counts as empty.
ORBO_COMMON_API uint16_t CalculateCRC16(const uint16_t* table, uint16_t init, int initAsIs,
                                        int reflected, uint16_t finalXor, const void* data,
                                        uint32_t length);
