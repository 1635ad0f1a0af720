#include "ProcessCounts.h"

#include <windows.h>

#include <tlhelp32.h>

namespace PageHost {

unsigned long HandleCount()
{
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0)
        return count;
    // Wine answers 0: count the values that name an open handle instead (multiples of 4).
    unsigned long open = 0;
    DWORD flags = 0;
    for (uintptr_t value = 4; value < (1u << 20); value += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++open;
    return open;
}

unsigned long ThreadCount()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    const DWORD self = GetCurrentProcessId();
    unsigned long count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == self)
            ++count;
    CloseHandle(snapshot);
    return count;
}

uint64_t CommittedPrivateBytes()
{
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    auto* address = static_cast<const char*>(system.lpMinimumApplicationAddress);
    const auto* const end = static_cast<const char*>(system.lpMaximumApplicationAddress);
    uint64_t total = 0;
    MEMORY_BASIC_INFORMATION region{};
    while (address < end && VirtualQuery(address, &region, sizeof(region)) == sizeof(region)) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        const char* const next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    return total;
}

}  // namespace PageHost
