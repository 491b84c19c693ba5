// Flag tables in the order the bits stand in the word, highest first.
#include "inspect/StyleNames.h"

#include "inspect/ControlStyles.h"

#include <iterator>

namespace {
// The tables hold the same named flags the change dialog ticks.
using Flag = StyleFlag;

// WS_CAPTION before its two halves; the box bits mean WS_GROUP/WS_TABSTOP on child windows.
const Flag kStyles[] = {
    {WS_POPUP, L"WS_POPUP"},         {WS_CHILD, L"WS_CHILD"},       {WS_MINIMIZE, L"WS_MINIMIZE"},
    {WS_VISIBLE, L"WS_VISIBLE"},     {WS_DISABLED, L"WS_DISABLED"}, {WS_CLIPSIBLINGS, L"WS_CLIPSIBLINGS"},
    {WS_CLIPCHILDREN, L"WS_CLIPCHILDREN"}, {WS_MAXIMIZE, L"WS_MAXIMIZE"}, {WS_CAPTION, L"WS_CAPTION"},
    {WS_BORDER, L"WS_BORDER"},       {WS_DLGFRAME, L"WS_DLGFRAME"}, {WS_VSCROLL, L"WS_VSCROLL"},
    {WS_HSCROLL, L"WS_HSCROLL"},     {WS_SYSMENU, L"WS_SYSMENU"},   {WS_THICKFRAME, L"WS_THICKFRAME"},
};
const Flag kTopLevelBoxes[] = {{WS_MINIMIZEBOX, L"WS_MINIMIZEBOX"}, {WS_MAXIMIZEBOX, L"WS_MAXIMIZEBOX"}};
const Flag kChildBoxes[] = {{WS_GROUP, L"WS_GROUP"}, {WS_TABSTOP, L"WS_TABSTOP"}};

const Flag kExtendedStyles[] = {
    {WS_EX_NOACTIVATE, L"WS_EX_NOACTIVATE"},
    {WS_EX_COMPOSITED, L"WS_EX_COMPOSITED"},
    {WS_EX_LAYOUTRTL, L"WS_EX_LAYOUTRTL"},
    {0x00200000L, L"WS_EX_NOREDIRECTIONBITMAP"},
    {WS_EX_NOINHERITLAYOUT, L"WS_EX_NOINHERITLAYOUT"},
    {WS_EX_LAYERED, L"WS_EX_LAYERED"},
    {WS_EX_APPWINDOW, L"WS_EX_APPWINDOW"},
    {WS_EX_STATICEDGE, L"WS_EX_STATICEDGE"},
    {WS_EX_CONTROLPARENT, L"WS_EX_CONTROLPARENT"},
    {WS_EX_LEFTSCROLLBAR, L"WS_EX_LEFTSCROLLBAR"},
    {WS_EX_RTLREADING, L"WS_EX_RTLREADING"},
    {WS_EX_RIGHT, L"WS_EX_RIGHT"},
    {WS_EX_CONTEXTHELP, L"WS_EX_CONTEXTHELP"},
    {WS_EX_CLIENTEDGE, L"WS_EX_CLIENTEDGE"},
    {WS_EX_WINDOWEDGE, L"WS_EX_WINDOWEDGE"},
    {WS_EX_TOOLWINDOW, L"WS_EX_TOOLWINDOW"},
    {WS_EX_MDICHILD, L"WS_EX_MDICHILD"},
    {WS_EX_TRANSPARENT, L"WS_EX_TRANSPARENT"},
    {WS_EX_ACCEPTFILES, L"WS_EX_ACCEPTFILES"},
    {WS_EX_TOPMOST, L"WS_EX_TOPMOST"},
    {WS_EX_NOPARENTNOTIFY, L"WS_EX_NOPARENTNOTIFY"},
    {WS_EX_DLGMODALFRAME, L"WS_EX_DLGMODALFRAME"},
};

const Flag kClassStyles[] = {
    {CS_DROPSHADOW, L"CS_DROPSHADOW"},   {CS_IME, L"CS_IME"},
    {CS_GLOBALCLASS, L"CS_GLOBALCLASS"}, {CS_BYTEALIGNWINDOW, L"CS_BYTEALIGNWINDOW"},
    {CS_BYTEALIGNCLIENT, L"CS_BYTEALIGNCLIENT"}, {CS_SAVEBITS, L"CS_SAVEBITS"},
    {CS_NOCLOSE, L"CS_NOCLOSE"},         {CS_PARENTDC, L"CS_PARENTDC"},
    {CS_CLASSDC, L"CS_CLASSDC"},         {CS_OWNDC, L"CS_OWNDC"},
    {CS_DBLCLKS, L"CS_DBLCLKS"},         {CS_HREDRAW, L"CS_HREDRAW"},
    {CS_VREDRAW, L"CS_VREDRAW"},
};

template <size_t N>
void TakeFlags(DWORD& bits, const Flag (&flags)[N], std::wstring& names)
{
    for (const Flag& flag : flags) {
        if ((bits & flag.mask) != flag.mask) continue;
        if (!names.empty()) names += L" | ";
        names += flag.name;
        bits &= ~flag.mask;
    }
}

// A member of an enumerated field is named even when it is 0 (BS_PUSHBUTTON).
void TakeNames(DWORD style, DWORD& bits, const StyleNameTable& table, std::wstring& names)
{
    for (size_t i = 0; i < table.count; ++i) {
        const StyleName& name = table.names[i];
        if ((style & name.mask) != name.value) continue;
        if (!names.empty()) names += L" | ";
        names += name.name;
        bits &= ~name.mask;
    }
}

void AddRemainder(DWORD bits, std::wstring& names)
{
    if (bits == 0 && !names.empty()) return;
    wchar_t text[16];
    wsprintfW(text, L"0x%08X", bits);
    if (!names.empty()) names += L" | ";
    names += text;
}

// Every flag of a word by its name, and what is left in hex.
template <size_t N>
std::wstring NamesOf(DWORD bits, const Flag (&flags)[N])
{
    std::wstring names;
    TakeFlags(bits, flags, names);
    AddRemainder(bits, names);
    return names;
}
} // namespace

std::wstring StyleNames(DWORD style, const std::wstring& className)
{
    std::wstring names;
    const DWORD read = style;
    const bool child = (style & WS_CHILD) != 0;
    TakeFlags(style, kStyles, names);
    if (child) {
        TakeFlags(style, kChildBoxes, names);
    } else {
        TakeFlags(style, kTopLevelBoxes, names);
    }
    TakeNames(LOWORD(read), style, ControlStyleNames(className), names);
    AddRemainder(style, names);
    return names;
}

std::wstring ExtendedStyleNames(DWORD exStyle)
{
    return NamesOf(exStyle, kExtendedStyles);
}

std::vector<StyleFlag> StyleFlags(bool child)
{
    std::vector<StyleFlag> flags(std::begin(kStyles), std::end(kStyles));
    const auto& boxes = child ? kChildBoxes : kTopLevelBoxes;
    flags.insert(flags.end(), std::begin(boxes), std::end(boxes));
    return flags;
}

std::vector<StyleFlag> ExtendedStyleFlags()
{
    return {std::begin(kExtendedStyles), std::end(kExtendedStyles)};
}

std::wstring ClassStyleNames(DWORD classStyle)
{
    return NamesOf(classStyle, kClassStyles);
}
