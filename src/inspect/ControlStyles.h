// The names of the class-specific low word of a window's style for the common controls: a
// button's BS_*, an edit's ES_* and so on. Data, one table per class.
#pragma once
#include <windows.h>

#include <string>

// A name holds when (style & mask) == value: a flag has value == mask, a member of an
// enumerated field (a button's type, a static's kind) has the field's mask, and may be 0.
struct StyleName {
    DWORD mask;
    DWORD value;
    const wchar_t* name;
};

struct StyleNameTable {
    const StyleName* names = nullptr;
    size_t count = 0;
};

// The table for the class name (compared without case, any "version!" prefix ignored); empty
// for classes it does not know.
StyleNameTable ControlStyleNames(const std::wstring& className);
