// BuildProcessList: the process snapshot walked into ProcessList.
#include "inventory/APi.h"

#include "platform/AnsiText.h"
#include "platform/ProcessSnapshot.h"
#include "platform/RuntimeError.h"

#include <tlhelp32.h>

#include <cstring>

std::vector<ProcessRecord> ProcessList;

void BuildProcessList()
{
    // The previous scan's records, and every window object they still hold, go first.
    std::vector<ProcessRecord> placeholder(1);
    ProcessList.swap(placeholder);
    placeholder.clear();
    TopWindowOrder.clear();

    const UniqueSnapshot snapshot(Toolhelp().CreateSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;

    ProcessEntryRecord entry = {};
    entry.dwSize = sizeof entry;
    // The snapshot's first entry is never recorded.
    Toolhelp().ProcessFirst(snapshot.get(), &entry);
    LONG index = -1;
    while (Toolhelp().ProcessNext(snapshot.get(), &entry)) {
        index = CheckedAdd(index, 1);
        if (index > 0) ProcessList.emplace_back(); // the first entry takes the placeholder's slot
        ProcessRecord& record = ProcessList[static_cast<size_t>(index)];
        record.ProcessId = static_cast<LONG>(entry.th32ProcessID);
        record.ExeName = AnsiBufferToWide(entry.szExeFile, sizeof entry.szExeFile);
        // No remainder of a long name may show behind a shorter one.
        entry.szExeFile[0] = '\0';
        std::memset(entry.szExeFile + 1, ' ', sizeof entry.szExeFile - 1);
    }
}
