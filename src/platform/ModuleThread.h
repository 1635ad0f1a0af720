#pragma once
// Threads that may outlive every other user of the module. A browser frees a DLL once its
// objects are gone, but an upload's threads and the platform's late callbacks still run the
// DLL's code then. Each such thread and state holds a module reference of its own; a thread
// lets go of its reference only as it exits (FreeLibraryAndExitThread), so the code it is
// running stays mapped to the end.
#include <windows.h>

#include <functional>

#include "platform/Handles.h"

namespace Vantor {

// A reference to the module that holds this code: it stays loaded while the owner lives.
// Empty only when the platform refused (then nothing is held).
UniqueModule HoldThisModule();

// Runs body on a new detached thread that keeps the module loaded until the thread has
// left the module's code. An exception from body ends only the thread. False when the
// thread could not be made (body does not run).
bool StartModuleThread(std::function<void()> body);

// Like StartModuleThread, but on a thread left idle by an earlier call when there is one:
// under Wine a new thread costs from a fraction of a millisecond to many milliseconds on a
// busy machine, once per request otherwise. A thread waits kModuleThreadIdleMs for more work, then ends;
// a body that never returns holds only its own thread.
constexpr DWORD kModuleThreadIdleMs = 2000;
bool RunOnModuleThread(std::function<void()> body);
// How many module threads wait for work now (for tests).
size_t IdleModuleThreads();

// For a program that is about to end (never the control: its host decides when the process
// ends). From now on no module thread is made (StartModuleThread and RunOnModuleThread
// return false, and their callers do the work's fallback) and an idle one ends at once;
// then waits up to timeoutMs until no module thread is left, counting each from the moment
// it was asked for. Ending the process while a thread is still being started crashes
// Wine's process exit. True when every module thread had ended in time.
bool EndModuleThreads(DWORD timeoutMs);
// True once EndModuleThreads was called: a service thread with nothing to do should end now.
bool ModuleThreadsEnding();
// Signalled once EndModuleThreads was called, for a thread's waits that need not go on then
// (a manual-reset event that lives as long as the process; null if it could not be made).
HANDLE ModuleThreadsEndingEvent();

}  // namespace Vantor
