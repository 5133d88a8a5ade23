// What the file layer asks of the system it runs on: a few small steps, each
// system's in a source file of its own (file_io_posix.cpp, file_io_win32.cpp).
// The rules built from them (outputs that appear only complete, files removed
// on interruption) are written once, in file_io.cpp.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "varfile/file_io.h"

namespace varkit::system_files {

enum class PathKind {
    Missing,  // nothing of that name
    Regular,
    Folder,
    Other,   // a device, pipe, terminal or console
    Unknown  // the lookup failed otherwise
};

// What is at `path`, following symbolic links.
PathKind path_kind(const std::string& path);

// The file an output named `path` replaces: `path` itself, or the end of the
// symbolic links it names (which need not exist yet). Empty when that cannot
// be told.
std::string replaced_file(const std::string& path);

// The folder part of a path, with its separator; empty for a bare name.
std::string folder_of(const std::string& path);

// The folder for scratch files, with its separator.
std::string scratch_folder();

// Creates a file of a name no other file had, `prefix` + random letters +
// `suffix`, open for update ("w+b"), readable and writable by its owner only.
struct CreatedFile {
    std::string path;
    FilePtr stream;
};
std::optional<CreatedFile> create_unique_file(const std::string& prefix, const std::string& suffix);

// A scratch file open for update that has no name, or loses it when closed:
// nothing is left behind whatever ends the run.
FilePtr create_unnamed_file();

// Gives a new file what a plain create would (the mode the umask leaves),
// or, when it is to replace `replaced`, what the replaced file has that the
// rename would lose: its owner, group and mode. Nothing where the replacing
// step keeps them itself.
void take_attributes(std::FILE* file, const std::string& replaced);

// Writes what the system still holds of the file to its disk.
bool sync_to_disk(std::FILE* file);

// Renames `from` over `to` in one step, keeping `to`'s attributes where the
// system does not give them in take_attributes.
bool replace_file(const std::string& from, const std::string& to);

// Renames `from` to `to` unless `to` is taken. `from` is gone afterwards
// when Moved.
enum class Move { Moved, Taken, Failed };
Move move_to_new_name(const std::string& from, const std::string& to);

// Opens an existing device, pipe or terminal for writing.
FilePtr open_for_writing(const std::string& path);

// Removes the file; safe to call while an interruption is handled.
void remove_file(const char* path);

// Interruptions (signals, console control events): from the first call on,
// one ends the run after remove_remembered_files() (file_io.cpp) has removed
// what the run must not leave. While held, an interruption waits.
void clean_up_on_interruption();
void hold_interruptions();
void release_interruptions();
// While held: true when an interruption has come and waits for the release,
// so that the held step is not finished for a run that is ending.
bool interruption_pending();

}  // namespace varkit::system_files

namespace varkit {

// Removes every file a TemporaryPath holds now; called by the system's
// interruption handler.
void remove_remembered_files();

}  // namespace varkit
