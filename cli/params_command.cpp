// "params": the detection parameters - read, write, reset, and save to or load from a settings
// file - through the parameter record's device operations and its "ParamSetting" section.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/app_config.h"
#include "app/xml_parser.h"
#include "cli_context.h"
#include "cli_output.h"
#include "command_table.h"
#include "core/base_string.h"
#include "core/file_data.h"
#include "device_session.h"
#include "exit_codes.h"
#include "pages/params/param_diff.h"
#include "pages/params/radar_param_device.h"
#include "param_values.h"
#include "resources/string_table.h"

namespace {

// The exit code of a device operation's result (0, 1 not connected, 2 failed).
int ParamResultExit(int result, int failedTextId) {
    if (result == kParamResultSuccess) return kExitSuccess;
    if (result == kParamResultNotConnected) {
        PrintError(LoadStringText(kStrDeviceNotConnected));
        return kExitNoDevice;
    }
    PrintError(LoadStringText(failedTextId));
    return kExitFailed;
}

// Prints the record as "KEY=VALUE" lines (what "params set" takes) or one JSON object, each value
// in the format the settings file keeps it.
void PrintRecord(const CliContext& context, const RadarParamSetting& record) {
    const std::vector<ParamKey>& keys = ParamKeys();
    const std::vector<std::string> values = ParamValueTexts(record);
    std::string json = "{";
    for (size_t i = 0; i < keys.size(); ++i) {
        if (context.Json()) {
            json += (json.size() > 1 ? "," : "") + JsonString(keys[i].name) + ":" + values[i];
        } else {
            PrintOut(keys[i].name + "=" + values[i]);
        }
    }
    if (context.Json()) PrintOut(json + "}");
}

// Reads a settings file into `document`. A missing or empty file gives a new document with the
// "AppConfig" root unless `mustExist`; a file that is not an XML document with that root is
// refused (never overwritten). kExitSuccess or kExitFailed with the reason printed.
int ReadSettingsFile(const std::string& path, XMLParser& document, bool mustExist) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT && !mustExist) {
            XMLNode root;
            document.GetDocumentNode().FindOrAddChild(kAppConfigRootName, root);
            return kExitSuccess;
        }
        PrintError("cannot read " + path + ": " + strerror(errno));
        return kExitFailed;
    }
    if (!S_ISREG(info.st_mode)) {
        PrintError(path + " is not a regular file");
        return kExitFailed;
    }
    if (info.st_size == 0) {
        if (mustExist) {
            PrintError(path + " is empty");
            return kExitFailed;
        }
        XMLNode root;
        document.GetDocumentNode().FindOrAddChild(kAppConfigRootName, root);
        return kExitSuccess;
    }
    uint8_t* data = nullptr;
    const int64_t size = ReadFileDataA(path.c_str(), &data);
    if (size <= 0) {
        ReleaseFileData(data);
        PrintError("cannot read " + path);
        return kExitFailed;
    }
    const int parsed = document.LoadFromMemory(data, static_cast<size_t>(size));
    ReleaseFileData(data);
    XMLNode root;
    if (!parsed || !document.FindRootNode(kAppConfigRootName, root)) {
        PrintError(path + " is not a settings file (an XML document with the root \"" +
                   kAppConfigRootName + "\"); it is left as it is");
        return kExitFailed;
    }
    return kExitSuccess;
}

int RunGet(CliContext& context, const CommandLine& line) {
    if (const int usage = CheckWordCount(line, 2, 0, 0); usage != kExitSuccess) return usage;
    DeviceSession session;
    if (const int opened = session.Open(context); opened != kExitSuccess) return opened;
    RadarParamSetting record;
    const int result = ReadAllParameters(session.Device(), record);
    if (result != kParamResultSuccess) return ParamResultExit(result, kStrReadParamsFailed);
    PrintRecord(context, record);
    return kExitSuccess;
}

int RunSet(CliContext& context, const CommandLine& line) {
    if (const int usage = CheckWordCount(line, 2, 1, SIZE_MAX); usage != kExitSuccess) {
        return usage;
    }
    // Every assignment is checked before the port is opened.
    std::vector<std::pair<const ParamKey*, std::string>> changes;
    for (size_t i = 2; i < line.words.size(); ++i) {
        const std::string& word = line.words[i];
        const size_t equals = word.find('=');
        if (equals == std::string::npos) {
            return UsageError("'" + word + "' is not KEY=VALUE");
        }
        const ParamKey* key = FindParamKey(word.substr(0, equals));
        if (key == nullptr) {
            return UsageError("no parameter '" + word.substr(0, equals) +
                              "' (the names are those 'params get' shows)");
        }
        RadarParamSetting probe;
        std::string error;
        if (!SetParamValue(probe, *key, word.substr(equals + 1), error)) return UsageError(error);
        changes.emplace_back(key, word.substr(equals + 1));
    }

    DeviceSession session;
    if (const int opened = session.Open(context); opened != kExitSuccess) return opened;
    // The sensor's own values stay for every key not named.
    RadarParamSetting record;
    int result = ReadAllParameters(session.Device(), record);
    if (result != kParamResultSuccess) return ParamResultExit(result, kStrReadParamsFailed);
    for (const auto& [key, value] : changes) {
        std::string error;
        SetParamValue(record, *key, value, error);
    }
    result = WriteAllParameters(session.Device(), record);
    if (result != kParamResultSuccess) return ParamResultExit(result, kStrSetParamsFailed);
    PrintOut(LoadStringText(kStrSetParamsSucceeded));
    return kExitSuccess;
}

int RunReset(CliContext& context, const CommandLine& line) {
    if (const int usage = CheckWordCount(line, 2, 0, 0); usage != kExitSuccess) return usage;
    DeviceSession session;
    if (const int opened = session.Open(context); opened != kExitSuccess) return opened;
    RadarParamSetting record;
    ResetToDefaults(record);
    const int result = WriteAllParameters(session.Device(), record);
    if (result != kParamResultSuccess) return ParamResultExit(result, kStrSetParamsFailed);
    PrintOut(LoadStringText(kStrSetParamsSucceeded));
    return kExitSuccess;
}

int RunSave(CliContext& context, const CommandLine& line) {
    if (const int usage = CheckWordCount(line, 2, 0, 1); usage != kExitSuccess) return usage;
    const bool toOwnFile = line.words.size() == 2;
    const std::string path = toOwnFile ? GetAppConfigPath() : line.words[2];
    XMLParser fileDocument;
    // The file is checked before the sensor is asked, so that a refused file costs nothing.
    if (!toOwnFile) {
        if (const int read = ReadSettingsFile(path, fileDocument, false); read != kExitSuccess) {
            return read;
        }
    }
    DeviceSession session;
    if (const int opened = session.Open(context); opened != kExitSuccess) return opened;
    RadarParamSetting record;
    const int result = ReadAllParameters(session.Device(), record);
    if (result != kParamResultSuccess) return ParamResultExit(result, kStrReadParamsFailed);

    bool saved = false;
    if (toOwnFile) {
        saved = SaveToConfig(record, gAppConfig) && SaveAppConfig();
    } else {
        SaveToConfig(record, fileDocument);
        const std::string bytes = fileDocument.SaveToString();
        saved = WriteFileDataA(path.c_str(), bytes.data(), bytes.size(), 0) != 0;
    }
    if (!saved) {
        PrintError("cannot write " + (path.empty() ? std::string(kAppConfigFileName) : path) +
                   " (--verbose tells why); the previous file is unchanged");
        return kExitFailed;
    }
    PrintOut(std::string(LoadStringText(kStrSaveParamsSucceeded)) + ": " + path);
    return kExitSuccess;
}

// The "ParamSetting" section of FILE (the word after the subcommand) or, without FILE, of
// appConfig.xml; `path` names where it came from. kExitSuccess or kExitFailed (reason printed).
int FindFileSection(const CliContext& context, const CommandLine& line, XMLParser& fileDocument,
                    XMLNode& section, std::string& path) {
    XMLParser* document = &fileDocument;
    if (line.words.size() == 2) {
        path = GetAppConfigPath();
        if (!context.SettingsFileRead()) {
            PrintError("no settings file to load: " + path);
            return kExitFailed;
        }
        document = &gAppConfig;
    } else {
        path = line.words[2];
        if (const int read = ReadSettingsFile(path, fileDocument, true); read != kExitSuccess) {
            return read;
        }
    }
    XMLNode root;
    if (!document->FindRootNode(kAppConfigRootName, root) ||
        !root.FindChild(kParamSettingSectionName, section)) {
        PrintError(path + " holds no \"" + kParamSettingSectionName + "\" section");
        return kExitFailed;
    }
    return kExitSuccess;
}

// The start of load and diff: the section of FILE (checked before the port is opened), then the
// sensor's current values. kExitSuccess, or the exit status with the reason printed.
int ReadSectionAndSensor(CliContext& context, const CommandLine& line, XMLParser& fileDocument,
                         XMLNode& section, std::string& path, DeviceSession& session,
                         RadarParamSetting& sensor) {
    if (const int usage = CheckWordCount(line, 2, 0, 1); usage != kExitSuccess) return usage;
    if (const int found = FindFileSection(context, line, fileDocument, section, path);
        found != kExitSuccess) {
        return found;
    }
    if (const int opened = session.Open(context); opened != kExitSuccess) return opened;
    const int result = ReadAllParameters(session.Device(), sensor);
    if (result != kParamResultSuccess) return ParamResultExit(result, kStrReadParamsFailed);
    return kExitSuccess;
}

int RunLoad(CliContext& context, const CommandLine& line) {
    XMLParser fileDocument;
    XMLNode section;
    std::string path;
    DeviceSession session;
    RadarParamSetting record;
    if (const int read =
            ReadSectionAndSensor(context, line, fileDocument, section, path, session, record);
        read != kExitSuccess) {
        return read;
    }
    // Keys the file does not hold keep the sensor's values.
    LoadFromConfig(record, section);
    const int result = WriteAllParameters(session.Device(), record);
    if (result != kParamResultSuccess) return ParamResultExit(result, kStrSetParamsFailed);
    PrintOut(LoadStringText(kStrSetParamsSucceeded));
    return kExitSuccess;
}

// What "params load" would change: the sensor's values against the file's (keys the file lacks
// keep the sensor's, as load keeps them). Exit 0 when equal, 1 when they differ.
int RunDiff(CliContext& context, const CommandLine& line) {
    XMLParser fileDocument;
    XMLNode section;
    std::string path;
    DeviceSession session;
    RadarParamSetting sensor;
    if (const int read =
            ReadSectionAndSensor(context, line, fileDocument, section, path, session, sensor);
        read != kExitSuccess) {
        return read;
    }
    RadarParamSetting file = sensor;
    LoadFromConfig(file, section);
    const std::vector<ParamChange> changes = DiffParamRecords(sensor, file);
    if (context.Json()) {
        std::string json = std::string("{\"equal\":") + (changes.empty() ? "true" : "false") +
                           ",\"file\":" + JsonString(path) + ",\"changes\":[";
        for (size_t i = 0; i < changes.size(); ++i) {
            json += (i > 0 ? ",{\"name\":" : "{\"name\":") + JsonString(changes[i].name) +
                    ",\"sensor\":" + changes[i].oldValue + ",\"file\":" + changes[i].newValue + "}";
        }
        PrintOut(json + "]}");
    } else {
        for (const ParamChange& change : changes) PrintOut(ParamChangeText(change));
    }
    return changes.empty() ? kExitSuccess : kExitFailed;
}

int RunParams(CliContext& context, const CommandLine& line) {
    if (line.words.size() < 2) {
        return UsageError("'params' needs a subcommand: get, set, reset, save, load or diff");
    }
    const std::string& sub = line.words[1];
    if (sub == "get") return RunGet(context, line);
    if (sub == "set") return RunSet(context, line);
    if (sub == "reset") return RunReset(context, line);
    if (sub == "save") return RunSave(context, line);
    if (sub == "load") return RunLoad(context, line);
    if (sub == "diff") return RunDiff(context, line);
    return UsageError("no subcommand 'params " + sub + "'");
}

}  // namespace

CommandSpec ParamsCommand() {
    return {"params",
            "params get|set KEY=VALUE...|reset|save|load|diff [FILE]",
            "the sensor's parameters: get/set/reset/save/load/diff",
            "The sensor's detection parameters, named as in the \"ParamSetting\" section of\n"
            "appConfig.xml, in its units (metres, Hz, seconds, dB).\n"
            "  get             read them from the sensor: KEY=VALUE lines or a JSON object\n"
            "  set KEY=VALUE...\n"
            "                  read them, change the named ones and write them all back, e.g.\n"
            "                  'params set DetectRangeMax=4.9 Gate3TriggerThreshold=40';\n"
            "                  an unknown key or a malformed value is a usage error\n"
            "  reset           write the factory defaults\n"
            "  save [FILE]     read them and store them as the \"ParamSetting\" section of FILE\n"
            "                  (an XML file with the root \"AppConfig\", created when missing;\n"
            "                  its other content is kept); without FILE into appConfig.xml\n"
            "  load [FILE]     write the section of FILE (default appConfig.xml) to the\n"
            "                  sensor; keys the section lacks keep the sensor's values\n"
            "  diff [FILE]     compare the sensor's values with the section of FILE (default\n"
            "                  appConfig.xml): one line 'KEY: SENSOR -> FILE' per difference\n"
            "                  (what load would change) or a JSON object with --json;\n"
            "                  exit status 0 when they are equal, 1 when they differ\n",
            {},
            RunParams};
}
