// "info": the sensor's firmware version and serial number, as the main window shows them on
// connect.
#include <string>

#include "cli_context.h"
#include "cli_output.h"
#include "command_table.h"
#include "core/base_string.h"
#include "device_session.h"
#include "exit_codes.h"

namespace {

int RunInfo(CliContext& context, const CommandLine& line) {
    if (const int usage = CheckWordCount(line, 1, 0, 0); usage != kExitSuccess) return usage;
    DeviceSession session;
    if (const int opened = session.Open(context); opened != kExitSuccess) return opened;
    CBaseStringA version;
    CBaseStringA serialNumber;
    const bool haveVersion = Orbo_Interface_RadarDevice_GetVersion(session.Device(), version);
    const bool haveSerial =
        Orbo_Interface_RadarDevice_GetSerialNumber(session.Device(), serialNumber);
    if (context.Json()) {
        PrintOut("{\"port\":" + JsonString(session.PortName()) +
                 ",\"version\":" + JsonString(version.GetString()) +
                 ",\"serialNumber\":" + JsonString(serialNumber.GetString()) + "}");
    } else {
        PrintOut(std::string("Ver: ") + (haveVersion ? version.GetString() : "Unknown"));
        PrintOut(std::string("SN: ") + (haveSerial ? serialNumber.GetString() : "Unknown"));
    }
    if (!haveVersion || !haveSerial) {
        PrintError("the sensor did not give its " +
                   std::string(!haveVersion ? "version" : "serial number"));
        return kExitFailed;
    }
    return kExitSuccess;
}

}  // namespace

CommandSpec InfoCommand() {
    return {"info",
            "info",
            "show the sensor's firmware version and serial number",
            "Opens the port, reads the sensor's firmware version and serial number in\n"
            "command mode and shows them (\"Ver:\" and \"SN:\" lines, or one JSON object).\n",
            {},
            RunInfo};
}
