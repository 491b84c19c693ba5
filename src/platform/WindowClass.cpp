// Registering the program's window classes once.
#include "platform/WindowClass.h"

#include "platform/ProgramIcon.h"
#include "platform/RuntimeError.h"

void RegisterWindowClassOnce(const wchar_t* name, WNDPROC procedure, UINT style, HBRUSH background)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    if (GetClassInfoExW(instance, name, &windowClass)) return;
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    SetProgramIcons(windowClass);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    if (!RegisterClassExW(&windowClass)) RaiseLastError();
}
