#include "platform/Registry.h"

#include <shlwapi.h>

#include <vector>

namespace Vantor::Registry {

Key Key::Open(HKEY root, const std::wstring& path, REGSAM access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return Key();
    return Key(key);
}

Key Key::Create(HKEY root, const std::wstring& path, REGSAM access)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return Key();
    return Key(key);
}

bool KeyExists(HKEY root, const std::wstring& path) { return static_cast<bool>(Key::Open(root, path)); }

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const std::wstring& name)
{
    const Key key = Key::Open(root, path);
    if (!key)
        return std::nullopt;
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer.data());
}

bool WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value)
{
    const Key key = Key::Create(root, path);
    if (!key)
        return false;
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

bool DeleteTree(HKEY root, const std::wstring& path)
{
    SHDeleteKeyW(root, path.c_str());
    return !KeyExists(root, path);
}

bool DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name)
{
    const Key key = Key::Open(root, path, KEY_READ | KEY_WRITE);
    if (!key)
        return true;
    const LONG result = RegDeleteValueW(key.get(), name.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace Vantor::Registry
