#include "platform/DialogTemplate.h"

#include <cstring>

#include "platform/ResourceModule.h"

namespace Vantor::Win {

namespace {

template <typename T>
void Put(std::vector<std::uint8_t>& out, T value)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

void PutText(std::vector<std::uint8_t>& out, const wchar_t* text)
{
    do
        Put<WORD>(out, static_cast<WORD>(*text));
    while (*text++);
}

}  // namespace

std::vector<std::uint8_t> BuildSharedDialogTemplate()
{
    std::vector<std::uint8_t> out;
    Put<WORD>(out, 1);       // dlgVer
    Put<WORD>(out, 0xFFFF);  // signature: extended template
    Put<DWORD>(out, 0);      // helpID
    Put<DWORD>(out, 0);      // exStyle
    Put<DWORD>(out, SharedDialogStyle);
    Put<WORD>(out, 0);  // no controls
    Put<short>(out, 0);
    Put<short>(out, 0);
    Put<short>(out, 316);
    Put<short>(out, 185);
    Put<WORD>(out, 0);  // no menu
    Put<WORD>(out, 0);  // the dialog class
    Put<WORD>(out, 0);  // no title
    Put<WORD>(out, 8);  // point size
    Put<WORD>(out, FW_NORMAL);
    Put<BYTE>(out, FALSE);  // italic
    Put<BYTE>(out, DEFAULT_CHARSET);
    PutText(out, L"MS Shell Dlg");
    while (out.size() % 4)
        out.push_back(0);
    return out;
}

const DLGTEMPLATE* SharedDialogTemplate()
{
    const HINSTANCE module = ResourceModule();
    if (const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(SharedDialogTemplateId), MAKEINTRESOURCEW(5))) {
        if (const HGLOBAL loaded = LoadResource(module, found)) {
            if (const void* data = LockResource(loaded))
                return static_cast<const DLGTEMPLATE*>(data);
        }
    }
    static const std::vector<std::uint8_t> built = BuildSharedDialogTemplate();
    return reinterpret_cast<const DLGTEMPLATE*>(built.data());
}

DialogTemplateInfo ReadDialogTemplate(const void* data)
{
    DialogTemplateInfo info;
    if (!data)
        return info;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    WORD version = 0, signature = 0;
    std::memcpy(&version, bytes, 2);
    std::memcpy(&signature, bytes + 2, 2);
    if (version == 1 && signature == 0xFFFF) {
        info.extended = true;
        std::memcpy(&info.style, bytes + 12, 4);
        std::memcpy(&info.items, bytes + 16, 2);
        std::memcpy(&info.cx, bytes + 22, 2);
        std::memcpy(&info.cy, bytes + 24, 2);
    } else {
        std::memcpy(&info.style, bytes, 4);
        std::memcpy(&info.items, bytes + 8, 2);
        std::memcpy(&info.cx, bytes + 14, 2);
        std::memcpy(&info.cy, bytes + 16, 2);
    }
    return info;
}

}  // namespace Vantor::Win
