#pragma once
// The end of a program (a tool or a test program, never the control) that may have left
// platform calls running on purpose: a WinInet request it gave up goes on parsing or writing
// on threads of the platform's own. A normal exit then kills those threads wherever they are
// and runs every DLL's detach, which under Wine can wait for ever on a lock a killed thread
// held; and a thread still being started when the process ends crashes Wine's exit.
#include <windows.h>

namespace Vantor {

// Flushes the C streams, lets the module threads end (at most waitMs; see EndModuleThreads),
// then ends the process with code at once, without running the DLLs' detach or the
// program's static destructors.
[[noreturn]] void EndProgram(int code, DWORD waitMs);

}  // namespace Vantor
