// Helper processes, always started from an argument vector with
// posix_spawn, never through a shell: a file name with quotes, spaces or ';'
// reaches the helper as one argument and nothing else.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkit::desktop {

// The path of an executable of that name on $PATH, or "" when there is none.
std::string find_program(std::string_view name);

struct Finished {
    int exit_status = -1;  // -1 when it was killed or ended by a signal
    std::string out;
};

// Runs the program argv[0] (a path) with standard input and error on
// /dev/null, collecting its standard output, until it ends; with a limit it
// is killed when it runs longer. Nothing when it could not be started.
std::optional<Finished> run_program(const std::vector<std::string>& argv,
                                    std::optional<std::chrono::milliseconds> limit = std::nullopt);

// Starts the program argv[0] (a path) detached: in a session of its own, with
// /dev/null as its standard streams, not waited for and nobody's child here.
bool start_detached(const std::vector<std::string>& argv);

}  // namespace varkit::desktop
