#include "control/MainPanel.h"

#include "Biz/Log.h"
#include "platform/Handles.h"

#include <log4cplus/loggingmacros.h>

namespace Vantor {

MainPanel::MainPanel() { SetAnchor(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight); }

void MainPanel::AttachToWindow(HWND window)
{
    SetHostWindow(window);
    Layout();
}

void MainPanel::CreateControls()
{
    // The upload list fills the panel below the two strips.
    list_.SetAnchor(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight);
    list_.SetMargins(1, 57, 1, 1);
    list_.SetItemWidth(150);
    list_.SetItemHeight(151);
    list_.Create(this);
    list_.FilesDropped.connect([this] { RefreshAfterAdd(); });
    list_.ItemRemoved.connect([this](int) { RefreshAfterAdd(); });
    list_.ThumbnailsLoaded.connect([this] {
        LOG4CPLUS_INFO(Log::instance().logger(), L"thumbnails loaded: " << list_.Count() << L" items");
    });
    list_.Layout();
}

void MainPanel::AddFromPage(const std::wstring& path)
{
    list_.AddFiles({path}, AddLimits{});
}

void MainPanel::RefreshAfterAdd()
{
    const bool show = !list_.IsEmpty();
    if (show != list_.IsVisible())
        list_.SetVisible(show ? 1 : 0);
}

void MainPanel::Layout()
{
    RECT client{};
    GetHostClientRect(&client);
    SetBounds(client);
    LayoutChildren();
}

void MainPanel::Paint(UI::CPaintEventArgs& e)
{
    RECT client{};
    GetHostClientRect(&client);
    PaintPanelBackground(e.dc, client.right - client.left, client.bottom - client.top);
    ControlBase::Paint(e);  // the children, in creation order
}

void PaintPanelBackground(HDC dc, int width, int height)
{
    // Each box is a GDI rectangle: a 1-pixel border inside the given edges, filled.
    const auto box = [dc](int left, int top, int right, int bottom, COLORREF border, COLORREF fill) {
        const GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, border));
        const GdiObject<HBRUSH> brush(CreateSolidBrush(fill));
        const SelectObjectScope usePen(dc, pen.get());
        const SelectObjectScope useBrush(dc, brush.get());
        Rectangle(dc, left, top, right, bottom);
    };
    const COLORREF border = RGB(166, 197, 225);
    box(0, 0, width, height, border, RGB(230, 242, 253));  // the whole panel
    box(0, 0, width, 32, border, RGB(230, 242, 253));      // the button strip
    box(0, 31, width, 57, border, RGB(240, 246, 254));     // the hint strip, sharing a border line
    const RECT listArea{1, 57, width - 1, height - 1};      // behind the list
    if (listArea.right > listArea.left && listArea.bottom > listArea.top) {
        const GdiObject<HBRUSH> listBrush(CreateSolidBrush(RGB(243, 243, 243)));
        FillRect(dc, &listArea, listBrush.get());
    }
}

}  // namespace Vantor
