// The Windows desktop's dialogs, default sound and "open": the common file
// and font dialogs, PlaySound and ShellExecute.
// windows.h first: the other Windows headers build on it.
// clang-format off
#include <windows.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>
// clang-format on

#include "charset/wide_text.h"
#include "platform/desktop/dialogs.h"
#include "platform/desktop/shell.h"

namespace varkit::desktop {
namespace {

// What the file dialogs' name buffer holds: a long path's worth.
constexpr std::size_t kPathBuffer = 32768;

// "label\0patterns\0...\0\0", what the common dialogs take as their filter.
std::wstring filter_list(const std::vector<FileFilter>& filters) {
    std::wstring list;
    for (const FileFilter& filter : filters) {
        list += wide_from_utf8(filter.label);
        list += L'\0';
        list += wide_from_utf8(filter.patterns);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

}  // namespace

std::optional<std::string> choose_file(FileDialogKind kind, const FileDialog& dialog) {
    std::wstring name = wide_from_utf8(dialog.initial_name);
    name.resize(kPathBuffer, L'\0');
    const std::wstring filter = filter_list(dialog.filters);
    const std::wstring title = wide_from_utf8(dialog.title);
    const std::wstring extension = wide_from_utf8(dialog.default_extension);
    OPENFILENAMEW chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.lpstrFilter = dialog.filters.empty() ? nullptr : filter.c_str();
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = name.data();
    chooser.nMaxFile = static_cast<DWORD>(name.size());
    chooser.lpstrTitle = title.c_str();
    chooser.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    chooser.Flags =
        OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER | OFN_LONGNAMES;
    if (kind == FileDialogKind::open) {
        chooser.Flags |= OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    }
    BOOL chosen =
        kind == FileDialogKind::open ? GetOpenFileNameW(&chooser) : GetSaveFileNameW(&chooser);
    if (!chosen) {
        return std::nullopt;
    }
    return utf8_from_wide(name.c_str());
}

// The face name goes into a document's font table, which holds the system's
// code page: it is asked for in those bytes.
std::optional<std::string> choose_font() {
    LOGFONTA font{};
    CHOOSEFONTA chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.lpLogFont = &font;
    chooser.Flags = CF_SCREENFONTS | CF_PRINTERFONTS;
    if (!ChooseFontA(&chooser)) {
        return std::nullopt;
    }
    return std::string(font.lfFaceName);
}

void play_default_sound() {
    PlaySoundW(L".Default", nullptr, SND_ALIAS);
}

void open_document(const std::string& path) {
    ShellExecuteW(GetDesktopWindow(), L"open", wide_from_utf8(path).c_str(), nullptr, nullptr,
                  SW_HIDE);
}

}  // namespace varkit::desktop
