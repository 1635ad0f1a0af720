#include "ui/Theme.h"

Theme& Theme::Instance()
{
    static Theme theme;
    return theme;
}

HFONT Theme::CreateUiFont(int weight)
{
    return CreateFontW(12, 0, 0, 0, weight, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, L"\u65B0\u5B8B\u4F53");
}

Theme::Theme() : normalFont_(CreateUiFont(FW_NORMAL)), boldFont_(CreateUiFont(FW_BOLD)) {}
