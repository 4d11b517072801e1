#include "serial_port_table.h"

#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

struct PortTable {
    std::mutex guard;
    std::vector<std::string> names;  // number n is names[n - 1]
    std::unordered_map<std::string, int> numbers;
};

PortTable& Table() {
    // Never destroyed: ports may be looked up from other static destructors.
    static PortTable* table = new PortTable;
    return *table;
}

}  // namespace

int SerialPortNumberOf(const std::string& name) {
    if (name.empty()) return 0;
    PortTable& table = Table();
    std::lock_guard<std::mutex> hold(table.guard);
    auto found = table.numbers.find(name);
    if (found != table.numbers.end()) return found->second;
    table.names.push_back(name);
    const int number = static_cast<int>(table.names.size());
    table.numbers.emplace(name, number);
    return number;
}

bool SerialPortNameOf(int number, std::string& name) {
    PortTable& table = Table();
    std::lock_guard<std::mutex> hold(table.guard);
    if (number < 1 || static_cast<size_t>(number) > table.names.size()) return false;
    name = table.names[number - 1];
    return true;
}
