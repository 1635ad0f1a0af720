#include "platform/ComRegistration.h"

#include "platform/Registry.h"

#include <objbase.h>
#include <olectl.h>

namespace Vantor {

ComRegistration& ComRegistration::key(const std::wstring& path)
{
    entries_.push_back({path, L"", L"", false});
    return *this;
}

ComRegistration& ComRegistration::value(const std::wstring& path, const std::wstring& name, const std::wstring& value)
{
    entries_.push_back({path, name, value, true});
    return *this;
}

ComRegistration& ComRegistration::defaultValue(const std::wstring& path, const std::wstring& value)
{
    return this->value(path, L"", value);
}

ComRegistration& ComRegistration::owns(const std::wstring& path)
{
    ownedTrees_.push_back(path);
    return *this;
}

ComRegistration& ComRegistration::ownsValue(const std::wstring& path, const std::wstring& name)
{
    ownedValues_.emplace_back(path, name);
    return *this;
}

HKEY ComRegistration::Root(RegistrationScope scope)
{
    if (scope == RegistrationScope::Machine)
        return HKEY_CLASSES_ROOT;
    // Opened once per process and kept: the handle is the user's class root.
    static const HKEY userClasses = [] {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
        return key;
    }();
    return userClasses;
}

HRESULT ComRegistration::registerAll(RegistrationScope scope) const
{
    const HKEY root = Root(scope);
    if (!root)
        return E_ACCESSDENIED;
    for (const RegistryEntry& entry : entries_) {
        const bool written = entry.hasValue ? Registry::WriteString(root, entry.key, entry.name, entry.value)
                                            : static_cast<bool>(Registry::Key::Create(root, entry.key));
        if (!written) {
            unregisterAll(scope);
            return SELFREG_E_CLASS;
        }
    }
    return S_OK;
}

HRESULT ComRegistration::unregisterAll(RegistrationScope scope) const
{
    const HKEY root = Root(scope);
    if (!root)
        return E_ACCESSDENIED;
    bool allGone = true;
    for (const auto& [path, name] : ownedValues_)
        allGone = Registry::DeleteValue(root, path, name) && allGone;
    for (const std::wstring& path : ownedTrees_)
        allGone = Registry::DeleteTree(root, path) && allGone;
    return allGone ? S_OK : SELFREG_E_CLASS;
}

std::wstring GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

}  // namespace Vantor
