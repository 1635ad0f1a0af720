#pragma once
// The one dialog template every dialog of the system is created from (resource 235): an
// extended template, WS_POPUP | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS, no controls,
// 316 x 185 dialog units, font "MS Shell Dlg" 8. Each dialog sizes itself when it starts.
#include <windows.h>

#include <cstdint>
#include <vector>

namespace Vantor::Win {

constexpr WORD SharedDialogTemplateId = 235;
constexpr DWORD SharedDialogStyle = WS_POPUP | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS;

// The template built in memory, byte for byte as the resource script describes it.
std::vector<std::uint8_t> BuildSharedDialogTemplate();

// The template to run a dialog from: resource 235 of the resource module when it is there,
// else the one built in memory. Valid for the life of the process.
const DLGTEMPLATE* SharedDialogTemplate();

// The header fields of an extended template (for checks).
struct DialogTemplateInfo {
    bool extended = false;
    DWORD style = 0;
    WORD items = 0;
    short cx = 0, cy = 0;
};
DialogTemplateInfo ReadDialogTemplate(const void* data);

}  // namespace Vantor::Win
