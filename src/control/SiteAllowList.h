#pragma once
// Which web sites may drive the control. The control is safe for scripting, so any page can
// embed it; an installer or administrator restricts it to their own sites with the value
// "AllowedSites" under Software\Vantor\Fotoloft, per machine (HKLM) or per user (HKCU): one
// host name per string of a REG_MULTI_SZ, or names separated by blanks, commas or semicolons
// in a REG_SZ. "example.com" allows that host alone; "*.example.com" allows its subdomains.
// The two lists together are the list; when it is empty, every page may drive the control.
#include <string>
#include <vector>

namespace Vantor {

inline constexpr wchar_t kAllowListKey[] = L"Software\\Vantor\\Fotoloft";
inline constexpr wchar_t kAllowListValue[] = L"AllowedSites";

// The machine's list, then the user's; names in lower case.
std::vector<std::wstring> ReadAllowedSites();

// The host of an http or https address in lower case, without user, port or a trailing dot;
// empty for anything else.
std::wstring HostOfAddress(const std::wstring& address);

// True when the list is empty, or the page's address is http or https and its host is named
// by an entry.
bool IsPageAllowed(const std::wstring& pageAddress, const std::vector<std::wstring>& sites);

}  // namespace Vantor
