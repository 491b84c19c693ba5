// Fields first, each member of a field under the field's mask, then the flags in bit order.
// Where two names share a bit (BS_LEFTTEXT and BS_RIGHTBUTTON), the older one stands.
#include "inspect/ControlStyles.h"

#include <commctrl.h>
#include <richedit.h>

#include <iterator>

namespace {
constexpr DWORD kButtonType = BS_TYPEMASK, kButtonAlign = BS_CENTER, kButtonVAlign = BS_VCENTER;
const StyleName kButton[] = {
    {kButtonType, BS_PUSHBUTTON, L"BS_PUSHBUTTON"},
    {kButtonType, BS_DEFPUSHBUTTON, L"BS_DEFPUSHBUTTON"},
    {kButtonType, BS_CHECKBOX, L"BS_CHECKBOX"},
    {kButtonType, BS_AUTOCHECKBOX, L"BS_AUTOCHECKBOX"},
    {kButtonType, BS_RADIOBUTTON, L"BS_RADIOBUTTON"},
    {kButtonType, BS_3STATE, L"BS_3STATE"},
    {kButtonType, BS_AUTO3STATE, L"BS_AUTO3STATE"},
    {kButtonType, BS_GROUPBOX, L"BS_GROUPBOX"},
    {kButtonType, BS_USERBUTTON, L"BS_USERBUTTON"},
    {kButtonType, BS_AUTORADIOBUTTON, L"BS_AUTORADIOBUTTON"},
    {kButtonType, BS_PUSHBOX, L"BS_PUSHBOX"},
    {kButtonType, BS_OWNERDRAW, L"BS_OWNERDRAW"},
    {kButtonType, BS_SPLITBUTTON, L"BS_SPLITBUTTON"},
    {kButtonType, BS_DEFSPLITBUTTON, L"BS_DEFSPLITBUTTON"},
    {kButtonType, BS_COMMANDLINK, L"BS_COMMANDLINK"},
    {kButtonType, BS_DEFCOMMANDLINK, L"BS_DEFCOMMANDLINK"},
    {kButtonAlign, BS_LEFT, L"BS_LEFT"},
    {kButtonAlign, BS_RIGHT, L"BS_RIGHT"},
    {kButtonAlign, BS_CENTER, L"BS_CENTER"},
    {kButtonVAlign, BS_TOP, L"BS_TOP"},
    {kButtonVAlign, BS_BOTTOM, L"BS_BOTTOM"},
    {kButtonVAlign, BS_VCENTER, L"BS_VCENTER"},
    {BS_LEFTTEXT, BS_LEFTTEXT, L"BS_LEFTTEXT"},
    {BS_ICON, BS_ICON, L"BS_ICON"},
    {BS_BITMAP, BS_BITMAP, L"BS_BITMAP"},
    {BS_PUSHLIKE, BS_PUSHLIKE, L"BS_PUSHLIKE"},
    {BS_MULTILINE, BS_MULTILINE, L"BS_MULTILINE"},
    {BS_NOTIFY, BS_NOTIFY, L"BS_NOTIFY"},
    {BS_FLAT, BS_FLAT, L"BS_FLAT"},
};

constexpr DWORD kEditAlign = ES_LEFT | ES_CENTER | ES_RIGHT;
const StyleName kEdit[] = {
    {kEditAlign, ES_LEFT, L"ES_LEFT"},           {kEditAlign, ES_CENTER, L"ES_CENTER"},
    {kEditAlign, ES_RIGHT, L"ES_RIGHT"},         {ES_MULTILINE, ES_MULTILINE, L"ES_MULTILINE"},
    {ES_UPPERCASE, ES_UPPERCASE, L"ES_UPPERCASE"}, {ES_LOWERCASE, ES_LOWERCASE, L"ES_LOWERCASE"},
    {ES_PASSWORD, ES_PASSWORD, L"ES_PASSWORD"},  {ES_AUTOVSCROLL, ES_AUTOVSCROLL, L"ES_AUTOVSCROLL"},
    {ES_AUTOHSCROLL, ES_AUTOHSCROLL, L"ES_AUTOHSCROLL"}, {ES_NOHIDESEL, ES_NOHIDESEL, L"ES_NOHIDESEL"},
    {ES_OEMCONVERT, ES_OEMCONVERT, L"ES_OEMCONVERT"}, {ES_READONLY, ES_READONLY, L"ES_READONLY"},
    {ES_WANTRETURN, ES_WANTRETURN, L"ES_WANTRETURN"}, {ES_NUMBER, ES_NUMBER, L"ES_NUMBER"},
};

// Rich edit keeps the edit's names and gives the top bits meanings of its own.
const StyleName kRichEdit[] = {
    {kEditAlign, ES_LEFT, L"ES_LEFT"},           {kEditAlign, ES_CENTER, L"ES_CENTER"},
    {kEditAlign, ES_RIGHT, L"ES_RIGHT"},         {ES_MULTILINE, ES_MULTILINE, L"ES_MULTILINE"},
    {ES_PASSWORD, ES_PASSWORD, L"ES_PASSWORD"},  {ES_AUTOVSCROLL, ES_AUTOVSCROLL, L"ES_AUTOVSCROLL"},
    {ES_AUTOHSCROLL, ES_AUTOHSCROLL, L"ES_AUTOHSCROLL"}, {ES_NOHIDESEL, ES_NOHIDESEL, L"ES_NOHIDESEL"},
    {ES_READONLY, ES_READONLY, L"ES_READONLY"},  {ES_WANTRETURN, ES_WANTRETURN, L"ES_WANTRETURN"},
    {ES_DISABLENOSCROLL, ES_DISABLENOSCROLL, L"ES_DISABLENOSCROLL"}, {ES_SUNKEN, ES_SUNKEN, L"ES_SUNKEN"},
    {ES_SAVESEL, ES_SAVESEL, L"ES_SAVESEL"},
};

constexpr DWORD kStaticType = SS_TYPEMASK, kStaticEllipsis = SS_ELLIPSISMASK;
const StyleName kStatic[] = {
    {kStaticType, SS_LEFT, L"SS_LEFT"},
    {kStaticType, SS_CENTER, L"SS_CENTER"},
    {kStaticType, SS_RIGHT, L"SS_RIGHT"},
    {kStaticType, SS_ICON, L"SS_ICON"},
    {kStaticType, SS_BLACKRECT, L"SS_BLACKRECT"},
    {kStaticType, SS_GRAYRECT, L"SS_GRAYRECT"},
    {kStaticType, SS_WHITERECT, L"SS_WHITERECT"},
    {kStaticType, SS_BLACKFRAME, L"SS_BLACKFRAME"},
    {kStaticType, SS_GRAYFRAME, L"SS_GRAYFRAME"},
    {kStaticType, SS_WHITEFRAME, L"SS_WHITEFRAME"},
    {kStaticType, SS_USERITEM, L"SS_USERITEM"},
    {kStaticType, SS_SIMPLE, L"SS_SIMPLE"},
    {kStaticType, SS_LEFTNOWORDWRAP, L"SS_LEFTNOWORDWRAP"},
    {kStaticType, SS_OWNERDRAW, L"SS_OWNERDRAW"},
    {kStaticType, SS_BITMAP, L"SS_BITMAP"},
    {kStaticType, SS_ENHMETAFILE, L"SS_ENHMETAFILE"},
    {kStaticType, SS_ETCHEDHORZ, L"SS_ETCHEDHORZ"},
    {kStaticType, SS_ETCHEDVERT, L"SS_ETCHEDVERT"},
    {kStaticType, SS_ETCHEDFRAME, L"SS_ETCHEDFRAME"},
    {kStaticEllipsis, SS_ENDELLIPSIS, L"SS_ENDELLIPSIS"},
    {kStaticEllipsis, SS_PATHELLIPSIS, L"SS_PATHELLIPSIS"},
    {kStaticEllipsis, SS_WORDELLIPSIS, L"SS_WORDELLIPSIS"},
    {SS_REALSIZECONTROL, SS_REALSIZECONTROL, L"SS_REALSIZECONTROL"},
    {SS_NOPREFIX, SS_NOPREFIX, L"SS_NOPREFIX"},
    {SS_NOTIFY, SS_NOTIFY, L"SS_NOTIFY"},
    {SS_CENTERIMAGE, SS_CENTERIMAGE, L"SS_CENTERIMAGE"},
    {SS_RIGHTJUST, SS_RIGHTJUST, L"SS_RIGHTJUST"},
    {SS_REALSIZEIMAGE, SS_REALSIZEIMAGE, L"SS_REALSIZEIMAGE"},
    {SS_SUNKEN, SS_SUNKEN, L"SS_SUNKEN"},
    {SS_EDITCONTROL, SS_EDITCONTROL, L"SS_EDITCONTROL"},
};

#define FLAG(name) {name, name, L## #name}
const StyleName kListBox[] = {
    FLAG(LBS_NOTIFY),         FLAG(LBS_SORT),         FLAG(LBS_NOREDRAW),          FLAG(LBS_MULTIPLESEL),
    FLAG(LBS_OWNERDRAWFIXED), FLAG(LBS_OWNERDRAWVARIABLE), FLAG(LBS_HASSTRINGS),   FLAG(LBS_USETABSTOPS),
    FLAG(LBS_NOINTEGRALHEIGHT), FLAG(LBS_MULTICOLUMN), FLAG(LBS_WANTKEYBOARDINPUT), FLAG(LBS_EXTENDEDSEL),
    FLAG(LBS_DISABLENOSCROLL), FLAG(LBS_NODATA),      FLAG(LBS_NOSEL),             FLAG(LBS_COMBOBOX),
};

constexpr DWORD kComboType = CBS_SIMPLE | CBS_DROPDOWN | CBS_DROPDOWNLIST;
const StyleName kComboBox[] = {
    {kComboType, CBS_SIMPLE, L"CBS_SIMPLE"},     {kComboType, CBS_DROPDOWN, L"CBS_DROPDOWN"},
    {kComboType, CBS_DROPDOWNLIST, L"CBS_DROPDOWNLIST"},
    FLAG(CBS_OWNERDRAWFIXED), FLAG(CBS_OWNERDRAWVARIABLE), FLAG(CBS_AUTOHSCROLL), FLAG(CBS_OEMCONVERT),
    FLAG(CBS_SORT),           FLAG(CBS_HASSTRINGS),        FLAG(CBS_NOINTEGRALHEIGHT), FLAG(CBS_DISABLENOSCROLL),
    FLAG(CBS_UPPERCASE),      FLAG(CBS_LOWERCASE),
};

const StyleName kTreeView[] = {
    FLAG(TVS_HASBUTTONS),  FLAG(TVS_HASLINES),     FLAG(TVS_LINESATROOT), FLAG(TVS_EDITLABELS),
    FLAG(TVS_DISABLEDRAGDROP), FLAG(TVS_SHOWSELALWAYS), FLAG(TVS_RTLREADING), FLAG(TVS_NOTOOLTIPS),
    FLAG(TVS_CHECKBOXES),  FLAG(TVS_TRACKSELECT),  FLAG(TVS_SINGLEEXPAND), FLAG(TVS_INFOTIP),
    FLAG(TVS_FULLROWSELECT), FLAG(TVS_NOSCROLL),   FLAG(TVS_NONEVENHEIGHT), FLAG(TVS_NOHSCROLL),
};

const StyleName kListView[] = {
    {LVS_TYPEMASK, LVS_ICON, L"LVS_ICON"},       {LVS_TYPEMASK, LVS_REPORT, L"LVS_REPORT"},
    {LVS_TYPEMASK, LVS_SMALLICON, L"LVS_SMALLICON"}, {LVS_TYPEMASK, LVS_LIST, L"LVS_LIST"},
    FLAG(LVS_SINGLESEL),      FLAG(LVS_SHOWSELALWAYS), FLAG(LVS_SORTASCENDING), FLAG(LVS_SORTDESCENDING),
    FLAG(LVS_SHAREIMAGELISTS), FLAG(LVS_NOLABELWRAP), FLAG(LVS_AUTOARRANGE),  FLAG(LVS_EDITLABELS),
    FLAG(LVS_OWNERDRAWFIXED), FLAG(LVS_ALIGNLEFT),    FLAG(LVS_OWNERDATA),    FLAG(LVS_NOSCROLL),
    FLAG(LVS_NOCOLUMNHEADER), FLAG(LVS_NOSORTHEADER),
};

// A size box's bits 1 and 2 align it to the other side than a bar's do.
constexpr DWORD kScrollShape = SBS_VERT | SBS_SIZEBOX | SBS_SIZEGRIP;
const StyleName kScrollBar[] = {
    {kScrollShape, SBS_HORZ, L"SBS_HORZ"},
    {kScrollShape, SBS_VERT, L"SBS_VERT"},
    {SBS_SIZEBOX, SBS_SIZEBOX, L"SBS_SIZEBOX"},
    {SBS_SIZEGRIP, SBS_SIZEGRIP, L"SBS_SIZEGRIP"},
    {kScrollShape | SBS_TOPALIGN, SBS_TOPALIGN, L"SBS_TOPALIGN"},
    {kScrollShape | SBS_BOTTOMALIGN, SBS_BOTTOMALIGN, L"SBS_BOTTOMALIGN"},
    {kScrollShape | SBS_LEFTALIGN, SBS_VERT | SBS_LEFTALIGN, L"SBS_LEFTALIGN"},
    {kScrollShape | SBS_RIGHTALIGN, SBS_VERT | SBS_RIGHTALIGN, L"SBS_RIGHTALIGN"},
    {SBS_SIZEBOX | SBS_SIZEBOXTOPLEFTALIGN, SBS_SIZEBOX | SBS_SIZEBOXTOPLEFTALIGN, L"SBS_SIZEBOXTOPLEFTALIGN"},
    {SBS_SIZEBOX | SBS_SIZEBOXBOTTOMRIGHTALIGN, SBS_SIZEBOX | SBS_SIZEBOXBOTTOMRIGHTALIGN,
     L"SBS_SIZEBOXBOTTOMRIGHTALIGN"},
};
#undef FLAG

struct ClassTable {
    const wchar_t* className;
    StyleNameTable table;
};

template <size_t N>
constexpr StyleNameTable Table(const StyleName (&names)[N])
{
    return {names, N};
}

const ClassTable kClasses[] = {
    {L"Button", Table(kButton)},          {L"Edit", Table(kEdit)},
    {L"Static", Table(kStatic)},          {L"ListBox", Table(kListBox)},
    {L"ComboLBox", Table(kListBox)},      {L"ComboBox", Table(kComboBox)},
    {L"SysTreeView32", Table(kTreeView)}, {L"SysListView32", Table(kListView)},
    {L"ScrollBar", Table(kScrollBar)},    {L"RichEdit", Table(kRichEdit)},
    {L"RichEdit20A", Table(kRichEdit)},   {L"RichEdit20W", Table(kRichEdit)},
    {L"RICHEDIT50W", Table(kRichEdit)},
};
} // namespace

StyleNameTable ControlStyleNames(const std::wstring& className)
{
    // Classes of Common Controls 6 may be registered as "6.0.x.y!Button".
    const size_t bang = className.rfind(L'!');
    const wchar_t* const name = className.c_str() + (bang == std::wstring::npos ? 0 : bang + 1);
    for (const ClassTable& known : kClasses) {
        if (CompareStringOrdinal(name, -1, known.className, -1, TRUE) == CSTR_EQUAL) return known.table;
    }
    return {};
}
