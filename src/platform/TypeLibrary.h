#pragma once
// Type information from the module's own type library (resource 1), falling back to the
// registered copy when the module carries none (a program that links the classes in).
#include "platform/Handles.h"

#include <oaidl.h>

namespace Vantor::TypeLibrary {

HRESULT Load(REFGUID libraryId, WORD major, WORD minor, ComPtr<ITypeLib>& out);
// The description of an interface or class of that library.
HRESULT TypeInfoOf(REFGUID libraryId, WORD major, WORD minor, REFGUID guid, ComPtr<ITypeInfo>& out);

}  // namespace Vantor::TypeLibrary
