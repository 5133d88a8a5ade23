// Adds a folder to the user's or the system's PATH, or takes it out, for the
// installer and its uninstaller: the PATH is edited entry by entry, whatever
// its length, and keeps its type (an expandable string, as Windows makes it).
//
//     path_entry add|remove FOLDER user|system
//
// Status 0 when the PATH holds the folder (add) or no longer holds it
// (remove), 1 when the registry could not be changed, 2 for a bad command
// line.
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kUserEnvironment = L"Environment";
constexpr const wchar_t* kSystemEnvironment =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

struct PathValue {
    std::wstring text;
    DWORD type = REG_EXPAND_SZ;
};

// The value, or an empty one when there is none.
bool read_path(HKEY key, PathValue& path) {
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, L"Path", nullptr, &path.type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND) {
        path = PathValue{};
        return true;
    }
    if (result != ERROR_SUCCESS || (path.type != REG_SZ && path.type != REG_EXPAND_SZ)) {
        return false;
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    result = RegQueryValueExW(key, L"Path", nullptr, &path.type,
                              reinterpret_cast<BYTE*>(text.data()), &size);
    if (result != ERROR_SUCCESS) {
        return false;
    }
    text.resize(size / sizeof(wchar_t));
    path.text = text.substr(0, text.find(L'\0'));
    return true;
}

// "C:\Program Files\varkit\" and "c:\program files\varkit" are one folder.
bool same_folder(std::wstring a, std::wstring b) {
    for (std::wstring* name : {&a, &b}) {
        while (!name->empty() && (name->back() == L'\\' || name->back() == L'/')) {
            name->pop_back();
        }
    }
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The entries other than `folder`, in order, empty ones dropped, and
// `folder` last when it is to be added.
std::wstring edited(const std::wstring& path, const std::wstring& folder, bool add) {
    std::wstring result;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L';', start);
        if (end == std::wstring::npos) {
            end = path.size();
        }
        std::wstring entry = path.substr(start, end - start);
        if (!entry.empty() && !same_folder(entry, folder)) {
            result += (result.empty() ? L"" : L";") + entry;
        }
        start = end + 1;
    }
    if (add) {
        result += (result.empty() ? L"" : L";") + folder;
    }
    return result;
}

bool write_path(HKEY key, const PathValue& path) {
    if (path.text.empty()) {
        LONG result = RegDeleteValueW(key, L"Path");
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
    return RegSetValueExW(key, L"Path", 0, path.type,
                          reinterpret_cast<const BYTE*>(path.text.c_str()),
                          static_cast<DWORD>((path.text.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

int edit_path(bool add, const std::wstring& folder, bool system) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(system ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                        system ? kSystemEnvironment : kUserEnvironment, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return 1;
    }
    PathValue path;
    bool changed = read_path(key, path);
    if (changed) {
        path.text = edited(path.text, folder, add);
        changed = write_path(key, path);
    }
    RegCloseKey(key);
    // Programs started afterwards from Explorer see the new PATH.
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                        reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return changed ? 0 : 1;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count != 4) {
        return 2;
    }
    const std::wstring action = arguments[1];
    const std::wstring scope = arguments[3];
    if ((action != L"add" && action != L"remove") || (scope != L"user" && scope != L"system") ||
        arguments[2][0] == L'\0') {
        return 2;
    }
    return edit_path(action == L"add", arguments[2], scope == L"system");
}
