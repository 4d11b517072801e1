// The target page's own settings: the element "ObjectInfo" below the root "AppConfig" (the plot
// colours, widths and scales, and the constants of the current estimate). The page's acquisition
// settings are root attributes (device/acquisition_settings.h).
//
// Colours are 0xAARRGGBB except EnergyWaveWnd_ActiveColor, which the plot takes as 0xAABBGGRR
// (red in the lowest byte) and is handed on unchanged.
//
// Window thread, like the document.
#pragma once

#include <cstdint>

#include "pages/target/target_status.h"

class XMLNode;
class XMLParser;

constexpr const char* kObjectInfoSectionName = "ObjectInfo";

struct TargetPageSettings {
    uint32_t energyActiveColor = 0xFF000000;        // "EnergyWaveWnd_ActiveColor"
    uint32_t energyInactiveColor = 0xBFC3C3C3;      // "EnergyWaveWnd_InactiveColor"
    int32_t energyValueAutoScale = 0;               // "EnergyWaveWnd_ValueAutoScale"
    int32_t energyValueDisplayMax = 100;            // "EnergyWaveWnd_ValueDisplayMax"
    int32_t energyWaveLineWidth = 5;                // "EnergyWaveWnd_WaveLineWidth"
    uint32_t distanceStateHeight = 50;              // "DistanceWaveWnd_StateHeight"
    uint32_t distanceNobodyColor = 0xFF15BC59;      // "DistanceWaveWnd_NobodyColor"
    uint32_t distanceMotionColor = 0xFFFC5D45;      // "DistanceWaveWnd_MotionColor"
    uint32_t distanceMotionlessColor = 0xFF3478FF;  // "DistanceWaveWnd_MotionlessColor"
    int32_t distanceWaveLineWidth = 5;              // "DistanceWaveWnd_WaveLineWidth"
    CurrentConstants current;  // "CurrentDetectTimeMS" ... "CurrentReportValueMA"
};

// Reads the fifteen attributes of the section; missing or empty ones keep what `settings` holds.
void LoadTargetPageSettings(const XMLNode& section, TargetPageSettings& settings);
// Writes the fifteen attributes in the order above: colours "0x%08x", integers as signed
// decimals, the current constants "%.5f" (unchanged texts leave the document unmodified).
void SaveTargetPageSettings(XMLNode& section, const TargetPageSettings& settings);

// The section below the document's root "AppConfig", created when missing (which marks the
// document modified); empty when the document has no such root.
XMLNode FindTargetPageSection(XMLParser& document);
