#include "platform/IDropSourceImpl.h"

namespace Vantor {

STDMETHODIMP IDropSourceImpl::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    if (escapePressed)
        return DRAGDROP_S_CANCEL;
    if (!(keyState & MK_LBUTTON))
        return DRAGDROP_S_DROP;
    return S_OK;
}

STDMETHODIMP IDropSourceImpl::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

}  // namespace Vantor
