// Feeds arbitrary bytes to the socket packet receiver and the file service's record decoders and
// checks what must hold for any input: the receiver delivers the same packets whether the bytes
// come at once or in pieces, never holds more payload than announced, and never more than the
// limit; a record that decodes encodes back to the same bytes (text records: to the same
// decoded fields), and decoded paths always end with a terminator.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/size_limits.h"
#include "net/socket_file_records.h"
#include "net/socket_packet.h"

namespace {

// Inputs beyond this add no new paths, only time.
constexpr size_t kMaxInputBytes = 1 << 20;

void Check(bool condition) {
    if (!condition) std::abort();
}

// Hands the bytes out in pieces whose sizes come from a seed.
class PieceSource : public PacketByteSource {
public:
    PieceSource(const uint8_t* data, size_t size, uint32_t seed)
        : m_data(data), m_size(size), m_state(seed | 1) {}
    int64_t Available() override {
        if (m_position == m_size) return 0;
        if (m_released <= m_position) {
            m_state = m_state * 1664525u + 1013904223u;
            m_released = std::min(m_size, m_position + 1 + (m_state >> 24) % 64);
        }
        return static_cast<int64_t>(m_released - m_position);
    }
    int64_t Read(uint8_t* out, size_t count) override {
        const size_t n = std::min(count, m_released - m_position);
        std::memcpy(out, m_data + m_position, n);
        m_position += n;
        return static_cast<int64_t>(n);
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    uint32_t m_state;
    size_t m_position = 0;
    size_t m_released = 0;
};

struct Outcome {
    std::vector<std::vector<uint8_t>> payloads;
    std::vector<uint64_t> destinations;
    bool failed = false;
};

Outcome Receive(PacketByteSource& source, int matchCheck, size_t size) {
    Outcome outcome;
    PacketRecvState state;
    // Every step but the last takes at least one byte or completes a packet.
    const size_t maxSteps = 4 * size + 16;
    for (size_t step = 0; step < maxSteps; ++step) {
        const int64_t before = state.headerBytes + static_cast<int64_t>(state.payloadBytes);
        if (!ReceivePacketStep(state, matchCheck, source, -1)) {
            outcome.failed = true;
            break;
        }
        Check(state.headerBytes >= 0 && state.headerBytes <= 20);
        if (state.headerBytes == 20) {
            Check(state.PayloadLength() <= kMaxSocketPacketBytes);
            Check(static_cast<uint32_t>(state.payloadBytes) <= state.PayloadLength());
            Check(state.payloadCapacity <= state.PayloadLength());
        }
        if (state.complete) {
            const uint8_t* p = state.payload.get();
            outcome.payloads.emplace_back(p, p + state.PayloadLength());
            outcome.destinations.push_back(state.Destination());
            state.Reset();
            continue;
        }
        if (state.headerBytes + static_cast<int64_t>(state.payloadBytes) == before &&
            source.Available() == 0) {
            break;
        }
    }
    return outcome;
}

template <class Record>
void RoundTrip(const uint8_t* data, size_t size, bool exact) {
    Record record;
    if (DecodeSocketFileRecord(data, size, &record) != SocketFileCheck::Ok) return;
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(record, &bytes);
    Check(bytes.size() == size);
    if (exact) Check(std::memcmp(bytes.data(), data, size) == 0);
    Record again;
    Check(DecodeSocketFileRecord(bytes.data(), bytes.size(), &again) == SocketFileCheck::Ok);
    std::vector<uint8_t> twice;
    EncodeSocketFileRecord(again, &twice);
    Check(twice == bytes);
}

void Records(const uint8_t* data, size_t size) {
    tagSOCKETFILEHEADER header;
    if (ReadSocketFileHeader(data, size, &header) != SocketFileCheck::Ok) return;
    RoundTrip<SocketFileInt32Record>(data, size, true);
    RoundTrip<SocketFileUint64Record>(data, size, true);
    RoundTrip<tagSOCKETFILEREQREAD>(data, size, true);
    RoundTrip<tagSOCKETFILERESREAD>(data, size, true);
    RoundTrip<tagSOCKETFILEREQWRITE>(data, size, true);
    RoundTrip<tagSOCKETFILERESGETMD5>(data, size, true);
    RoundTrip<tagSOCKETFILERESGETFOLDERLIST>(data, size, true);
    RoundTrip<SocketFilePathRecord>(data, size, false);
    RoundTrip<tagSOCKETFILEREQOPEN>(data, size, false);
    RoundTrip<tagSOCKETFILEREQRENAME>(data, size, false);

    SocketFilePathRecord path;
    if (DecodeSocketFileRecord(data, size, &path) == SocketFileCheck::Ok) {
        Check(path.path[kSocketFilePathUnits - 1] == 0);
    }
    tagSOCKETFILERESGETFOLDERLIST list;
    if (DecodeSocketFileRecord(data, size, &list) == SocketFileCheck::Ok) {
        Check(28ull + list.folderBytes + list.fileBytes == size);
        for (const auto& name : SplitSocketFileNames(list.folderNames, list.folderBytes)) {
            Check(!name.empty() && name.find(u';') == std::u16string::npos);
            IsPlainSocketFileName(name);
        }
        SplitSocketFileNames(list.fileNames, list.fileBytes);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > kMaxInputBytes) return 0;
    const uint32_t seed = data[0];
    const int matchCheck = seed & 1;
    data += 1;
    size -= 1;

    MemoryPacketSource whole(data, size);
    const Outcome atOnce = Receive(whole, matchCheck, size);
    PieceSource pieces(data, size, seed * 2654435761u);
    const Outcome inPieces = Receive(pieces, matchCheck, size);
    Check(atOnce.failed == inPieces.failed);
    Check(atOnce.payloads == inPieces.payloads);
    Check(atOnce.destinations == inPieces.destinations);

    for (const auto& payload : atOnce.payloads) {
        Records(payload.data(), payload.size());
        uint64_t connection = 0;
        ReadSocketGreeting(payload.data(), payload.size(), &connection);
    }
    Records(data, size);

    int offset = 0;
    uint64_t value = 0;
    ParseLengthData(data, static_cast<int>(size), &offset, &value);
    Check(offset >= 0 && static_cast<size_t>(offset) <= size);
    return 0;
}
