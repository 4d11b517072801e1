// "ports": the serial ports present, with the numbers this process's port table gives them.
#include <string>

#include "cli_context.h"
#include "cli_output.h"
#include "command_table.h"
#include "core/ptr_list_ctrl.h"
#include "core/text_format.h"
#include "exit_codes.h"
#include "resources/string_table.h"
#include "serial/serial_port_enum.h"
#include "serial/serial_port_table.h"

namespace {

int RunPorts(CliContext& context, const CommandLine& line) {
    if (const int usage = CheckWordCount(line, 1, 0, 0); usage != kExitSuccess) return usage;
    CPtrListCtrl list;
    EnumSerialPortNameA(&list);
    std::string json = "[";
    for (int i = 0; i < list.GetCount(); ++i) {
        const std::string name = static_cast<const char*>(list.GetAt(i));
        const int number = SerialPortNumberOf(name);
        std::string text;
        if (context.Json()) {
            FormatText(text, "%s{\"number\":%d,\"path\":%s}", i > 0 ? "," : "", number,
                       JsonString(name).c_str());
            json += text;
        } else {
            FormatText(text, "%3d  %s", number, name.c_str());
            PrintOut(text);
        }
    }
    const int count = list.GetCount();
    FreeSerialPortNameA(&list);
    if (context.Json()) {
        PrintOut(json + "]");
    } else if (count == 0) {
        PrintErr(std::string(LoadStringText(kStrNoDeviceDetected)) + "\n");
    }
    return kExitSuccess;
}

}  // namespace

CommandSpec PortsCommand() {
    return {"ports",
            "ports",
            "list the serial ports present, with their numbers",
            "Lists the serial ports present: hardware ports first, then the virtual ports\n"
            "(such as zorvan-sim's) of $XDG_RUNTIME_DIR/orbo-serial. Each line gives the\n"
            "number --port accepts and the port's path; paths stay valid across runs.\n",
            {},
            RunPorts};
}
