// Runs outside tools (xclip, Xvfb's clients, an image reader) for the
// platform tests, with a time limit so a stuck tool fails the test instead
// of hanging it.
#pragma once

#include <string>
#include <vector>

namespace varkit::testing {

struct ToolResult {
    int status = -1;  // exit status, -1 when killed or not started
    std::string out;
};

// Runs argv (argv[0] looked up on PATH) with `input` on its standard input
// and standard error on /dev/null. With `capture` its standard output is
// collected; without it goes to /dev/null (xclip -i leaves a process behind
// that would otherwise hold the pipe open).
ToolResult run_tool(const std::vector<std::string>& argv, const std::string& input = "",
                    bool capture = true);

// True when a program of that name is on PATH (or the path is executable).
bool tool_exists(const std::string& name);

}  // namespace varkit::testing
