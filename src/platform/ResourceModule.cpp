#include "platform/ResourceModule.h"

#include <atomic>

#include "platform/Window.h"

namespace Vantor::Win {

namespace {
std::atomic<HINSTANCE> g_resourceModule{nullptr};
}

HINSTANCE ResourceModule()
{
    const HINSTANCE module = g_resourceModule.load();
    return module ? module : ThisModule();
}

void SetResourceModule(HINSTANCE module) { g_resourceModule.store(module); }

}  // namespace Vantor::Win
