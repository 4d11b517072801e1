// Feeds arbitrary received bytes to the radar device library's acknowledgement parser and its
// router, in pieces chosen by the first input byte, and checks what must hold for any stream:
// - every byte comes out exactly once and in order: as a stream byte, inside an acknowledgement,
//   inside a dropped short-bodied frame, or held (and held bytes come out when given up);
// - acknowledgements are well-formed envelopes of at most 4096 body bytes;
// - the pieces the bytes arrive in change nothing;
// - the router hands the stream exactly the parser's other bytes and the waiting command the
//   first acknowledgement with its word.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dataprocess/ack_router.h"
#include "dataprocess/command_frame.h"

namespace {

// Inputs beyond this add no new paths, only time.
constexpr size_t kMaxInputBytes = 1 << 16;
constexpr size_t kMaxPieceBytes = 64;

using Bytes = std::vector<uint8_t>;

// Names the property that broke before aborting.
#define Check(condition)                                                            \
    do {                                                                            \
        if (!(condition)) {                                                         \
            std::fprintf(stderr, "ack_parser_fuzz:%d: %s\n", __LINE__, #condition); \
            std::abort();                                                           \
        }                                                                           \
    } while (false)

bool SamePrefix(const Bytes& a, const Bytes& b, size_t count) {
    return count == 0 || std::memcmp(a.data(), b.data(), count) == 0;
}

// Rebuilds the input from what the parser reported, in report order.
class Rebuilder : public IAckFrameSink {
public:
    explicit Rebuilder(const Bytes& input) : m_input(input) {}

    void OnOtherBytes(const uint8_t* bytes, size_t count) override {
        Check(count > 0);
        other.insert(other.end(), bytes, bytes + count);
        rebuilt.insert(rebuilt.end(), bytes, bytes + count);
    }
    void OnAckFrame(uint16_t word, const uint8_t* payload, size_t length) override {
        Check(length >= kMinAckBodyBytes - 2 && length <= kMaxCommandBodyBytes - 2);
        if (acks.empty()) firstAck = Bytes(payload, payload + length);
        if (acks.empty()) firstWord = word;
        CBaseBuffer frame;
        Check(BuildCommandFrame(word, payload, static_cast<uint32_t>(length), frame));
        const Bytes bytes(frame.GetBuffer(), frame.GetBuffer() + frame.GetAvailSize());
        acks.push_back(bytes);
        rebuilt.insert(rebuilt.end(), bytes.begin(), bytes.end());
    }
    void OnAckRejected(AckRejection reason, uint32_t length) override {
        if (reason != AckRejection::ShortBody) return;
        // A dropped frame: its bytes are the input's at this point, header and tail in place.
        Check(length < kMinAckBodyBytes);
        const size_t at = rebuilt.size();
        const size_t frameBytes = length + kCommandEnvelopeBytes;
        Check(at + frameBytes <= m_input.size());
        Check(std::memcmp(&m_input[at], kCommandFrameHeader, 4) == 0);
        Check(std::memcmp(&m_input[at + 6 + length], kCommandFrameTail, 4) == 0);
        rebuilt.insert(rebuilt.end(), m_input.begin() + at, m_input.begin() + at + frameBytes);
    }

    Bytes other;
    Bytes rebuilt;
    std::vector<Bytes> acks;
    Bytes firstAck;
    uint16_t firstWord = 0;

private:
    const Bytes& m_input;
};

class StreamRecorder : public IStreamBytesSink {
public:
    void OnStreamBytes(const uint8_t* bytes, size_t count) override {
        bytes_.insert(bytes_.end(), bytes, bytes + count);
    }
    Bytes bytes_;
};

// Piece lengths from a small generator seeded by `seed`; seed 0 means one piece.
std::vector<size_t> Pieces(uint8_t seed, size_t total) {
    std::vector<size_t> pieces;
    if (seed == 0) {
        if (total > 0) pieces.push_back(total);
        return pieces;
    }
    uint32_t state = seed;
    size_t done = 0;
    while (done < total) {
        state = state * 1103515245u + 12345u;
        const size_t piece = std::min<size_t>(1 + (state >> 16) % kMaxPieceBytes, total - done);
        pieces.push_back(piece);
        done += piece;
    }
    return pieces;
}

// Feeds the input in pieces, then gives up whatever is still held; checks the rebuild.
Rebuilder Parse(const Bytes& input, const std::vector<size_t>& pieces) {
    Rebuilder sink(input);
    AckFrameParser parser(sink);
    size_t at = 0;
    for (size_t piece : pieces) {
        parser.Feed(input.data() + at, piece);
        at += piece;
        Check(sink.rebuilt.size() + parser.HeldBytes() == at);
        Check(SamePrefix(sink.rebuilt, input, sink.rebuilt.size()));
    }
    size_t rounds = 0;
    while (parser.HeldBytes() != 0) {
        const size_t held = parser.HeldBytes();
        parser.GiveUpHeld();
        Check(parser.HeldBytes() < held);
        Check(++rounds <= input.size());
    }
    Check(sink.rebuilt == input);
    return sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > kMaxInputBytes) return 0;
    const uint8_t seed = data[0];
    const Bytes input(data + 1, data + size);

    const Rebuilder whole = Parse(input, Pieces(0, input.size()));
    const Rebuilder split = Parse(input, Pieces(seed, input.size()));
    Check(whole.acks == split.acks);
    Check(whole.other == split.other);

    // The router: same sorting, the first acknowledgement to the command that waits for its
    // word. One time for every piece, so nothing held is given up on the way; then time passes
    // until every held candidate was given up.
    StreamRecorder stream;
    AckRouter router(stream, 25600);
    router.Expect(whole.firstWord);
    const std::vector<size_t> pieces = Pieces(seed, input.size());
    size_t at = 0;
    for (size_t piece : pieces) {
        router.Feed(input.data() + at, piece, 1000);
        at += piece;
    }
    Check(stream.bytes_.size() <= whole.other.size());
    Check(SamePrefix(stream.bytes_, whole.other, stream.bytes_.size()));
    uint64_t now = 1000;
    for (size_t round = 0; round <= input.size() && stream.bytes_.size() < whole.other.size();
         ++round) {
        now += 1000000;
        router.Tick(now);
    }
    Check(stream.bytes_ == whole.other);
    Bytes payload;
    const bool answered = router.WaitAck(payload, 0);
    Check(answered == !whole.acks.empty());
    if (answered) Check(payload == whole.firstAck);
    return 0;
}
