// zorvan-cli as a function: parses the arguments, answers --help, --version and "help", sets up
// the common options and runs the command. Returns the exit code (exit_codes.h).
#pragma once

#include <string>
#include <vector>

int RunCli(const std::vector<std::string>& args);
