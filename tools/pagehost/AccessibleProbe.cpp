#include "AccessibleProbe.h"

#include <oleacc.h>

#include <map>

#include "platform/Handles.h"

namespace PageHost {
namespace {

using Vantor::ComPtr;

const wchar_t kControlClass[] = L"VantorFotoloftControl";

std::wstring RoleWord(long role)
{
    static const std::map<long, std::wstring> words = {
        {ROLE_SYSTEM_CLIENT, L"client"},       {ROLE_SYSTEM_PUSHBUTTON, L"pushbutton"},
        {ROLE_SYSTEM_CHECKBUTTON, L"checkbox"}, {ROLE_SYSTEM_COMBOBOX, L"combobox"},
        {ROLE_SYSTEM_STATICTEXT, L"text"},     {ROLE_SYSTEM_LIST, L"list"},
        {ROLE_SYSTEM_LISTITEM, L"listitem"},   {ROLE_SYSTEM_GRAPHIC, L"graphic"},
        {ROLE_SYSTEM_WINDOW, L"window"},       {ROLE_SYSTEM_TEXT, L"editable"},
        {ROLE_SYSTEM_SLIDER, L"slider"},       {ROLE_SYSTEM_DIALOG, L"dialog"},
    };
    const auto found = words.find(role);
    return found != words.end() ? found->second : L"role" + std::to_wstring(role);
}

std::wstring StateWords(long state)
{
    static const std::pair<long, const wchar_t*> words[] = {
        {STATE_SYSTEM_UNAVAILABLE, L"unavailable"}, {STATE_SYSTEM_INVISIBLE, L"invisible"},
        {STATE_SYSTEM_FOCUSED, L"focused"},         {STATE_SYSTEM_FOCUSABLE, L"focusable"},
        {STATE_SYSTEM_SELECTED, L"selected"},       {STATE_SYSTEM_SELECTABLE, L"selectable"},
        {STATE_SYSTEM_CHECKED, L"checked"},         {STATE_SYSTEM_READONLY, L"readonly"},
        {STATE_SYSTEM_OFFSCREEN, L"offscreen"},     {STATE_SYSTEM_EXPANDED, L"expanded"},
        {STATE_SYSTEM_COLLAPSED, L"collapsed"},
    };
    std::wstring out;
    for (const auto& [flag, word] : words)
        if (state & flag)
            out += (out.empty() ? L"" : L",") + std::wstring(word);
    return out;
}

std::wstring Flat(BSTR text)
{
    std::wstring out(text ? text : L"", text ? SysStringLen(text) : 0);
    for (wchar_t& c : out)
        if (c == L'\n' || c == L'\r' || c == L'|')
            c = L' ';
    return out;
}

std::wstring Describe(IAccessible& object, long child)
{
    VARIANT id;
    VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = child;
    VARIANT role, state;
    VariantInit(&role);
    VariantInit(&state);
    BSTR name = nullptr, description = nullptr, value = nullptr, action = nullptr;
    object.get_accRole(id, &role);
    object.get_accState(id, &state);
    object.get_accName(id, &name);
    object.get_accDescription(id, &description);
    object.get_accValue(id, &value);
    object.get_accDefaultAction(id, &action);
    long left = 0, top = 0, width = 0, height = 0;
    object.accLocation(&left, &top, &width, &height, id);
    std::wstring line = RoleWord(role.vt == VT_I4 ? role.lVal : -1) + L"|" + Flat(name) + L"|" +
                        StateWords(state.vt == VT_I4 ? state.lVal : 0) + L"|" + Flat(description) + L"|" +
                        Flat(value) + L"|" + Flat(action) + L"|" + std::to_wstring(left) + L"," +
                        std::to_wstring(top) + L"," + std::to_wstring(width) + L"," + std::to_wstring(height);
    for (BSTR text : {name, description, value, action})
        SysFreeString(text);
    VariantClear(&role);
    VariantClear(&state);
    return line;
}

void Walk(IAccessible& object, int depth, std::wstring& out)
{
    out += std::wstring(depth * 2, L' ') + Describe(object, CHILDID_SELF) + L"\n";
    long count = 0;
    if (FAILED(object.get_accChildCount(&count)) || count <= 0 || depth > 8)
        return;
    std::vector<VARIANT> children(static_cast<size_t>(count));
    long got = 0;
    if (FAILED(AccessibleChildren(&object, 0, count, children.data(), &got)))
        return;
    for (long i = 0; i < got; ++i) {
        VARIANT& child = children[i];
        ComPtr<IAccessible> full;
        if (child.vt == VT_DISPATCH && child.pdispVal &&
            SUCCEEDED(child.pdispVal->QueryInterface(IID_PPV_ARGS(full.GetAddressOf()))))
            Walk(*full.Get(), depth + 1, out);
        else if (child.vt == VT_I4)
            out += std::wstring((depth + 1) * 2, L' ') + Describe(object, child.lVal) + L"\n";
        VariantClear(&child);
    }
}

BOOL CALLBACK FindInTop(HWND top, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(top, &process);
    if (process != GetCurrentProcessId())
        return TRUE;
    struct Search {
        static BOOL CALLBACK Child(HWND window, LPARAM out)
        {
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (wcscmp(name, kControlClass) == 0) {
                *reinterpret_cast<HWND*>(out) = window;
                return FALSE;
            }
            return TRUE;
        }
    };
    EnumChildWindows(top, &Search::Child, found);
    return *reinterpret_cast<HWND*>(found) ? FALSE : TRUE;
}

const wchar_t* EventWord(DWORD event)
{
    switch (event) {
    case EVENT_OBJECT_FOCUS:
        return L"focus";
    case EVENT_OBJECT_SELECTION:
        return L"selection";
    case EVENT_OBJECT_SELECTIONADD:
        return L"selectionadd";
    case EVENT_OBJECT_SELECTIONREMOVE:
        return L"selectionremove";
    case EVENT_OBJECT_SELECTIONWITHIN:
        return L"selectionwithin";
    case EVENT_OBJECT_STATECHANGE:
        return L"statechange";
    case EVENT_OBJECT_NAMECHANGE:
        return L"namechange";
    case EVENT_OBJECT_DESCRIPTIONCHANGE:
        return L"descriptionchange";
    case EVENT_OBJECT_VALUECHANGE:
        return L"valuechange";
    case EVENT_OBJECT_REORDER:
        return L"reorder";
    default:
        return nullptr;
    }
}

WinEventRecorder* g_recorder = nullptr;  // the one hook of the page; its callback has no context

}  // namespace

HWND FindControlWindow()
{
    HWND found = nullptr;
    EnumWindows(&FindInTop, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND FindTopWindow(const std::wstring& title)
{
    struct Search {
        const std::wstring& title;
        HWND found = nullptr;
        static BOOL CALLBACK Top(HWND top, LPARAM out)
        {
            auto& search = *reinterpret_cast<Search*>(out);
            DWORD process = 0;
            GetWindowThreadProcessId(top, &process);
            wchar_t text[256] = {};
            if (process == GetCurrentProcessId() && IsWindowVisible(top) && GetWindowTextW(top, text, 256) > 0 &&
                search.title == text) {
                search.found = top;
                return FALSE;
            }
            return TRUE;
        }
    } search{title};
    EnumWindows(&Search::Top, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring DumpAccessibleTree(HWND window)
{
    ComPtr<IAccessible> root;
    if (!window || FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                                     reinterpret_cast<void**>(root.GetAddressOf()))) ||
        !root)
        return L"";
    std::wstring out;
    Walk(*root.Get(), 0, out);
    return out;
}

WinEventRecorder::~WinEventRecorder()
{
    if (hook_)
        UnhookWinEvent(hook_);
    if (g_recorder == this)
        g_recorder = nullptr;
}

void WinEventRecorder::Start(HWND window)
{
    window_ = window;
    lines_.clear();
    g_recorder = this;
    if (!hook_)
        hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_VALUECHANGE, nullptr, &WinEventRecorder::OnEvent,
                                GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
}

std::wstring WinEventRecorder::Take()
{
    std::wstring out;
    for (const std::wstring& line : lines_)
        out += line + L"\n";
    lines_.clear();
    return out;
}

void CALLBACK WinEventRecorder::OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD,
                                        DWORD)
{
    try {
        WinEventRecorder* const self = g_recorder;
        const wchar_t* const word = EventWord(event);
        if (!self || !word || object != OBJID_CLIENT || !hwnd ||
            (hwnd != self->window_ && !IsChild(self->window_, hwnd)))
            return;
        std::wstring line = word;
        ComPtr<IAccessible> source;
        VARIANT id;
        VariantInit(&id);
        if (SUCCEEDED(AccessibleObjectFromEvent(hwnd, object, child, source.GetAddressOf(), &id)) && source) {
            const std::wstring described = Describe(*source.Get(), id.vt == VT_I4 ? id.lVal : CHILDID_SELF);
            // role|name|states of the element
            size_t cut = 0;
            for (int bars = 0; bars < 3 && cut != std::wstring::npos; ++bars)
                cut = described.find(L'|', cut + (bars ? 1 : 0));
            line += L"|" + described.substr(0, cut);
        }
        VariantClear(&id);
        self->lines_.push_back(line);
    } catch (...) {
    }
}

namespace {

bool KeyFor(const std::wstring& name, WORD& key)
{
    static const std::map<std::wstring, WORD> keys = {
        {L"Tab", VK_TAB},      {L"Enter", VK_RETURN},  {L"Space", VK_SPACE},    {L"Escape", VK_ESCAPE},
        {L"Delete", VK_DELETE}, {L"F2", VK_F2},        {L"Home", VK_HOME},      {L"End", VK_END},
        {L"PageUp", VK_PRIOR}, {L"PageDown", VK_NEXT}, {L"Left", VK_LEFT},      {L"Right", VK_RIGHT},
        {L"Up", VK_UP},        {L"Down", VK_DOWN},     {L"Backspace", VK_BACK}, {L"F4", VK_F4},
    };
    const auto found = keys.find(name);
    if (found != keys.end()) {
        key = found->second;
        return true;
    }
    if (name.size() == 1 && ((name[0] >= L'A' && name[0] <= L'Z') || (name[0] >= L'0' && name[0] <= L'9'))) {
        key = name[0];
        return true;
    }
    return false;
}

INPUT KeyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (key == VK_DELETE || key == VK_HOME || key == VK_END || key == VK_PRIOR || key == VK_NEXT || key == VK_LEFT ||
        key == VK_RIGHT || key == VK_UP || key == VK_DOWN)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    return input;
}

}  // namespace

bool SendKeyChord(const std::wstring& chord)
{
    std::vector<WORD> modifiers;
    std::wstring rest = chord;
    for (;;) {
        const size_t plus = rest.find(L'+');
        if (plus == std::wstring::npos || plus + 1 >= rest.size())
            break;
        const std::wstring part = rest.substr(0, plus);
        if (part == L"Shift")
            modifiers.push_back(VK_SHIFT);
        else if (part == L"Ctrl")
            modifiers.push_back(VK_CONTROL);
        else if (part == L"Alt")
            modifiers.push_back(VK_MENU);
        else
            return false;
        rest = rest.substr(plus + 1);
    }
    WORD key = 0;
    if (!KeyFor(rest, key))
        return false;
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers)
        inputs.push_back(KeyInput(modifier, false));
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m)
        inputs.push_back(KeyInput(*m, true));
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

bool SendText(const std::wstring& text)
{
    std::vector<INPUT> inputs;
    for (wchar_t c : text)
        for (bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    return inputs.empty() ||
           SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

}  // namespace PageHost
