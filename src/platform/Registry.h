#pragma once
// Small owners and helpers over the registry.
#include <windows.h>

#include <optional>
#include <string>
#include <utility>

namespace Vantor::Registry {

class Key {
public:
    Key() = default;
    explicit Key(HKEY key) : key_(key) {}
    Key(Key&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    Key& operator=(Key&& other) noexcept
    {
        if (this != &other) {
            reset();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() { reset(); }

    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    void reset()
    {
        if (key_)
            RegCloseKey(key_);
        key_ = nullptr;
    }

    static Key Open(HKEY root, const std::wstring& path, REGSAM access = KEY_READ);
    static Key Create(HKEY root, const std::wstring& path, REGSAM access = KEY_READ | KEY_WRITE);

private:
    HKEY key_ = nullptr;
};

bool KeyExists(HKEY root, const std::wstring& path);
// A string value ("" names the default value); nothing when the key or value is missing.
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const std::wstring& name = L"");
bool WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value);
// Removes the key with everything below it; true when it is gone afterwards.
bool DeleteTree(HKEY root, const std::wstring& path);
// Removes one value; true when it is gone afterwards.
bool DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name);

}  // namespace Vantor::Registry
