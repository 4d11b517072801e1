// A firmware sink that records everything the procedures show, for tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "firmware/firmware_sink.h"

class RecordingFirmwareSink : public IFirmwareSink {
public:
    struct MessageBox {
        std::string title;
        std::string text;
        FirmwareMessageIcon icon;
    };

    void SetLabelText(FirmwareLabel label, const std::string& text) override {
        labels[label] = text;
        if (label == FirmwareLabel::DownloadProgressText) progressTexts.push_back(text);
    }
    void AppendInfoText(const std::string& text) override { infoLines.push_back(text); }
    void ScrollInfoToEnd() override { ++scrolls; }
    void SetPartitionItems(const std::vector<FirmwarePartitionItem>& newItems,
                           int newSelectedIndex) override {
        items = newItems;
        selectedIndex = newSelectedIndex;
        ++partitionListSets;
    }
    void SetProgressRange(uint32_t maximum) override { progressMax = maximum; }
    void SetProgressValue(uint32_t value) override { progressValues.push_back(value); }
    void SetDownloadingInfoVisible(bool visible) override { downloadingVisible.push_back(visible); }
    void ShowMessageBox(const std::string& title, const std::string& text,
                        FirmwareMessageIcon icon) override {
        boxes.push_back({title, text, icon});
    }

    std::string Label(FirmwareLabel label) const {
        const auto it = labels.find(label);
        return it == labels.end() ? std::string() : it->second;
    }
    std::string InfoText() const {
        std::string all;
        for (const std::string& line : infoLines) all += line;
        return all;
    }

    std::map<FirmwareLabel, std::string> labels;
    std::vector<std::string> progressTexts;
    std::vector<std::string> infoLines;
    int scrolls = 0;
    std::vector<FirmwarePartitionItem> items;
    int selectedIndex = -2;  // never set
    int partitionListSets = 0;
    uint32_t progressMax = 0;
    std::vector<uint32_t> progressValues;
    std::vector<bool> downloadingVisible;
    std::vector<MessageBox> boxes;
};
