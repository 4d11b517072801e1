// The tool's user-visible texts by string id, in English and Simplified Chinese, shared by the
// windows and zorvan-cli.
//
// The interface language is chosen once at start (SelectLanguage, or SetSelectedLanguage for an
// explicit choice such as zorvan-cli's --lang) and every lookup then answers in it. Texts are
// UTF-8 and stand exactly as the windows show them, "\r\n" line ends and printf conversions
// included; callers format them with FormatText.
//
// Thread-safe: the selection is an atomic value, the texts are constant.
#pragma once

#include <string>

enum class UiLanguage { English, Chinese };

// String ids.
constexpr int kStrSocketInitFailed = 102;
constexpr int kStrError = 10000;
constexpr int kStrNote = 10001;
constexpr int kStrSuccess = 10002;
constexpr int kStrStart = 10003;
constexpr int kStrStop = 10005;
constexpr int kStrReplay = 10006;
constexpr int kStrConnect = 10100;
constexpr int kStrDisconnect = 10101;
constexpr int kStrNoDeviceDetected = 10102;
constexpr int kStrDeviceNotConnected = 10103;
constexpr int kStrOpenDeviceFailed = 10104;
constexpr int kStrReadParamsSucceeded = 10150;
constexpr int kStrReadParamsFailed = 10151;
constexpr int kStrSetParamsSucceeded = 10152;
constexpr int kStrSetParamsFailed = 10153;
constexpr int kStrSaveParamsSucceeded = 10154;
constexpr int kStrConfirmWriteParams = 10155;  // changed parameters, one "NAME: OLD -> NEW" a line
constexpr int kStrConfirm = 10156;
constexpr int kStrTargetStatus = 10300;  // state text, distance m, current mA
constexpr int kStrStateNone = 10301;
constexpr int kStrStatePresence = 10302;
constexpr int kStrStateMotionless = 10303;
constexpr int kStrEnergyPlotTitle = 10310;
constexpr int kStrEnergyPlotValueAxis = 10311;
constexpr int kStrEnergyPlotGateAxis = 10312;
constexpr int kStrEnergyLegendValue = 10313;
constexpr int kStrEnergyLegendTrigger = 10314;
constexpr int kStrEnergyLegendHold = 10315;
constexpr int kStrEnergyTipTarget = 10316;   // gate, dB
constexpr int kStrEnergyTipTrigger = 10317;  // gate, dB
constexpr int kStrEnergyTipHold = 10318;     // gate, dB
constexpr int kStrDistancePlotTitle = 10330;
constexpr int kStrDistancePlotValueAxis = 10331;
constexpr int kStrDistancePlotTimeAxis = 10332;
constexpr int kStrDistanceTip = 10333;  // seconds, metres
constexpr int kStrGenerateSucceeded = 10350;
constexpr int kStrGenerateFailed = 10351;
constexpr int kStrGenerateProgress = 10352;  // percent
constexpr int kStrOpenBinFailed = 10502;
constexpr int kStrPortEmpty = 10503;
constexpr int kStrOpenPortFailed = 10504;
constexpr int kStrObtainingFwInfo = 10505;
constexpr int kStrEnableProgramFailed = 10506;
constexpr int kStrRunningModeFailed = 10507;
constexpr int kStrDeviceIdFailed = 10508;
constexpr int kStrPartitionInfoFailed = 10509;
constexpr int kStrBinFileError = 10510;
constexpr int kStrNoPartition = 10511;
constexpr int kStrSoftResetFailed = 10512;
constexpr int kStrSendBinInfoFailed = 10513;  // error code
constexpr int kStrPacketFailed = 10514;       // sequence number, error code
constexpr int kStrDownloading = 10515;
constexpr int kStrDownloadSucceeded = 10516;
constexpr int kStrBinFileSize = 10517;       // bytes
constexpr int kStrBinFileChecksum = 10518;   // checksum
constexpr int kStrDownloadProgress = 10519;  // percent (double)
constexpr int kStrPacketTooSmall = 10520;
constexpr int kStrDeviceId = 10521;         // identifier
constexpr int kStrCurrentFirmware = 10522;  // running-mode name
constexpr int kStrDeviceIdUnknown = 10523;
constexpr int kStrServiceLogonFailed = 10531;
constexpr int kStrServiceVersionFailed = 10532;
constexpr int kStrServiceDownloadFailed = 10533;
constexpr int kStrServiceProgress = 10534;  // percent (int), speed in bytes per ms (double)
constexpr int kStrFirmwareBusy = 10540;  // a close refused while a firmware job runs
// The plots' context menu and what it does.
constexpr int kStrMenuMaxHold = 10600;
constexpr int kStrMenuResetMaxHold = 10601;
constexpr int kStrMenuWaterfall = 10602;
constexpr int kStrMenuSavePng = 10603;
constexpr int kStrMenuCopyImage = 10604;
constexpr int kStrMenuExportCsv = 10605;
constexpr int kStrMenuFreeze = 10606;
constexpr int kStrEnergyLegendMaxHold = 10607;
constexpr int kStrMaxHoldTip = 10608;   // gate (int), maximum dB (double)
constexpr int kStrHeadroomTip = 10609;  // headroom dB (double)
constexpr int kStrSaveFailed = 10610;   // file path (text)
constexpr int kStrPngFilter = 10611;
constexpr int kStrCsvFilter = 10612;

// Chooses the interface language from the settings' "Language" attribute and the process
// locale, selects it and returns it. Names are compared without regard to letter case:
// "ENG" is English; "CHS", "CHT" and any name beginning with "zh" are Chinese; any other
// non-empty name is English. An empty or null attribute follows the locale: a locale whose
// language is zh ("zh", "zh_CN.UTF-8", "zh-TW", ...) is Chinese, anything else (including none)
// English.
UiLanguage SelectLanguage(const char* attribute, const char* locale);

// The same decision without selecting anything.
UiLanguage ChooseLanguage(const char* attribute, const char* locale);

// The process locale for messages as the C library would take it: the first non-empty of
// LC_ALL, LC_MESSAGES and LANG; empty when none is set.
std::string GetProcessLocaleName();

// The selected language (English until something is selected), and an explicit selection.
UiLanguage GetSelectedLanguage();
void SetSelectedLanguage(UiLanguage language);

// The text of a string id in the selected language, or in the given one. An unknown id gives an
// empty text and a level-3 line.
const char* LoadStringText(int id);
const char* LoadStringText(int id, UiLanguage language);

// 1 when the table holds the id, else 0.
int HasStringText(int id);
