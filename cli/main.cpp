// zorvan-cli: the headless companion of the Zorvan tool (see "zorvan-cli --help").
#include <string>
#include <vector>

#include "cli_app.h"

int main(int argc, char** argv) {
    return RunCli(std::vector<std::string>(argv + 1, argv + argc));
}
