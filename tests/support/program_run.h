// Runs a program in-process or as the built executable and captures what it
// printed and its exit status.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace varkit::testing {

struct ProgramResult {
    int status = -1;
    std::string out;
    std::string err;
};

using ProgramMain = int (*)(int argc, char** argv, Runtime& rt);

// Calls program(argc, argv, rt) with argv[0] = "prog" followed by `args`,
// output and error streams in memory.
ProgramResult run_in_process(ProgramMain program, const std::vector<std::string>& args,
                             Platform& platform);

// Runs an executable of build/bin by name ("Varlook") with `args`, feeding
// `input` on its standard input, in the C locale; `env` entries
// ("NAME=value", "LC_ALL=C.UTF-8") are added to the environment, and an entry
// "NAME=" with nothing after the '=' removes NAME. Waits at most 30 seconds. With VARKIT_TEST_WINE_BIN set it runs
// <Name>.exe of that folder through Wine instead.
ProgramResult run_executable(const std::string& name, const std::vector<std::string>& args,
                             const std::vector<std::string>& env = {},
                             const std::string& input = "");

// True when run_executable starts the Windows build's programs through Wine
// (VARKIT_TEST_WINE_BIN names their folder), for the few checks where Windows
// rightly differs.
bool programs_run_through_wine();

// The same for any command: argv[0] is the program's path.
ProgramResult run_command(const std::vector<std::string>& argv,
                          const std::vector<std::string>& env = {}, const std::string& input = "");

// The path of a built program: build/bin/<name>.
std::string executable_path(const std::string& name);

}  // namespace varkit::testing
