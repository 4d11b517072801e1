#include "pages/target/target_page_settings.h"

#include "app/app_config.h"
#include "app/xml_parser.h"

namespace {

constexpr const char* kCurrentFormat = "%.5f";

enum class Kind { Hex32, Int32, UInt32Decimal, Double };

// One attribute of the section and where its value lives.
struct Key {
    const char* name;
    Kind kind;
    uint32_t TargetPageSettings::*hex = nullptr;
    int32_t TargetPageSettings::*integer = nullptr;
    double CurrentConstants::*current = nullptr;
};

constexpr Key Hex(const char* name, uint32_t TargetPageSettings::*field) {
    return {name, Kind::Hex32, field, nullptr, nullptr};
}
constexpr Key Unsigned(const char* name, uint32_t TargetPageSettings::*field) {
    return {name, Kind::UInt32Decimal, field, nullptr, nullptr};
}
constexpr Key Int(const char* name, int32_t TargetPageSettings::*field) {
    return {name, Kind::Int32, nullptr, field, nullptr};
}
constexpr Key Current(const char* name, double CurrentConstants::*field) {
    return {name, Kind::Double, nullptr, nullptr, field};
}

// In the order they are written.
constexpr Key kKeys[] = {
    Hex("EnergyWaveWnd_ActiveColor", &TargetPageSettings::energyActiveColor),
    Hex("EnergyWaveWnd_InactiveColor", &TargetPageSettings::energyInactiveColor),
    Int("EnergyWaveWnd_ValueAutoScale", &TargetPageSettings::energyValueAutoScale),
    Int("EnergyWaveWnd_ValueDisplayMax", &TargetPageSettings::energyValueDisplayMax),
    Int("EnergyWaveWnd_WaveLineWidth", &TargetPageSettings::energyWaveLineWidth),
    Unsigned("DistanceWaveWnd_StateHeight", &TargetPageSettings::distanceStateHeight),
    Hex("DistanceWaveWnd_NobodyColor", &TargetPageSettings::distanceNobodyColor),
    Hex("DistanceWaveWnd_MotionColor", &TargetPageSettings::distanceMotionColor),
    Hex("DistanceWaveWnd_MotionlessColor", &TargetPageSettings::distanceMotionlessColor),
    Int("DistanceWaveWnd_WaveLineWidth", &TargetPageSettings::distanceWaveLineWidth),
    Current("CurrentDetectTimeMS", &CurrentConstants::detectTimeMs),
    Current("CurrentDetectValueMA", &CurrentConstants::detectValueMa),
    Current("CurrentLPValueMA", &CurrentConstants::lowPowerValueMa),
    Current("CurrentReportTimeMS", &CurrentConstants::reportTimeMs),
    Current("CurrentReportValueMA", &CurrentConstants::reportValueMa),
};

}  // namespace

void LoadTargetPageSettings(const XMLNode& section, TargetPageSettings& settings) {
    for (const Key& key : kKeys) {
        switch (key.kind) {
            case Kind::Hex32:
            case Kind::UInt32Decimal:
                section.GetAttributeUInt32(key.name, &(settings.*key.hex));
                break;
            case Kind::Int32:
                section.GetAttributeInt32(key.name, &(settings.*key.integer));
                break;
            case Kind::Double:
                section.GetAttributeDouble(key.name, &(settings.current.*key.current));
                break;
        }
    }
}

void SaveTargetPageSettings(XMLNode& section, const TargetPageSettings& settings) {
    for (const Key& key : kKeys) {
        switch (key.kind) {
            case Kind::Hex32:
                section.SetAttributeHex32(key.name, settings.*key.hex);
                break;
            case Kind::UInt32Decimal:
                // Written as a signed decimal, as the section always had it.
                section.SetAttributeInt64(key.name, static_cast<int32_t>(settings.*key.hex));
                break;
            case Kind::Int32:
                section.SetAttributeInt64(key.name, settings.*key.integer);
                break;
            case Kind::Double:
                section.SetAttributeDouble(key.name, settings.current.*key.current, kCurrentFormat);
                break;
        }
    }
}

XMLNode FindTargetPageSection(XMLParser& document) {
    XMLNode root;
    XMLNode section;
    if (document.FindRootNode(kAppConfigRootName, root) == 0) return section;
    root.FindOrAddChild(kObjectInfoSectionName, section);
    return section;
}
