#include "ui/AccessibleObject.h"

#include "platform/ComObject.h"

#include <algorithm>
#include <new>
#include <string>

namespace Vantor::UI {

long AccessibleSource::ChildAt(POINT client) const
{
    for (long i = ChildCount() - 1; i >= 0; --i) {
        const RECT bounds = ChildBounds(i);
        if (!(Child(i).state & STATE_SYSTEM_INVISIBLE) && PtInRect(&bounds, client))
            return i;
    }
    return -1;
}

ComPtr<IDispatch> ClientObjectOf(HWND window)
{
    ComPtr<IDispatch> object;
    if (window && IsWindow(window))
        AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IDispatch,
                                   reinterpret_cast<void**>(object.GetAddressOf()));
    return object;
}

namespace {

HRESULT Text(const std::wstring& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (text.empty())
        return S_FALSE;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

void SetChildId(VARIANT* out, long id)
{
    VariantInit(out);
    out->vt = VT_I4;
    out->lVal = id;
}

void SetObject(VARIANT* out, ComPtr<IDispatch> object)
{
    VariantInit(out);
    out->vt = VT_DISPATCH;
    out->pdispVal = object.Detach();
}

// A list of child ids or objects, for a selection of more than one element.
class VariantList : public ComObject<VariantList, IEnumVARIANT> {
public:
    explicit VariantList(std::vector<long> ids, size_t next = 0) : ids_(std::move(ids)), next_(next) {}

    STDMETHODIMP Next(ULONG count, VARIANT* out, ULONG* fetched) override
    {
        if (!out)
            return E_POINTER;
        ULONG given = 0;
        while (given < count && next_ < ids_.size())
            SetChildId(&out[given++], ids_[next_++]);
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        next_ = std::min<size_t>(ids_.size(), next_ + count);
        return next_ < ids_.size() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        next_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** out) override
    {
        if (!out)
            return E_POINTER;
        *out = new (std::nothrow) VariantList(ids_, next_);  // its first reference is the caller's
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::vector<long> ids_;
    size_t next_ = 0;
};

}  // namespace

class SourceAccessible : public ComObject<SourceAccessible, IAccessible> {
public:
    explicit SourceAccessible(AccessibleSource& source) : source_(&source) {}
    void Disconnect() { source_ = nullptr; }

    void* queryInterface(REFIID iid)
    {
        return iid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
    }

    // IDispatch: clients use the IAccessible methods directly.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    STDMETHODIMP get_accParent(IDispatch** parent) override
    {
        return Guard([&] {
            if (!parent)
                return E_POINTER;
            *parent = nullptr;
            // The client area's parent is the window's own object.
            return AccessibleObjectFromWindow(source_->Window(), static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                              reinterpret_cast<void**>(parent));
        });
    }
    STDMETHODIMP get_accChildCount(long* count) override
    {
        return Guard([&] {
            if (!count)
                return E_POINTER;
            *count = source_->ChildCount();
            return S_OK;
        });
    }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override
    {
        return Guard([&] {
            if (!out)
                return E_POINTER;
            *out = nullptr;
            long index = 0;
            if (!ChildIndex(child, index) || index < 0)
                return E_INVALIDARG;
            if (const HWND window = source_->ChildWindow(index)) {
                *out = ClientObjectOf(window).Detach();
                return *out ? S_OK : S_FALSE;
            }
            return S_FALSE;  // a simple element: its parent answers for it
        });
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* out) override
    {
        return Read(child, out, [](const AccessibleInfo& info) { return info.name; });
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* out) override
    {
        return Read(child, out, [](const AccessibleInfo& info) { return info.value; });
    }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* out) override
    {
        return Read(child, out, [](const AccessibleInfo& info) { return info.description; });
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* out) override
    {
        return Read(child, out, [](const AccessibleInfo& info) { return info.defaultAction; });
    }
    STDMETHODIMP get_accHelp(VARIANT, BSTR* out) override
    {
        if (out)
            *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, long* topic) override
    {
        if (file)
            *file = nullptr;
        if (topic)
            *topic = 0;
        return S_FALSE;
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* out) override
    {
        if (out)
            *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* out) override
    {
        return ReadNumber(child, out, [](const AccessibleInfo& info) { return info.role; });
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* out) override
    {
        return ReadNumber(child, out, [](const AccessibleInfo& info) { return info.state; });
    }
    STDMETHODIMP get_accFocus(VARIANT* out) override
    {
        return Guard([&] {
            if (!out)
                return E_POINTER;
            VariantInit(out);
            const HWND window = source_->Window();
            const HWND focus = GetFocus();
            if (!focus || (focus != window && !IsChild(window, focus)))
                return S_FALSE;
            const long index = source_->FocusedChild();
            if (index >= 0 && source_->ChildWindow(index))
                SetObject(out, ClientObjectOf(source_->ChildWindow(index)));
            else
                SetChildId(out, index >= 0 ? index + 1 : CHILDID_SELF);
            return S_OK;
        });
    }
    STDMETHODIMP get_accSelection(VARIANT* out) override
    {
        return Guard([&] {
            if (!out)
                return E_POINTER;
            VariantInit(out);
            std::vector<long> ids;
            for (long index : source_->SelectedChildren())
                ids.push_back(index + 1);
            if (ids.empty())
                return S_FALSE;
            if (ids.size() == 1) {
                SetChildId(out, ids.front());
                return S_OK;
            }
            auto* list = new (std::nothrow) VariantList(std::move(ids));  // the caller's reference
            if (!list)
                return E_OUTOFMEMORY;
            out->vt = VT_UNKNOWN;
            out->punkVal = list->unknown();
            return S_OK;
        });
    }
    STDMETHODIMP accSelect(long flags, VARIANT child) override
    {
        return Guard([&] {
            long index = 0;
            if (!ChildIndex(child, index) || index < 0)
                return E_INVALIDARG;
            return source_->Select(index, flags) ? S_OK : S_FALSE;
        });
    }
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        return Guard([&] {
            if (!left || !top || !width || !height)
                return E_POINTER;
            long index = 0;
            if (!ChildIndex(child, index))
                return E_INVALIDARG;
            RECT bounds{};
            if (index < 0)
                GetClientRect(source_->Window(), &bounds);
            else
                bounds = source_->ChildBounds(index);
            POINT corner{bounds.left, bounds.top};
            ClientToScreen(source_->Window(), &corner);
            *left = corner.x;
            *top = corner.y;
            *width = bounds.right - bounds.left;
            *height = bounds.bottom - bounds.top;
            return S_OK;
        });
    }
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* out) override
    {
        return Guard([&] {
            if (!out)
                return E_POINTER;
            VariantInit(out);
            long index = 0;
            if (!ChildIndex(start, index))
                return E_INVALIDARG;
            const long count = source_->ChildCount();
            long target = -2;
            switch (direction) {
            case NAVDIR_FIRSTCHILD:
                target = index < 0 && count > 0 ? 0 : -2;
                break;
            case NAVDIR_LASTCHILD:
                target = index < 0 && count > 0 ? count - 1 : -2;
                break;
            case NAVDIR_NEXT:
            case NAVDIR_RIGHT:
            case NAVDIR_DOWN:
                target = index >= 0 && index + 1 < count ? index + 1 : -2;
                break;
            case NAVDIR_PREVIOUS:
            case NAVDIR_LEFT:
            case NAVDIR_UP:
                target = index > 0 ? index - 1 : -2;
                break;
            default:
                break;
            }
            if (target < 0)
                return S_FALSE;
            if (const HWND window = source_->ChildWindow(target))
                SetObject(out, ClientObjectOf(window));
            else
                SetChildId(out, target + 1);
            return S_OK;
        });
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* out) override
    {
        return Guard([&] {
            if (!out)
                return E_POINTER;
            VariantInit(out);
            POINT point{x, y};
            ScreenToClient(source_->Window(), &point);
            RECT client{};
            GetClientRect(source_->Window(), &client);
            if (!PtInRect(&client, point))
                return S_FALSE;
            const long index = source_->ChildAt(point);
            if (index >= 0 && source_->ChildWindow(index))
                SetObject(out, ClientObjectOf(source_->ChildWindow(index)));
            else
                SetChildId(out, index >= 0 ? index + 1 : CHILDID_SELF);
            return S_OK;
        });
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override
    {
        return Guard([&] {
            long index = 0;
            if (!ChildIndex(child, index))
                return E_INVALIDARG;
            return source_->DoDefaultAction(index) ? S_OK : DISP_E_MEMBERNOTFOUND;
        });
    }
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    // Every call ends its own exceptions and answers "disconnected" once the window went.
    template <typename Operation>
    HRESULT Guard(Operation operation)
    {
        if (!source_)
            return RPC_E_DISCONNECTED;
        try {
            return operation();
        } catch (...) {
            return E_FAIL;
        }
    }
    // -1 for CHILDID_SELF; false for a child id the source does not have.
    bool ChildIndex(const VARIANT& child, long& index) const
    {
        if (child.vt != VT_I4)
            return false;
        if (child.lVal == CHILDID_SELF) {
            index = -1;
            return true;
        }
        index = child.lVal - 1;
        return index >= 0 && index < source_->ChildCount();
    }
    template <typename Field>
    HRESULT Read(const VARIANT& child, BSTR* out, Field field)
    {
        return Guard([&] {
            if (!out)
                return E_POINTER;
            *out = nullptr;
            long index = 0;
            if (!ChildIndex(child, index))
                return E_INVALIDARG;
            return Text(field(InfoOf(index)), out);
        });
    }
    // The same for a number (a role, a state), given as a VT_I4.
    template <typename Field>
    HRESULT ReadNumber(const VARIANT& child, VARIANT* out, Field field)
    {
        return Guard([&] {
            if (!out)
                return E_POINTER;
            long index = 0;
            if (!ChildIndex(child, index))
                return E_INVALIDARG;
            SetChildId(out, field(InfoOf(index)));
            return S_OK;
        });
    }
    // What the element says of itself (index -1) or of one of its children.
    AccessibleInfo InfoOf(long index) const { return index < 0 ? source_->Self() : source_->Child(index); }

    AccessibleSource* source_;
};

AccessibleHost::AccessibleHost(AccessibleSource& source) : source_(source) {}

AccessibleHost::~AccessibleHost() { Disconnect(); }

bool AccessibleHost::Answer(WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT))
        return false;
    if (!object_)
        object_ = MakeComObject<SourceAccessible>(source_);
    result = LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(object_.Get()));
    return true;
}

void AccessibleHost::Disconnect()
{
    if (object_) {
        object_->Disconnect();
        object_.Reset();
    }
}

}  // namespace Vantor::UI
