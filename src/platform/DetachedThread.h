#pragma once
// Runs a function on a thread of its own that nobody waits for. The thread holds a reference
// to the module its code lives in until it has left that code, so the DLL cannot be unloaded
// under it. The function must not throw; whatever it throws is dropped at the thread's edge.
#include <functional>

namespace Vantor {

// False when no thread could be made (the function is then not run).
bool StartDetachedThread(std::function<void()> work);

}  // namespace Vantor
