#pragma once
// The in-process server's module state: its instance handle, and the live objects and
// server locks that decide whether the DLL may unload.
#include <windows.h>

#include <string>

namespace Vantor::ComModule {

void SetInstance(HINSTANCE instance);
// The module the COM classes live in (the DLL, or the program when linked in statically).
HINSTANCE Instance();
// Full path of that module.
std::wstring FileName();

void ObjectCreated();
void ObjectDestroyed();
void Lock();
void Unlock();
long ObjectCount();
// True when no object lives and no client holds a server lock.
bool CanUnload();

}  // namespace Vantor::ComModule
