#pragma once
// The class object of one COM class: makes instances through a creator function.
#include "platform/ComObject.h"

#include <unknwn.h>

namespace Vantor {

class ClassFactory : public ComObject<ClassFactory, IClassFactory> {
public:
    // Makes one object and returns the interface asked for; never throws.
    using Creator = HRESULT (*)(REFIID iid, void** out);

    explicit ClassFactory(Creator creator) : creator_(creator) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    Creator creator_;
};

}  // namespace Vantor
