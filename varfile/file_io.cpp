// Outputs that appear only complete and files that are never left behind,
// written once over the system's own steps (system_files.h).
#include "varfile/file_io.h"

#include <csignal>
#include <cstring>

#include "varfile/container.h"
#include "varfile/system_files.h"

namespace varkit {
namespace {

namespace sys = system_files;

// ---- Files removed when an interruption ends the run ------------------------
//
// The interruption handler may only touch fixed slots holding the paths (it
// runs as a signal handler on Unix), so a path too long for one is removed
// only by its owner object.

constexpr int kRememberedSlots = 8;
constexpr std::size_t kLongestRemembered = 4096;

struct RememberedSlot {
    volatile std::sig_atomic_t used = 0;
    char path[kLongestRemembered] = {};
};

RememberedSlot g_remembered[kRememberedSlots];

int remember(const std::string& path) {
    if (path.size() >= kLongestRemembered) {
        return -1;
    }
    for (int i = 0; i < kRememberedSlots; ++i) {
        RememberedSlot& slot = g_remembered[i];
        if (!slot.used) {
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.used = 1;
            return i;
        }
    }
    return -1;
}

void forget(int& slot) {
    if (slot >= 0) {
        g_remembered[slot].used = 0;
        slot = -1;
    }
}

// Interruptions wait while a file is made and remembered, or renamed and
// forgotten, so none finds it half done.
class InterruptionsHeld {
  public:
    InterruptionsHeld() { sys::hold_interruptions(); }
    ~InterruptionsHeld() { sys::release_interruptions(); }
    InterruptionsHeld(const InterruptionsHeld&) = delete;
    InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;
};

// A new file of a unique name, taken in charge as soon as it exists.
FilePtr create_temporary(const std::string& prefix, const std::string& suffix,
                         TemporaryPath& temporary) {
    FilePtr stream;
    temporary.make([&]() -> std::optional<std::string> {
        std::optional<sys::CreatedFile> created = sys::create_unique_file(prefix, suffix);
        if (!created) {
            return std::nullopt;
        }
        stream = std::move(created->stream);
        return std::move(created->path);
    });
    return stream;
}

// Flushes what the stream buffers and tells whether every write so far
// reached the file.
bool flushed_whole(std::FILE* file) {
    return std::fflush(file) == 0 && !std::ferror(file);
}

// Copies the whole of `from`, from its start, to `to`.
bool copy_stream(std::FILE* from, std::FILE* to) {
    if (vf_seek(0, from) != 0) {
        return false;
    }
    char block[65536];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, from)) > 0) {
        if (std::fwrite(block, 1, got, to) != got) {
            return false;
        }
    }
    return !std::ferror(from);
}

}  // namespace

void remove_remembered_files() {
    for (RememberedSlot& slot : g_remembered) {
        if (slot.used) {
            sys::remove_file(slot.path);
        }
    }
}

bool TemporaryPath::make(const std::function<std::optional<std::string>()>& make_file) {
    InterruptionsHeld held;
    sys::clean_up_on_interruption();
    std::optional<std::string> path = make_file();
    if (!path) {
        return false;
    }
    remove();
    path_ = std::move(*path);
    slot_ = remember(path_);
    return true;
}

void TemporaryPath::remove() {
    if (!path_.empty()) {
        sys::remove_file(path_.c_str());
    }
    keep();
}

void TemporaryPath::keep() {
    forget(slot_);
    path_.clear();
}

bool OutputFile::open() {
    if (target_.empty()) {
        return false;
    }
    switch (sys::path_kind(target_)) {
        case sys::PathKind::Missing:
        case sys::PathKind::Regular:
            break;
        case sys::PathKind::Other:
            return open_direct();
        case sys::PathKind::Folder:
        case sys::PathKind::Unknown:
            return false;
    }
    const std::string replaced = sys::replaced_file(target_);
    return !replaced.empty() && open_beside(replaced);
}

bool OutputFile::open_beside(const std::string& destination) {
    FilePtr file = create_temporary(sys::folder_of(destination) + ".varkit-", "", temporary_);
    if (!file) {
        return false;
    }
    sys::take_attributes(file.get(), destination);
    destination_ = destination;
    file_ = std::move(file);
    return true;
}

bool OutputFile::open_direct() {
    InterruptionsHeld held;
    file_ = sys::create_unnamed_file();
    if (!file_) {
        return false;
    }
    direct_ = true;
    destination_ = target_;
    return true;
}

bool OutputFile::close_temporary() {
    bool written = flushed_whole(file_.get()) && sys::sync_to_disk(file_.get());
    return std::fclose(file_.release()) == 0 && written;
}

bool OutputFile::commit() {
    if (!file_) {
        return false;
    }
    if (direct_) {
        return commit_direct();
    }
    if (!close_temporary()) {
        temporary_.remove();
        return false;
    }
    InterruptionsHeld held;
    if (sys::interruption_pending() || !sys::replace_file(temporary_.path(), destination_)) {
        temporary_.remove();
        return false;
    }
    temporary_.keep();
    return true;
}

OutputFile::NewFile OutputFile::commit_new() {
    // A target that is a link, or no regular file, is a name already taken.
    if (file_ && (direct_ || destination_ != target_)) {
        file_.reset();
        temporary_.remove();
        return NewFile::Taken;
    }
    if (!file_ || !close_temporary()) {
        temporary_.remove();
        return NewFile::Failed;
    }
    InterruptionsHeld held;
    const sys::Move moved = sys::interruption_pending()
                                ? sys::Move::Failed
                                : sys::move_to_new_name(temporary_.path(), destination_);
    if (moved == sys::Move::Moved) {
        temporary_.keep();
        return NewFile::Written;
    }
    temporary_.remove();
    return moved == sys::Move::Taken ? NewFile::Taken : NewFile::Failed;
}

bool OutputFile::commit_direct() {
    FilePtr scratch = std::move(file_);
    if (!flushed_whole(scratch.get())) {
        return false;
    }
    FilePtr device = sys::open_for_writing(destination_);
    if (!device) {
        return false;
    }
    bool written = copy_stream(scratch.get(), device.get());
    return std::fclose(device.release()) == 0 && written;
}

ScratchFile::ScratchFile(const char* suffix) {
    FilePtr file = create_temporary(sys::scratch_folder() + "varkit-", suffix, temporary_);
    if (file && std::fclose(file.release()) != 0) {
        temporary_.remove();
    }
}

FilePtr ScratchFile::open_for_update() const {
    return created() ? open_existing_file(path().c_str(), true) : nullptr;
}

}  // namespace varkit
