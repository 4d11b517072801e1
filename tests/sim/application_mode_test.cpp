// ctest-labels: sim
// zorvan-sim's application: streaming from power-on, command mode, identity texts, parameters,
// the report switch, the room scenario and threshold generation, seen through a raw client.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

#include "sim/raw_link_client.h"
#include "support/sim_process.h"
#include "support/wait_until.h"

using namespace simtest;

namespace {

// 20 times faster: one report every 50 ms with the default rates.
const std::vector<std::string> kFast = {"--time-scale", "20"};
const milliseconds kReportDeadline{2000};
// Long enough to see several report periods at the scale above.
const milliseconds kQuietWindow{400};

const std::array<uint32_t, 16> kDefaultTrigger{48, 48, 45, 37, 35, 35, 33, 33,
                                               33, 33, 33, 33, 33, 33, 33, 33};
const std::array<uint32_t, 16> kDefaultHold{45, 45, 48, 39, 35, 35, 33, 33,
                                            33, 33, 33, 33, 33, 33, 33, 33};

Bytes Ids(std::initializer_list<uint16_t> ids) {
    Bytes payload;
    for (uint16_t id : ids) PutU16(payload, id);
    return payload;
}

Bytes GateIds() {
    Bytes payload;
    for (uint16_t g = 0; g < 16; ++g) PutU16(payload, g);
    return payload;
}

Bytes Pairs(std::initializer_list<std::pair<uint16_t, uint32_t>> pairs) {
    Bytes payload;
    for (const auto& [id, value] : pairs) {
        PutU16(payload, id);
        PutU32(payload, value);
    }
    return payload;
}

std::vector<uint32_t> Values(const Ack& ack) {
    const Bytes data = ack.Data();
    std::vector<uint32_t> values;
    for (size_t at = 0; at + 4 <= data.size(); at += 4) values.push_back(U32(data, at));
    return values;
}

std::string Text(const Ack& ack) {
    const Bytes data = ack.Data();
    if (data.size() < 2) return "<short>";
    const size_t n = U16(data, 0);
    if (data.size() != 2 + n) return "<length mismatch>";
    return std::string(data.begin() + 2, data.end());
}

class SimApplication : public ::testing::Test {
protected:
    void Start(std::vector<std::string> args = kFast) {
        m_sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(m_sim->Started()) << m_sim->Error();
        ASSERT_TRUE(m_client.Open(m_sim->PortPath()));
    }
    void EnterCommandMode() {
        const auto ack = m_client.Command(0x00FF, Ids({2}));
        ASSERT_TRUE(ack.has_value());
        ASSERT_EQ(ack->Status(), 0);
    }

    std::unique_ptr<SimProcess> m_sim;
    RawLinkClient m_client;
};

}  // namespace

TEST_F(SimApplication, StreamsReportsFromPowerOn) {
    Start();
    for (int i = 0; i < 3; ++i) {
        const auto report = m_client.NextReport(kReportDeadline);
        ASSERT_TRUE(report.has_value()) << i;
        EXPECT_TRUE(report->state == 0 || report->state == 2 || report->state == 3);
    }
}

TEST_F(SimApplication, CommandModeStopsTheStreamAndEndingItResumesIt) {
    Start();
    ASSERT_TRUE(m_client.NextReport(kReportDeadline).has_value());
    const auto enter = m_client.Command(0x00FF, Ids({2}));
    ASSERT_TRUE(enter.has_value());
    EXPECT_EQ(enter->Status(), 0);
    ASSERT_EQ(enter->Data().size(), 4u);
    EXPECT_EQ(U16(enter->Data(), 0), 2);     // protocol version
    EXPECT_EQ(U16(enter->Data(), 2), 4096);  // largest body
    // Frames sent before the acknowledgement came before it; after it, silence.
    EXPECT_TRUE(m_client.CollectStreams(kQuietWindow).empty());

    const auto again = m_client.Command(0x00FF, Ids({2}));
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->Status(), 0);

    const auto end = m_client.Command(0x00FE);
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->Status(), 0);
    EXPECT_TRUE(m_client.NextReport(kReportDeadline).has_value());
}

TEST_F(SimApplication, ReportsVersionSerialNumberAndDeviceIdentity) {
    Start({"--time-scale", "20", "--version-text", "v9.8.7", "--serial-number", "SN-42",
           "--device-id", "0x12345678", "--partitions", "0x5"});
    EnterCommandMode();
    const auto version = m_client.Command(0x0000);
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->Status(), 0);
    EXPECT_EQ(Text(*version), "v9.8.7");
    const auto serial = m_client.Command(0x0011);
    ASSERT_TRUE(serial.has_value());
    EXPECT_EQ(Text(*serial), "SN-42");

    struct Case {
        uint16_t word;
        uint32_t value;
    };
    for (const Case& c : {Case{0x0060, 2}, Case{0x0061, 0x5}, Case{0x0065, 0x12345678}}) {
        const auto ack = m_client.Command(c.word);
        ASSERT_TRUE(ack.has_value()) << c.word;
        EXPECT_EQ(ack->Status(), 0) << c.word;
        ASSERT_EQ(ack->Data().size(), 4u) << c.word;
        EXPECT_EQ(U32(ack->Data(), 0), c.value) << c.word;
    }
}

TEST_F(SimApplication, StartsWithFactoryDefaults) {
    Start();
    EnterCommandMode();
    const auto detect =
        m_client.Command(0x0071, Ids({0x000A, 0x0005, 0x000B, 0x0002, 0x000C, 0x0006}));
    ASSERT_TRUE(detect.has_value());
    EXPECT_EQ(detect->Status(), 0);
    EXPECT_EQ(Values(*detect), (std::vector<uint32_t>{0, 9, 20, 10, 10, 20}));
    const auto trigger = m_client.Command(0x0073, GateIds());
    ASSERT_TRUE(trigger.has_value());
    EXPECT_EQ(Values(*trigger),
              std::vector<uint32_t>(kDefaultTrigger.begin(), kDefaultTrigger.end()));
    const auto hold = m_client.Command(0x0077, GateIds());
    ASSERT_TRUE(hold.has_value());
    EXPECT_EQ(Values(*hold), std::vector<uint32_t>(kDefaultHold.begin(), kDefaultHold.end()));
}

TEST_F(SimApplication, ParametersRoundTripInRequestOrder) {
    Start();
    EnterCommandMode();
    const auto set = m_client.Command(
        0x0070,
        Pairs({{0x000A, 2}, {0x0005, 12}, {0x000B, 10}, {0x0002, 40}, {0x000C, 20}, {0x0006, 15}}));
    ASSERT_TRUE(set.has_value());
    EXPECT_EQ(set->Status(), 0);
    EXPECT_TRUE(set->Data().empty());
    const auto get =
        m_client.Command(0x0071, Ids({0x0006, 0x000A, 0x0005, 0x0002, 0x000C, 0x000B}));
    ASSERT_TRUE(get.has_value());
    EXPECT_EQ(Values(*get), (std::vector<uint32_t>{15, 2, 12, 40, 20, 10}));

    for (uint16_t setWord : {0x0072, 0x0076}) {
        Bytes pairs;
        for (uint16_t g = 0; g < 16; ++g) {
            PutU16(pairs, g);
            PutU32(pairs, 10u + g * 5u + (setWord == 0x0076 ? 1u : 0u));
        }
        const auto ack = m_client.Command(setWord, pairs);
        ASSERT_TRUE(ack.has_value());
        EXPECT_EQ(ack->Status(), 0);
        const auto back = m_client.Command(static_cast<uint16_t>(setWord + 1), GateIds());
        ASSERT_TRUE(back.has_value());
        const std::vector<uint32_t> values = Values(*back);
        ASSERT_EQ(values.size(), 16u);
        for (uint32_t g = 0; g < 16; ++g) {
            EXPECT_EQ(values[g], 10u + g * 5u + (setWord == 0x0076 ? 1u : 0u)) << g;
        }
    }
}

TEST_F(SimApplication, BadParameterRequestsAreRefusedAndChangeNothing) {
    Start();
    EnterCommandMode();
    struct Case {
        const char* what;
        uint16_t word;
        Bytes payload;
        uint16_t status;
    };
    const std::vector<Case> cases = {
        {"maximum gate beyond 16", 0x0070, Pairs({{0x000A, 3}, {0x0005, 17}}), 0x0003},
        {"unknown id", 0x0070, Pairs({{0x000A, 3}, {0x0007, 1}}), 0x0003},
        {"response speed 15", 0x0070, Pairs({{0x000A, 3}, {0x000B, 15}}), 0x0003},
        {"report rate 0", 0x0070, Pairs({{0x000A, 3}, {0x0002, 0}}), 0x0003},
        {"report rate 9 Hz", 0x0070, Pairs({{0x000A, 3}, {0x000C, 90}}), 0x0003},
        {"threshold 96 dB", 0x0072, Pairs({{0, 30}, {5, 96}}), 0x0003},
        {"gate 16", 0x0076, Pairs({{0, 30}, {16, 30}}), 0x0003},
        {"set entry cut short", 0x0070, Bytes{0x0A, 0x00, 0x03, 0x00, 0x00}, 0x0002},
        {"empty set", 0x0072, Bytes{}, 0x0002},
        {"get of an unknown id", 0x0071, Ids({0x000A, 0x0001}), 0x0003},
        {"get of an odd length", 0x0073, Bytes{0x00, 0x00, 0x01}, 0x0002},
        {"report switch 2", 0x007A, Pairs({{0, 2}}), 0x0003},
        {"report switch id 1", 0x007A, Pairs({{1, 1}}), 0x0003},
        {"version with a payload", 0x0000, Bytes{0x01}, 0x0002},
        {"generation with 4 bytes", 0x0009, Bytes{2, 0, 1, 0}, 0x0002},
        {"unknown command", 0x0042, Bytes{}, 0x0001},
        {"packet outside the boot loader", 0x0063, Bytes(12, 0), 0x0001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto ack = m_client.Command(c.word, c.payload);
        ASSERT_TRUE(ack.has_value());
        EXPECT_EQ(ack->Status(), c.status);
    }
    // Boot loader words keep their 6-byte answer shape on failure.
    const auto packet = m_client.Command(0x0063, Bytes(12, 0));
    ASSERT_TRUE(packet.has_value());
    EXPECT_EQ(packet->body.size(), 6u);

    const auto detect = m_client.Command(0x0071, Ids({0x000A, 0x0005, 0x000B, 0x0002, 0x000C}));
    ASSERT_TRUE(detect.has_value());
    EXPECT_EQ(Values(*detect), (std::vector<uint32_t>{0, 9, 20, 10, 10}));
    const auto trigger = m_client.Command(0x0073, Ids({0, 5}));
    ASSERT_TRUE(trigger.has_value());
    EXPECT_EQ(Values(*trigger), (std::vector<uint32_t>{48, 35}));
}

TEST_F(SimApplication, CommandsOutsideCommandModeAnswerStatusFour) {
    Start();
    struct Case {
        uint16_t word;
        Bytes payload;
        size_t bodyBytes;  // status only, or status + u32 for the boot loader words
    };
    const std::vector<Case> cases = {
        {0x0000, {}, 2},
        {0x0011, {}, 2},
        {0x0071, Ids({0x000A}), 2},
        {0x0070, Pairs({{0x000A, 1}}), 2},
        {0x007A, Pairs({{0, 0}}), 2},
        {0x0009, {2, 0, 1, 0, 30, 0}, 2},
        {0x00FE, {}, 2},
        {0x0060, {}, 6},
        {0x0061, {}, 6},
        {0x0065, {}, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        const auto ack = m_client.Command(c.word, c.payload);
        ASSERT_TRUE(ack.has_value());
        EXPECT_EQ(ack->Status(), 0x0004);
        EXPECT_EQ(ack->body.size(), c.bodyBytes);
        // A refused question never reads like a mode, a mask or an identifier.
        if (ack->body.size() == 6) {
            EXPECT_EQ(U32(ack->body, 2), 0u);
        }
    }
    // Nothing was carried out: the sensor still streams and keeps its defaults.
    EXPECT_TRUE(m_client.NextReport(kReportDeadline).has_value());
    EnterCommandMode();
    const auto minGate = m_client.Command(0x0071, Ids({0x000A}));
    ASSERT_TRUE(minGate.has_value());
    EXPECT_EQ(Values(*minGate), std::vector<uint32_t>{0});
}

TEST_F(SimApplication, ReportSwitchOffSilencesTheStreamOutsideCommandMode) {
    Start();
    EnterCommandMode();
    const auto off = m_client.Command(0x007A, Pairs({{0, 0}}));
    ASSERT_TRUE(off.has_value());
    EXPECT_EQ(off->Status(), 0);
    ASSERT_EQ(m_client.Command(0x00FE)->Status(), 0);
    EXPECT_TRUE(m_client.CollectStreams(kQuietWindow).empty());

    EnterCommandMode();
    ASSERT_EQ(m_client.Command(0x007A, Pairs({{0, 1}}))->Status(), 0);
    ASSERT_EQ(m_client.Command(0x00FE)->Status(), 0);
    EXPECT_TRUE(m_client.NextReport(kReportDeadline).has_value());
}

TEST_F(SimApplication, RoomScenarioShowsATargetComingStayingAndLeaving) {
    // 100 times faster: a 30 s round of the scenario in 0.3 s, one report per sensor second.
    Start({"--time-scale", "100"});
    EnterCommandMode();
    ASSERT_EQ(m_client.Command(0x0070, Pairs({{0x0006, 2}}))->Status(), 0);  // absence 2 s
    ASSERT_EQ(m_client.Command(0x00FE)->Status(), 0);

    std::set<int> states;
    int reports = 0;
    bool nearGatesLouderWithTarget = false;
    const int kRounds = 3;
    while (reports < kRounds * 30) {
        const auto report = m_client.NextReport(kReportDeadline);
        ASSERT_TRUE(report.has_value()) << reports;
        ++reports;
        states.insert(report->state);
        if (report->state == 0) {
            EXPECT_EQ(report->distanceCm, 0);
        } else {
            EXPECT_GT(report->distanceCm, 0);
            EXPECT_LE(report->distanceCm, 16 * 70);
            // The gate the target is in stands out from the far, quiet gates.
            const int gate = std::min(15, report->distanceCm / 70);
            if (report->energy[gate] > 4 * report->energy[15]) nearGatesLouderWithTarget = true;
        }
    }
    EXPECT_EQ(states, (std::set<int>{0, 2, 3}));
    EXPECT_TRUE(nearGatesLouderWithTarget);
}

TEST_F(SimApplication, ThresholdGenerationReportsProgressAndChangesTheThresholds) {
    Start({"--time-scale", "20", "--scenario", "empty"});
    EnterCommandMode();
    // Progress comes whatever the report output.
    ASSERT_EQ(m_client.Command(0x007A, Pairs({{0, 0}}))->Status(), 0);
    Bytes generate;
    PutU16(generate, 4);  // trigger coefficient
    PutU16(generate, 1);  // hold coefficient
    PutU16(generate, 3);  // seconds
    const auto ack = m_client.Command(0x0009, generate);
    ASSERT_TRUE(ack.has_value());
    EXPECT_EQ(ack->Status(), 0);
    ASSERT_EQ(m_client.Command(0x00FE)->Status(), 0);

    std::vector<uint16_t> progress;
    while (progress.empty() || progress.back() < 100) {
        const auto frame = m_client.WaitStream(
            [](const StreamFrame& f) { return f.Type() == 3 && f.payload.size() == 3; },
            milliseconds(3000));
        ASSERT_TRUE(frame.has_value()) << "progress so far: " << progress.size();
        progress.push_back(U16(frame->payload, 1));
    }
    EXPECT_EQ(progress.front(), 0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_GE(progress.size(), 4u);  // 0, a value a second, then 100
    // The final 100 % is repeated for a host that listens late.
    const auto repeat = m_client.WaitStream(
        [](const StreamFrame& f) { return f.Type() == 3 && U16(f.payload, 1) == 100; },
        milliseconds(3000));
    EXPECT_TRUE(repeat.has_value());

    EnterCommandMode();
    const auto trigger = m_client.Command(0x0073, GateIds());
    const auto hold = m_client.Command(0x0077, GateIds());
    ASSERT_TRUE(trigger.has_value() && hold.has_value());
    const std::vector<uint32_t> t = Values(*trigger), h = Values(*hold);
    ASSERT_EQ(t.size(), 16u);
    ASSERT_EQ(h.size(), 16u);
    EXPECT_NE(t, std::vector<uint32_t>(kDefaultTrigger.begin(), kDefaultTrigger.end()));
    EXPECT_NE(h, std::vector<uint32_t>(kDefaultHold.begin(), kDefaultHold.end()));
    for (size_t g = 0; g < 16; ++g) {
        EXPECT_GE(t[g], 10u) << g;
        EXPECT_LE(t[g], 95u) << g;
        // Both come from the same scan: they differ by the coefficients (unless clamped).
        if (h[g] > 10 && t[g] < 95) {
            EXPECT_EQ(t[g] - h[g], 3u) << g;
        }
    }
    // Near gates see more clutter than far ones.
    EXPECT_GT(t[0], t[15]);
}

TEST_F(SimApplication, NoProgressWhileTheHostStaysInCommandMode) {
    Start({"--time-scale", "20", "--scenario", "empty"});
    EnterCommandMode();
    const auto ack = m_client.Command(0x0009, Bytes{2, 0, 1, 0, 0, 0});
    ASSERT_TRUE(ack.has_value());
    EXPECT_EQ(ack->Status(), 0);
    EXPECT_TRUE(m_client.CollectStreams(kQuietWindow).empty());
    // The scan starts when command mode ends; with 0 seconds it is done at once.
    ASSERT_EQ(m_client.Command(0x00FE)->Status(), 0);
    const auto done = m_client.WaitStream(
        [](const StreamFrame& f) { return f.Type() == 3 && U16(f.payload, 1) == 100; },
        milliseconds(3000));
    EXPECT_TRUE(done.has_value());
}

TEST_F(SimApplication, SoftwareResetIsNotAnsweredAndRestartsIntoTheBootLoader) {
    Start();
    EnterCommandMode();
    ASSERT_TRUE(m_client.Send(0x0064));
    EXPECT_FALSE(m_client.WaitAck(0x0064, milliseconds(300)).has_value());
    // The boot loader answers without command mode once the restart is over.
    std::optional<Ack> mode;
    ASSERT_TRUE(WaitUntil([&] {
        mode = m_client.Command(0x0060, {}, milliseconds(100));
        return mode.has_value();
    }));
    EXPECT_EQ(mode->Status(), 0);
    EXPECT_EQ(U32(mode->Data(), 0), 1u);
    // The boot loader streams nothing.
    EXPECT_TRUE(m_client.CollectStreams(kQuietWindow).empty());
}
