#include "control/SiteAllowList.h"

#include "platform/Registry.h"

#include <windows.h>

#include <cwctype>

namespace Vantor {
namespace {

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

void AddEntries(const std::wstring& text, std::vector<std::wstring>& sites)
{
    std::wstring entry;
    for (size_t i = 0; i <= text.size(); ++i) {
        const wchar_t c = i < text.size() ? text[i] : L'\0';
        if (c == L'\0' || c == L';' || c == L',' || std::iswspace(c)) {
            while (!entry.empty() && entry.back() == L'.')
                entry.pop_back();
            if (!entry.empty())
                sites.push_back(Lower(entry));
            entry.clear();
        } else {
            entry += c;
        }
    }
}

void ReadList(HKEY root, std::vector<std::wstring>& sites)
{
    const Registry::Key key = Registry::Key::Open(root, kAllowListKey, KEY_READ);
    if (!key)
        return;
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.get(), kAllowListValue, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_MULTI_SZ && type != REG_EXPAND_SZ) || bytes > (1u << 20))
        return;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.get(), kAllowListValue, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &bytes) != ERROR_SUCCESS)
        return;
    text.resize(bytes / sizeof(wchar_t));
    AddEntries(text, sites);  // a multi-string's NULs separate like blanks
}

}  // namespace

std::vector<std::wstring> ReadAllowedSites()
{
    std::vector<std::wstring> sites;
    ReadList(HKEY_LOCAL_MACHINE, sites);
    ReadList(HKEY_CURRENT_USER, sites);
    return sites;
}

std::wstring HostOfAddress(const std::wstring& address)
{
    const size_t scheme = address.find(L"://");
    if (scheme == std::wstring::npos)
        return {};
    const std::wstring name = Lower(address.substr(0, scheme));
    if (name != L"http" && name != L"https")
        return {};
    const size_t start = scheme + 3;
    const size_t end = address.find_first_of(L"/?#\\", start);
    std::wstring authority = address.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    const size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos)
        authority.erase(0, at + 1);
    std::wstring host;
    if (!authority.empty() && authority[0] == L'[') {  // [::1]:8080
        const size_t close = authority.find(L']');
        if (close == std::wstring::npos)
            return {};
        host = authority.substr(0, close + 1);
    } else {
        host = authority.substr(0, authority.find(L':'));
    }
    while (!host.empty() && host.back() == L'.')
        host.pop_back();
    return Lower(host);
}

bool IsPageAllowed(const std::wstring& pageAddress, const std::vector<std::wstring>& sites)
{
    if (sites.empty())
        return true;
    const std::wstring host = HostOfAddress(pageAddress);
    if (host.empty())
        return false;
    for (const std::wstring& site : sites) {
        if (site.size() > 2 && site.compare(0, 2, L"*.") == 0) {
            const std::wstring suffix = site.substr(1);  // ".example.com"
            if (host.size() > suffix.size() && host.compare(host.size() - suffix.size(), suffix.size(), suffix) == 0)
                return true;
        } else if (host == site) {
            return true;
        }
    }
    return false;
}

}  // namespace Vantor
