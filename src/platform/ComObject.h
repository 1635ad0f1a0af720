#pragma once
// The root of every COM class of the system: one reference count shared by all the
// interfaces the class implements, and the module's object count.
//
//   class Thing : public ComObject<Thing, IFoo, IBar> {
//       void* queryInterface(REFIID iid);   // IFoo and IBar are answered already
//   };
//
// The class lists its interfaces; QueryInterface answers IUnknown and each of them, then
// asks the class's optional queryInterface(iid) for anything else (base interfaces such as
// IDispatch or IPersist, or interfaces reached through members).
#include "platform/ComModule.h"
#include "platform/Handles.h"

#include <objbase.h>

#include <atomic>
#include <type_traits>
#include <utility>

namespace Vantor {

template <typename Derived, typename First, typename... Rest>
class ComObject : public First, public Rest... {
public:
    ComObject() { ComModule::ObjectCreated(); }
    virtual ~ComObject() { ComModule::ObjectDestroyed(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown)
            *out = static_cast<IUnknown*>(static_cast<First*>(this));
        else
            *out = findListed<First, Rest...>(iid);
        if (!*out)
            *out = static_cast<Derived*>(this)->queryInterface(iid);
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete static_cast<Derived*>(this);
        return left;
    }

    IUnknown* unknown() { return static_cast<IUnknown*>(static_cast<First*>(this)); }

protected:
    // Interfaces the class answers beyond its list; nullptr for none.
    void* queryInterface(REFIID) { return nullptr; }

private:
    template <typename I, typename... More>
    void* findListed(REFIID iid)
    {
        if (iid == __uuidof(I))
            return static_cast<I*>(this);
        if constexpr (sizeof...(More) > 0)
            return findListed<More...>(iid);
        else
            return nullptr;
    }

    std::atomic<ULONG> references_{1};
};

// Makes a COM object owned by the returned pointer. (mingw's ComPtr::Attach adds a reference,
// unlike the original, so a new object must not be handed to Attach.)
template <typename T, typename... Args>
ComPtr<T> MakeComObject(Args&&... args)
{
    T* const object = new T(std::forward<Args>(args)...);  // starts with one reference, ours
    ComPtr<T> owner(object);
    object->Release();
    return owner;
}

// Makes a COM object and returns the requested interface; the object lives as long as the
// caller's reference does.
template <typename T, typename... Args>
HRESULT CreateComObject(REFIID iid, void** out, Args&&... args) noexcept
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    try {
        T* object = new T(std::forward<Args>(args)...);
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace Vantor
