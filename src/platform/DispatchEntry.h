// Where generated code finds its target: an entry of a dual object's dispatch table.
#pragma once
#include <windows.h>

// The address of table entry 6 + `ordinal` (the seven IUnknown and IDispatch entries come
// first): ordinal − 1, times 4, plus the table's address, plus 0x1C, in that order, each step
// signed 32-bit arithmetic that raises an overflow.
LONG DispatchEntryAddress(LONG table, LONG ordinal);
// The code address that the table of the object at `object` holds for `ordinal`.
LONG ReadDispatchEntry(LONG object, LONG ordinal);
