#include "cli_context.h"

#include <string_view>
#include <vector>

#include "app/app_config.h"
#include "cli_output.h"
#include "core/base_string.h"
#include "core/dbg_output.h"
#include "core/ptr_list_ctrl.h"
#include "exit_codes.h"
#include "resources/string_table.h"
#include "serial/serial_dcb_string.h"
#include "serial/serial_port_enum.h"
#include "serial/serial_port_table.h"

namespace {

constexpr uint32_t kDefaultBaudRate = 115200;

// --verbose: every debug line on standard error, without its "\r".
int VerboseSink(uintptr_t, uint32_t, const char* line, int length) {
    std::string text(line, length > 0 ? static_cast<size_t>(length) : 0);
    PrintErr(PlainText(text) + "\n");
    return 1;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

std::vector<std::string> ListPorts() {
    CPtrListCtrl list;
    EnumSerialPortNameA(&list);
    std::vector<std::string> names;
    for (int i = 0; i < list.GetCount(); ++i) {
        names.emplace_back(static_cast<const char*>(list.GetAt(i)));
    }
    FreeSerialPortNameA(&list);
    return names;
}

}  // namespace

CliContext::~CliContext() {
    if (m_verbose) DbgOutputDelCallback(VerboseSink);
}

XMLNode CliContext::SettingsRoot() const {
    XMLNode root;
    gAppConfig.FindRootNode(kAppConfigRootName, root);
    return root;
}

int CliContext::Setup(const CommandLine& line) {
    if (line.Has("verbose")) {
        m_verbose = true;
        DbgOutputAddCallback(VerboseSink, 0);
    }
    m_json = line.Has("json");
    m_settingsRead = LoadAppConfig() != 0;
    const XMLNode root = SettingsRoot();

    if (const std::string* lang = line.Value("lang")) {
        if (EqualIgnoringCase(*lang, "en")) {
            SetSelectedLanguage(UiLanguage::English);
        } else if (EqualIgnoringCase(*lang, "zh")) {
            SetSelectedLanguage(UiLanguage::Chinese);
        } else {
            PrintError("--lang takes en or zh, not '" + *lang + "'");
            return kExitUsage;
        }
    } else {
        CBaseStringA language;
        root.GetAttributeText("Language", language);
        SelectLanguage(language.GetString(), GetProcessLocaleName().c_str());
    }

    int32_t baud = static_cast<int32_t>(kDefaultBaudRate);
    root.GetAttributeInt32("BaudRate", &baud);
    m_serial.baudRate = baud > 0 ? static_cast<uint32_t>(baud) : kDefaultBaudRate;
    if (const std::string* text = line.Value("baud")) {
        const auto value = ParseUnsigned(*text, UINT32_MAX);
        if (!value || *value == 0) {
            PrintError("--baud takes a positive whole number of bits per second, not '" + *text +
                       "'");
            return kExitUsage;
        }
        m_serial.baudRate = static_cast<uint32_t>(*value);
    }

    root.GetAttributeUInt8("ByteSize", &m_serial.byteSize);
    root.GetAttributeUInt8("ParityMode", &m_serial.parity);
    root.GetAttributeUInt8("StopBits", &m_serial.stopBits);
    if (const std::string* text = line.Value("line")) {
        SerialParseDCBString(text->c_str(), static_cast<int>(text->size()), &m_serial.byteSize,
                             &m_serial.parity, &m_serial.stopBits);
        // The parser takes anything; only a text that names its settings exactly is accepted.
        CBaseStringA canonical;
        SerialDCBToString(m_serial.byteSize, m_serial.parity, m_serial.stopBits, &canonical);
        if (!EqualIgnoringCase(*text, canonical.GetString())) {
            PrintError(
                "--line takes data bits 4-8, parity N/O/E/M/S and stop bits 1/1.5/2, "
                "such as 8N1, not '" +
                *text + "'");
            return kExitUsage;
        }
    }

    if (const std::string* port = line.Value("port")) {
        if (port->empty()) {
            PrintError("--port needs a port path or number");
            return kExitUsage;
        }
        m_port = *port;
    }
    return kExitSuccess;
}

int CliContext::ResolvePort(int& number, std::string& name) const {
    const std::vector<std::string> present = ListPorts();
    if (!m_port.empty()) {
        if (const auto value = ParseUnsigned(m_port, INT32_MAX)) {
            number = static_cast<int>(*value);
            if (number == 0 || !SerialPortNameOf(number, name)) {
                PrintError("no port has the number " + m_port + " (see '" + kProgramName +
                           " ports')");
                return kExitNoDevice;
            }
            return kExitSuccess;
        }
        name = m_port;
        number = SerialPortNumberOf(name);
        return kExitSuccess;
    }
    if (present.empty()) {
        PrintError(std::string(LoadStringText(kStrNoDeviceDetected)));
        return kExitNoDevice;
    }
    if (present.size() > 1) {
        std::string list;
        for (const std::string& port : present) list += "\n  " + port;
        PrintError("several ports are present; choose one with --port:" + list);
        return kExitUsage;
    }
    name = present.front();
    number = SerialPortNumberOf(name);
    return kExitSuccess;
}
