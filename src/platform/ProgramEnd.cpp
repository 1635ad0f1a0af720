#include "platform/ProgramEnd.h"

#include "platform/ModuleThread.h"

#include <cstdio>

namespace Vantor {

void EndProgram(int code, DWORD waitMs)
{
    std::fflush(nullptr);
    EndModuleThreads(waitMs);
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    ExitProcess(static_cast<UINT>(code));  // not reached unless the platform refused
}

}  // namespace Vantor
