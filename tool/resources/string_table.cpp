#include "resources/string_table.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iterator>

#include "core/dbg_output.h"

namespace {

struct StringEntry {
    int id;
    const char* english;
    const char* chinese;
};

// Sorted by id (checked below) for the binary search.
constexpr StringEntry kStringTable[] = {
    {kStrSocketInitFailed, "Windows socket init failed.", "Windows 套接字初始化失败。"},
    {kStrError, "Error", "错误"},
    {kStrNote, "Note", "提示"},
    {kStrSuccess, "Success", "成功"},
    {kStrStart, "Start", "开始"},
    {kStrStop, "Stop", "停止"},
    {kStrReplay, "Replay", "回放"},
    {kStrConnect, "Connect", "连接设备"},
    {kStrDisconnect, "Disconn.", "断开设备"},
    {kStrNoDeviceDetected, "No Device Detected", "无串口设备"},
    {kStrDeviceNotConnected, "Device Not Connected", "设备未连接"},
    {kStrOpenDeviceFailed, "Failed to open device", "串口设备打开失败"},
    {kStrReadParamsSucceeded, "Succeed reading parameters", "读取参数成功"},
    {kStrReadParamsFailed, "Failed to read parameters", "读取参数失败"},
    {kStrSetParamsSucceeded, "Succeed setting parameters", "写入参数成功"},
    {kStrSetParamsFailed, "Failed to set parameters", "写入参数失败"},
    {kStrSaveParamsSucceeded, "Succeed saving parameters", "保存参数成功"},
    {kStrConfirmWriteParams,
     "Writing changes these parameters on the sensor (sensor -> page):\r\n%s\r\nWrite them?",
     "写入将修改传感器上的以下参数（传感器 -> 页面）：\r\n%s\r\n是否写入？"},
    {kStrConfirm, "Confirm", "确认"},
    {kStrTargetStatus,
     "Target Status: %s\r\nTarget Distance: %.2fm\r\nEstimated average operating current\r\n"
     "  (current configuration):%.5f mA\r\nData transmission will increase power consumption.",
     "目标状态: %s\r\n目标距离: %.2f米\r\n预估平均工作电流（当前配置）：%.5f mA\r\n"
     "MCU传输上位机数据会增加功耗"},
    {kStrStateNone, "None", "无人"},
    {kStrStatePresence, "Presence", "有人"},
    {kStrStateMotionless, "Presence(Motionless)", "有人(静止)"},
    {kStrEnergyPlotTitle, "FP VS RG", "功率VS距离门"},
    {kStrEnergyPlotValueAxis, "Fraction Power (dB)", "dB"},
    {kStrEnergyPlotGateAxis, "0.7 m/Range Gate", "0.7米/距离门"},
    {kStrEnergyLegendValue, "--Energy Value", "--能量值"},
    {kStrEnergyLegendTrigger, "--Trigger Threshold", "--触发门限"},
    {kStrEnergyLegendHold, "--Hold Threshold", "--保持门限"},
    {kStrEnergyTipTarget, "RG No.%d Target Energy: %.1f dB", "距离门%d 目标能量: %.1fdB"},
    {kStrEnergyTipTrigger, "RG No.%d Trigger Energy: %.1f dB", "距离门%d 触发能量: %.1fdB"},
    {kStrEnergyTipHold, "RG No.%d Hold Energy: %.1f dB", "距离门%d 保持能量: %.1fdB"},
    {kStrDistancePlotTitle, "Range VS Time", "距离VS时间"},
    {kStrDistancePlotValueAxis, "Range (m)", "距离(米)"},
    {kStrDistancePlotTimeAxis, "Time (sec.)", "时间(秒)"},
    {kStrDistanceTip, "No. %.1fs Range: %.1f m", "第%.1fs 距离: %.1f米"},
    {kStrGenerateSucceeded, "Successfully generated.", "门限生成成功。"},
    {kStrGenerateFailed, "Generate failed.", "门限生成失败。"},
    {kStrGenerateProgress, "Generate progress: %3d%%", "生成进度: %3d%%"},
    {kStrOpenBinFailed, "Failed to open the bin file, please check the directory!",
     "打开bin文件失败，请检查路径！"},
    {kStrPortEmpty, "Port No. cannot be NULL!", "端口号不能为空！"},
    {kStrOpenPortFailed, "Failed to open the port device!", "打开当前端口设备失败！"},
    {kStrObtainingFwInfo, "Obtaining firmware information\r\n", "开始获取固件信息\r\n"},
    {kStrEnableProgramFailed, "Failed to enable program!\r\n", "使能编程指令失败！\r\n"},
    {kStrRunningModeFailed, "Failed to obtain operation mode!\r\n", "获取运行模式失败\r\n"},
    {kStrDeviceIdFailed, "Failed to obtain device ID\r\n", "获取设备ID失败\r\n"},
    {kStrPartitionInfoFailed, "Failed to obtain program partition information\r\n",
     "获取编程分区信息失败\r\n"},
    {kStrBinFileError, "Bin file error!", "bin文件错误！"},
    {kStrNoPartition, "Please choose the download partition!", "未选择下载分区！"},
    {kStrSoftResetFailed, "Software-Reset Failed!\r\n", "软件复位指令失败！\r\n"},
    {kStrSendBinInfoFailed, "Failed to send bin file information, error code: %d\r\n",
     "发送bin文件信息失败，错误代码：%d\r\n"},
    {kStrPacketFailed, "Failed to download, serial no.: %d, error code: %d\r\n",
     "下载失败, 包序号：%d，错误代码：%d\r\n"},
    {kStrDownloading, "Downloading… \r\n", "下载中。。。。\r\n"},
    {kStrDownloadSucceeded, "Download successful! \r\n", "下载成功！\r\n"},
    {kStrBinFileSize, "Size of bin file: %d byte\r\n", "bin文件大小：%d byte\r\n"},
    {kStrBinFileChecksum, "Checksum: 0x%08x\r\n", "校验和：0x%08x\r\n"},
    {kStrDownloadProgress, "Download Progress: %.2f%%\r\n", "下载进度：%.2f%%\r\n"},
    {kStrPacketTooSmall, "Each pack must be more than 20 byte\r\n",
     "每个包大小必须大于 20 byte\r\n"},
    {kStrDeviceId, "Device ID: 0x%x\r\n", "设备ID：0x%x\r\n"},
    {kStrCurrentFirmware, "Current Firmware: %s", "当前运行固件: %s"},
    {kStrDeviceIdUnknown, "Device ID: Unknown", "设备ID: Unknown"},
    {kStrServiceLogonFailed, "Failed to log on to the firmware service!", "登录固件服务器失败！"},
    {kStrServiceVersionFailed, "Failed to obtain the firmware version information!",
     "获取固件版本信息失败！"},
    {kStrServiceDownloadFailed, "Failed to download the firmware!", "下载固件失败！"},
    // Bytes per millisecond are kilobytes (of 1000 bytes) per second.
    {kStrServiceProgress, "Firmware download: %d%%, %.2f kB/s", "固件下载：%d%%，%.2f kB/s"},
    {kStrFirmwareBusy,
     "A firmware download is running. Wait until it has ended before closing the tool.",
     "固件下载正在进行，请等待其结束后再关闭工具。"},
    {kStrMenuMaxHold, "Max-hold", "最大值保持"},
    {kStrMenuResetMaxHold, "Reset max-hold", "重置最大值保持"},
    {kStrMenuWaterfall, "Waterfall", "瀑布图"},
    {kStrMenuSavePng, "Save as PNG…", "另存为PNG…"},
    {kStrMenuCopyImage, "Copy to clipboard", "复制到剪贴板"},
    {kStrMenuExportCsv, "Export CSV…", "导出CSV…"},
    {kStrMenuFreeze, "Freeze display", "冻结显示"},
    {kStrEnergyLegendMaxHold, "--Max-hold", "--最大值保持"},
    {kStrMaxHoldTip, "RG No.%d Max-hold: %.1f dB", "距离门%d 最大值: %.1fdB"},
    {kStrHeadroomTip, "Headroom: %.1f dB", "余量: %.1fdB"},
    {kStrSaveFailed, "Cannot write %s", "无法写入 %s"},
    {kStrPngFilter, "PNG Image(*.png)", "PNG图片(*.png)"},
    {kStrCsvFilter, "CSV File(*.csv)", "CSV文件(*.csv)"},
};

constexpr bool IsSortedById() {
    for (size_t i = 1; i < std::size(kStringTable); ++i) {
        if (kStringTable[i - 1].id >= kStringTable[i].id) return false;
    }
    return true;
}
static_assert(IsSortedById(), "string table entries must be in ascending id order");

std::atomic<UiLanguage> gSelectedLanguage{UiLanguage::English};

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
    }
    return *a == *b;
}

bool StartsWithZh(const char* name) {
    return LowerAscii(name[0]) == 'z' && LowerAscii(name[1]) == 'h';
}

// A locale names Chinese when its language part is "zh": "zh" alone or followed by a territory,
// codeset or modifier ("zh_CN.UTF-8", "zh-TW", "zh@pinyin").
bool IsChineseLocale(const char* locale) {
    if (locale == nullptr || !StartsWithZh(locale)) return false;
    const char next = locale[2];
    return next == '\0' || next == '_' || next == '-' || next == '.' || next == '@';
}

const StringEntry* FindEntry(int id) {
    const auto* end = std::end(kStringTable);
    const auto* entry = std::lower_bound(std::begin(kStringTable), end, id,
                                         [](const StringEntry& e, int key) { return e.id < key; });
    return (entry != end && entry->id == id) ? entry : nullptr;
}

}  // namespace

UiLanguage ChooseLanguage(const char* attribute, const char* locale) {
    if (attribute == nullptr || attribute[0] == '\0') {
        return IsChineseLocale(locale) ? UiLanguage::Chinese : UiLanguage::English;
    }
    if (EqualNoCase(attribute, "CHS") || EqualNoCase(attribute, "CHT") || StartsWithZh(attribute)) {
        return UiLanguage::Chinese;
    }
    return UiLanguage::English;
}

UiLanguage SelectLanguage(const char* attribute, const char* locale) {
    const UiLanguage language = ChooseLanguage(attribute, locale);
    SetSelectedLanguage(language);
    return language;
}

std::string GetProcessLocaleName() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return std::string();
}

UiLanguage GetSelectedLanguage() {
    return gSelectedLanguage.load(std::memory_order_relaxed);
}

void SetSelectedLanguage(UiLanguage language) {
    gSelectedLanguage.store(language, std::memory_order_relaxed);
}

const char* LoadStringText(int id) {
    return LoadStringText(id, GetSelectedLanguage());
}

const char* LoadStringText(int id, UiLanguage language) {
    const StringEntry* entry = FindEntry(id);
    if (entry == nullptr) {
        DbgOutputA(kDbgLevelWarning, "String id %d is not in the string table\r\n", id);
        return "";
    }
    return language == UiLanguage::Chinese ? entry->chinese : entry->english;
}

int HasStringText(int id) {
    return FindEntry(id) != nullptr ? 1 : 0;
}
