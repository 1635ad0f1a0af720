#include "platform/ModalRun.h"

#include "platform/Dialog.h"
#include "platform/Window.h"

namespace Vantor {
namespace {

constexpr wchar_t kReleaseClass[] = L"VantorReleaseLater";
constexpr UINT kReleaseMessage = WM_APP + 0x2B;

LRESULT CALLBACK ReleaseProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kReleaseMessage) {
        try {
            if (auto* const object = reinterpret_cast<IUnknown*>(lParam))
                object->Release();
        } catch (...) {
        }
        DestroyWindow(hwnd);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void ModalRuns::CloseAll()
{
    if (running_ == 0)
        return;
    const std::vector<HWND> open = Win::Dialog::OpenModalDialogs();
    for (std::size_t i = open.size(); i > firstDialog_; --i)
        if (IsWindow(open[i - 1]))
            ::EndDialog(open[i - 1], IDCANCEL);
}

ModalRun::ModalRun(ModalRuns& runs) : runs_(runs)
{
    if (runs_.running_++ == 0)
        runs_.firstDialog_ = Win::Dialog::OpenModalDialogs().size();
    if (runs_.owner_)
        runs_.owner_->AddRef();
}

ModalRun::~ModalRun()
{
    --runs_.running_;
    if (runs_.owner_)
        ReleaseLater(runs_.owner_);
}

void ReleaseLater(IUnknown* object)
{
    if (!object)
        return;
    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.lpfnWndProc = ReleaseProc;
    windowClass.lpszClassName = kReleaseClass;
    HWND window = nullptr;
    if (Win::RegisterModuleWindowClass(windowClass))
        window = CreateWindowExW(0, kReleaseClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Win::ThisModule(), nullptr);
    if (window && PostMessageW(window, kReleaseMessage, 0, reinterpret_cast<LPARAM>(object)))
        return;
    if (window)
        DestroyWindow(window);
    object->Release();
}

}  // namespace Vantor
