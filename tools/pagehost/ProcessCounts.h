#pragma once
// What the page's process holds right now, for scripts that check that a control leaves
// nothing behind: kernel handles, threads, and committed private memory (a walk of the
// address space: Wine's own counters undercount what the heap keeps).
#include <cstdint>

namespace PageHost {

unsigned long HandleCount();
unsigned long ThreadCount();
uint64_t CommittedPrivateBytes();

}  // namespace PageHost
