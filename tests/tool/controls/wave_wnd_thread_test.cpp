// ctest-labels: gui
// A producer thread feeding the plot window while it paints on the window thread (run under
// ThreadSanitizer as well).
#include "controls/wave_wnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/wait_until.h"
#include "tool/controls/wave_wnd_support.h"

namespace {

constexpr int kFrames = 10000;
constexpr int kGates = 16;

class WaveWndThreadTest : public WaveWndFixture {};

TEST_F(WaveWndThreadTest, ProducerAddsTenThousandFramesWhileTheWindowPaints) {
    ConfigurePlain(plot, kGates, 0.0, 100.0);
    plot->SetWaveCount(3);
    plot->SetDoubleSamples();
    plot->SetWaveLength(kGates);
    plot->SetWholeFramesOnly(1);
    plot->SetAutoScale(1);
    plot->SetText(0, QStringLiteral("FP VS RG"), 10, 0xFFFFFFFF, 1, 0, nullptr);
    plot->ShowAxisPanel(kPanelLeft, 1, 30, nullptr);
    plot->SetYAxisFont(8, 0);
    ProcessPendingEvents();

    std::atomic<int> queued{0};
    std::atomic<bool> done{false};
    std::atomic<bool> servedMidway{false};
    CWaveBuffer* buffers[3] = {plot->GetWaveBuffer(0), plot->GetWaveBuffer(1),
                               plot->GetWaveBuffer(2)};
    const int64_t paintsBefore = plot->PaintCount();
    std::thread producer([&] {
        std::vector<double> frame(kGates);
        for (int f = 0; f < kFrames; ++f) {
            for (int g = 0; g < kGates; ++g) frame[size_t(g)] = (f * 7 + g * 13) % 90;
            for (CWaveBuffer* buffer : buffers) buffer->AddSamples(frame.data(), kGates);
            if (plot->RequestRepaint()) queued.fetch_add(1);
            if (f == kFrames / 2) {
                // Halfway, wait until the window thread has taken a request (a new one can be
                // queued again), so painting and producing overlap.
                servedMidway = WaitUntil([&] {
                    if (!plot->RequestRepaint()) return false;
                    queued.fetch_add(1);
                    return true;
                });
            }
        }
        done.store(true);
    });
    // The window thread paints whatever arrives until the producer is through.
    ProcessEventsUntil([&] { return done.load(); }, std::chrono::seconds(120));
    producer.join();
    ASSERT_TRUE(done.load());
    plot->RequestRepaint();
    const int64_t paintsAtEnd = plot->PaintCount();
    ASSERT_TRUE(ProcessEventsUntil([&] { return plot->PaintCount() > paintsAtEnd; }));

    for (CWaveBuffer* buffer : buffers) EXPECT_EQ(buffer->GetFramesReceived(), kFrames);
    EXPECT_TRUE(servedMidway.load());
    EXPECT_GT(queued.load(), 1);
    EXPECT_LT(queued.load(), kFrames) << "requests coalesce while one is pending";
    EXPECT_GT(plot->PaintCount(), paintsBefore);
    // The last frame is what the plot shows: sample 15 of frame 9999.
    double last = 0.0;
    ASSERT_TRUE(buffers[0]->GetSampleAt(buffers[0]->GetCapacity() - 1, &last));
    EXPECT_EQ(last, double((9999 * 7 + 15 * 13) % 90));
    EXPECT_GT(plot->GetWavePoints(0)->GetCount(), 0);
}

}  // namespace
