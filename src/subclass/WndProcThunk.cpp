// The window-procedure template and the run-mode source.
#include "subclass/WndProcThunk.h"

// push ebp; mov ebp,esp; add esp,-4 (result word [ebp-4]); push lParam, wParam, msg, hwnd
// 12: mov eax,<run mode>; or eax,eax; jne 65 (direct)
// 1B: mov ecx,<guard word>; mov eax,msg
//     WM_DESTROY: guard = 0; WM_NCACTIVATE, WM_SHOWWINDOW: guard = wParam; 105Ah: guard = 1
// 50: cmp dword [ecx],1; je 65; push <previous>; mov eax,<CallWindowProcA>; call eax; jmp 78
// 65: lea eax,[ebp-4]; push eax; push <object>; mov eax,<target>; call eax
// 75: mov eax,[ebp-4]; 78: leave; ret 10h
const DWORD kWndProcThunkTemplate[kWndProcThunkWords] = {
    0x83EC8B55, 0x75FFFCC4, 0x1075FF14, 0xFF0C75FF, 0x00B80875, 0x0B000040, 0xB94A75C0, 0x00001000,
    0x830C458B, 0x087502F8, 0x000001C7, 0x20EB0000, 0x0000863D, 0x83057400, 0x077518F8, 0x8910458B,
    0x3D0DEB01, 0x0000105A, 0x01C70675, 0x00000001, 0x75013983, 0x680EEB02, 0x00002000, 0x003000B8,
    0xEBD0FF00, 0xFC458D13, 0x50006850, 0x00B80000, 0xFF000060, 0xFC458BD0, 0x0010C2C9,
};

namespace {
LONG DebuggerRunMode() noexcept
{
    return IsDebuggerPresent() ? 0 : 1;
}

RunModeSource g_runModeSource = &DebuggerRunMode;
} // namespace

LONG ReadRunMode() noexcept
{
    return g_runModeSource();
}

RunModeSource SetRunModeSource(RunModeSource source) noexcept
{
    const RunModeSource previous = g_runModeSource;
    g_runModeSource = source != nullptr ? source : &DebuggerRunMode;
    return previous;
}
