// DriveForm: runs one scan in an already started WindowInventory, as a person would, so that a
// headless start shows a filled tree. Exits 0 once the tree is filled and opened.
#include "support/FormDriver.h"

#include <commctrl.h>

#include <cstdio>

int main()
{
    const HWND form = WaitForForm1(0, 60000);
    if (form == nullptr) {
        std::fprintf(stderr, "DriveForm: no Form1 window appeared\n");
        return 1;
    }
    SetForegroundWindow(form);
    ChooseScanCommand(form);
    const HWND box = WaitForMessageBox(form, 60000);
    if (box == nullptr) {
        std::fprintf(stderr, "DriveForm: the scan showed no message box\n");
        return 1;
    }
    std::printf("DriveForm: %ls window objects\n", MessageBoxText(box).c_str());
    PressOk(box);
    const HWND tree = FindTree(form);
    if (!WaitForTreeItems(tree, 60000)) {
        std::fprintf(stderr, "DriveForm: the tree stayed empty\n");
        return 1;
    }
    // Open every process, as one would to look at the windows.
    for (auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); root != nullptr;
         root = reinterpret_cast<HTREEITEM>(
             SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(root)))) {
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    }
    Sleep(500); // let the tree paint
    return 0;
}
