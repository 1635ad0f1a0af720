#include "platform/ClassFactory.h"

namespace Vantor {

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return creator_(iid, out);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        ComModule::Lock();
    else
        ComModule::Unlock();
    return S_OK;
}

}  // namespace Vantor
