// The dispatch-table arithmetic shared by both thunk builders.
#include "platform/DispatchEntry.h"

#include "platform/RuntimeError.h"

#include <cstring>

LONG DispatchEntryAddress(LONG table, LONG ordinal)
{
    return CheckedAdd(CheckedAdd(CheckedMul(CheckedSub(ordinal, 1), 4), table), 0x1C);
}

LONG ReadDispatchEntry(LONG object, LONG ordinal)
{
    LONG table = 0;
    std::memcpy(&table, reinterpret_cast<const void*>(static_cast<INT_PTR>(object)), sizeof table);
    LONG entry = 0;
    std::memcpy(&entry, reinterpret_cast<const void*>(static_cast<INT_PTR>(DispatchEntryAddress(table, ordinal))),
                sizeof entry);
    return entry;
}
