#pragma once
// The control's fixed identity: class, type library, interface (from the type library's
// generated header), its application id, ProgIDs and OLE status bits.
#include "Fotoloft_h.h"

#include <windows.h>

namespace Vantor {

// {F870F90F-BFF6-4219-81B2-3466D62237C9}
inline constexpr GUID kFotoloftAppId = {0xf870f90f, 0xbff6, 0x4219, {0x81, 0xb2, 0x34, 0x66, 0xd6, 0x22, 0x37, 0xc9}};

inline constexpr wchar_t kProgId[] = L"Vantor.Fotoloft.1";
inline constexpr wchar_t kVersionIndependentProgId[] = L"Vantor.Fotoloft";
inline constexpr wchar_t kClassDescription[] = L"Fotoloft Class";
inline constexpr wchar_t kAppName[] = L"Fotoloft";
inline constexpr wchar_t kModuleName[] = L"Fotoloft.DLL";
inline constexpr wchar_t kTypeLibraryDescription[] = L"FotoloftApp 1.0 Type Library";
inline constexpr WORD kTypeLibraryMajor = 1;
inline constexpr WORD kTypeLibraryMinor = 0;
inline constexpr int kToolboxBitmapId = 102;

// Recompose on resize, can't link inside, inside-out, activate when visible, set client
// site first: 0x20191.
inline constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                                     OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
static_assert(kMiscStatus == 131473);

}  // namespace Vantor
