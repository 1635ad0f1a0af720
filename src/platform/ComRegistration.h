#pragma once
// Registration of COM classes, type libraries and interfaces, for the whole machine
// (HKEY_CLASSES_ROOT) or for the current user only (HKEY_CURRENT_USER\Software\Classes).
//
// A registration is a list of keys and values below the class root; writing it creates
// them, and removing it deletes the trees it owns while keeping shared parents such as
// "AppID" or "CLSID".
#include <windows.h>

#include <string>
#include <vector>

namespace Vantor {

enum class RegistrationScope { Machine, User };

struct RegistryEntry {
    std::wstring key;    // below the class root
    std::wstring name;   // "" for the key's default value
    std::wstring value;
    bool hasValue = true;  // false: the key only
};

class ComRegistration {
public:
    // Adds a key's default value (or an empty key when hasValue is false).
    ComRegistration& key(const std::wstring& path);
    ComRegistration& value(const std::wstring& path, const std::wstring& name, const std::wstring& value);
    ComRegistration& defaultValue(const std::wstring& path, const std::wstring& value);
    // Marks a tree that unregistering deletes as a whole.
    ComRegistration& owns(const std::wstring& path);
    // Marks one named value that unregistering deletes (inside a key shared with others).
    ComRegistration& ownsValue(const std::wstring& path, const std::wstring& name);

    // Writes every entry; on failure removes what was written and returns the error.
    HRESULT registerAll(RegistrationScope scope) const;
    // Deletes the owned trees and values; missing ones are not an error.
    HRESULT unregisterAll(RegistrationScope scope) const;

    const std::vector<RegistryEntry>& entries() const { return entries_; }

    // The class root for the scope (a key that stays open for the process).
    static HKEY Root(RegistrationScope scope);

private:
    std::vector<RegistryEntry> entries_;
    std::vector<std::wstring> ownedTrees_;
    std::vector<std::pair<std::wstring, std::wstring>> ownedValues_;
};

// "{XXXXXXXX-XXXX-...}" in upper case, as the registry writes class ids.
std::wstring GuidText(REFGUID guid);

// The type-library marshaler's class, which makes proxies for dual and oleautomation
// interfaces from their registered type library.
inline constexpr wchar_t kTypeLibMarshalerClsid[] = L"{00020424-0000-0000-C000-000000000046}";

}  // namespace Vantor
