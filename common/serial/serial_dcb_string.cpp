#include "serial_dcb_string.h"

#include <string.h>

void SerialDCBToString(uint8_t byteSize, uint8_t parity, uint8_t stopBits, CBaseStringA* text) {
    if (text == nullptr) return;
    char out[6] = {};
    int used = 0;
    out[used++] = byteSize <= 3 ? '4' : byteSize >= 8 ? '8' : static_cast<char>('0' + byteSize);
    static const char kParityLetters[] = {'N', 'O', 'E', 'M', 'S'};
    out[used++] = kParityLetters[parity >= 4 ? 4 : parity];
    const char* stop = stopBits == 0 ? "1" : stopBits == 1 ? "1.5" : "2";
    for (const char* p = stop; *p != 0; ++p) out[used++] = *p;
    text->Set(out, used);
}

void SerialParseDCBString(const char* text, int length, uint8_t* byteSize, uint8_t* parity,
                          uint8_t* stopBits) {
    if (byteSize != nullptr) *byteSize = 8;
    if (parity != nullptr) *parity = 0;
    if (stopBits != nullptr) *stopBits = 0;
    if (text == nullptr) return;
    const size_t size = length < 0 ? strlen(text) : strnlen(text, static_cast<size_t>(length));
    if (size <= 2) return;

    if (byteSize != nullptr && text[0] >= '4' && text[0] <= '7') {
        *byteSize = static_cast<uint8_t>(text[0] - '0');
    }
    if (parity != nullptr) {
        switch (text[1]) {
            case 'O':
            case 'o':
                *parity = 1;
                break;
            case 'E':
            case 'e':
                *parity = 2;
                break;
            case 'M':
            case 'm':
                *parity = 3;
                break;
            case 'S':
            case 's':
                *parity = 4;
                break;
            default:
                break;
        }
    }
    if (stopBits != nullptr) {
        const char* rest = text + 2;
        const size_t restSize = size - 2;
        if (restSize >= 3 && strncmp(rest, "1.5", 3) == 0) {
            *stopBits = 1;
        } else if (rest[0] == '2') {
            *stopBits = 2;
        }
    }
}
