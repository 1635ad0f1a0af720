#pragma once
// The root of the list's items: an id, a cell in content coordinates and the state bits.
#include <windows.h>

#include <cstdint>

namespace Vantor {

enum ItemFlags : uint32_t {
    ItemHovered = 1,
    ItemSelected = 2,
};

class IElement {
public:
    IElement() = default;
    IElement(const IElement&) = delete;
    IElement& operator=(const IElement&) = delete;

    virtual ~IElement() = default;
    virtual void SetRect(const RECT& rect) { rect_ = rect; }
    virtual RECT GetRect() const { return rect_; }
    virtual uint32_t& Flags() { return flags_; }

    int32_t Id() const { return id_; }
    bool IsHovered() const { return (flags_ & ItemHovered) != 0; }
    bool IsSelected() const { return (flags_ & ItemSelected) != 0; }

protected:
    friend class ListView;  // gives the id when the item joins a list
    int32_t id_ = -1;
    RECT rect_{};     // content coordinates
    uint32_t flags_ = 0;
};

}  // namespace Vantor
