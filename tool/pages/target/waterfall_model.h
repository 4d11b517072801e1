// The energy plot's waterfall: one row per report (gates across), oldest first, at most a fixed
// number of rows (the oldest leaves when a new one comes), each energy turned into a pixel through
// the library's hot colour table over a fixed dB range, so that a colour means the same energy
// in every row and every run.
//
// A plain value: the caller serialises access (the page adds reports and draws on the window
// thread).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/report_frame.h"

// Rows kept by default: as many reports as the state band shows.
constexpr size_t kWaterfallDefaultRows = 240;
// The colour scale: energies at or below the floor take the table's first entry ("nothing"),
// energies at or above the top its last. 16-bit raw energies stay below 57 dB.
constexpr double kWaterfallFloorDb = 0.0;
constexpr double kWaterfallTopDb = 60.0;
constexpr size_t kHotColourCount = 256;

// One row's pixels, 0xAARRGGBB (opaque), gate 0 first.
using WaterfallPixels = std::array<uint32_t, kGateCount>;

class WaterfallModel {
public:
    // Keeps at most `maxRows` rows (at least 1).
    explicit WaterfallModel(size_t maxRows = kWaterfallDefaultRows);

    // Appends a row for the report; drops the oldest row when full.
    void Add(const TargetReport& report);
    void Clear();

    size_t RowCount() const { return m_count; }
    size_t MaxRows() const { return m_rows.size(); }
    // Reports added since the last Clear (rows that left count too).
    uint64_t Added() const { return m_added; }

    // Row `row` (0 = oldest kept, RowCount() - 1 = newest); row < RowCount().
    const std::array<double, kGateCount>& RowEnergies(size_t row) const;
    // The number of the row's report since the last Clear, counted from 0.
    uint64_t RowReportNumber(size_t row) const { return m_added - m_count + row; }
    // The row's colours through the hot colour table.
    WaterfallPixels RowPixels(size_t row) const;

    // The colour of one energy.
    uint32_t EnergyColour(double energyDb) const;

private:
    size_t Slot(size_t row) const { return (m_first + row) % m_rows.size(); }

    std::vector<std::array<double, kGateCount>> m_rows;  // a ring from m_first
    size_t m_first = 0;
    size_t m_count = 0;
    uint64_t m_added = 0;
    std::array<uint32_t, kHotColourCount> m_table{};
};
