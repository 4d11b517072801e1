#include "pages/target/waterfall_model.h"

#include <algorithm>
#include <cstring>

#include "draw/color_table.h"

WaterfallModel::WaterfallModel(size_t maxRows) : m_rows(std::max<size_t>(maxRows, 1)) {
    InitHotImageColorTable(m_table.data());
}

void WaterfallModel::Add(const TargetReport& report) {
    const size_t slot = m_count < m_rows.size() ? Slot(m_count) : m_first;
    std::memcpy(m_rows[slot].data(), report.gateEnergy, sizeof report.gateEnergy);
    if (m_count < m_rows.size()) {
        ++m_count;
    } else {
        m_first = (m_first + 1) % m_rows.size();
    }
    ++m_added;
}

void WaterfallModel::Clear() {
    m_first = 0;
    m_count = 0;
    m_added = 0;
}

const std::array<double, kGateCount>& WaterfallModel::RowEnergies(size_t row) const {
    return m_rows[Slot(row)];
}

WaterfallPixels WaterfallModel::RowPixels(size_t row) const {
    WaterfallPixels pixels{};
    ImageDataToHotImage(RowEnergies(row).data(), kGateCount, kWaterfallFloorDb, kWaterfallTopDb,
                        m_table.data(), pixels.data(), nullptr);
    return pixels;
}

uint32_t WaterfallModel::EnergyColour(double energyDb) const {
    uint32_t pixel = 0;
    ImageDataToHotImage(&energyDb, 1, kWaterfallFloorDb, kWaterfallTopDb, m_table.data(), &pixel,
                        nullptr);
    return pixel;
}
