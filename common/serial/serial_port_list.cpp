#include "serial_port_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <set>

#include "virtual_port_folder.h"

namespace {

bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

// "<prefix><digits>" with at least one digit.
bool IsNumbered(const std::string& name, const char* prefix) {
    const std::string start(prefix);
    if (name.size() <= start.size() || name.compare(0, start.size(), start) != 0) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(start.size()), name.end(),
                       IsDigit);
}

bool IsCharacterDevice(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// A built-in UART slot without hardware has sysfs type 0 (PORT_UNKNOWN).
bool HasUart(const std::string& sysTtyEntry) {
    std::ifstream typeFile(sysTtyEntry + "/type");
    long type = 0;
    return static_cast<bool>(typeFile >> type) && type != 0;
}

bool IsHardwarePortName(const std::string& sysRoot, const std::string& name) {
    if (IsNumbered(name, "ttyUSB") || IsNumbered(name, "ttyACM")) return true;
    return IsNumbered(name, "ttyS") && HasUart(sysRoot + "/" + name);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return names;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end(), SerialPortNameLess);
    return names;
}

}  // namespace

bool SerialPortNameLess(const std::string& a, const std::string& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            size_t endA = i;
            size_t endB = j;
            while (endA < a.size() && IsDigit(a[endA])) ++endA;
            while (endB < b.size() && IsDigit(b[endB])) ++endB;
            size_t startA = i;
            size_t startB = j;
            while (startA + 1 < endA && a[startA] == '0') ++startA;
            while (startB + 1 < endB && b[startB] == '0') ++startB;
            const size_t lengthA = endA - startA;
            const size_t lengthB = endB - startB;
            if (lengthA != lengthB) return lengthA < lengthB;
            const int order = a.compare(startA, lengthA, b, startB, lengthB);
            if (order != 0) return order < 0;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return j < b.size();
    return a < b;  // equal by value ("ttyS01" and "ttyS1"): any consistent order
}

SerialPortRoots SystemSerialPortRoots() {
    SerialPortRoots roots;
    roots.virtualFolder = VirtualSerialPortFolder();
    return roots;
}

std::vector<std::string> ListSerialPortNames(const SerialPortRoots& roots) {
    std::vector<std::string> ports;
    std::set<std::string> seen;
    auto add = [&](const std::string& path) {
        if (seen.insert(path).second) ports.push_back(path);
    };

    for (const std::string& name : FolderEntries(roots.sysClassTty)) {
        if (!IsHardwarePortName(roots.sysClassTty, name)) continue;
        const std::string path = roots.dev + "/" + name;
        if (IsCharacterDevice(path)) add(path);
    }

    if (!roots.virtualFolder.empty() && IsTrustedVirtualSerialPortFolder(roots.virtualFolder)) {
        for (const std::string& name : FolderEntries(roots.virtualFolder)) {
            const std::string path = roots.virtualFolder + "/" + name;
            struct stat info {};
            if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
                IsCharacterDevice(path)) {
                add(path);
            }
        }
    }
    return ports;
}
