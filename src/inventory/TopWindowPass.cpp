// EnumTopWindowProc: each top-level window becomes a window object of its process's record.
#include "inventory/APi.h"

#include "platform/RuntimeError.h"
#include "window_model/ScreenWindowInfo.h"

std::vector<HWND> TopWindowOrder;

namespace {
HRESULT g_topWindowFailure = S_OK;

void AttachTopWindow(HWND hwnd)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(hwnd, &processId);
    ProcessRecord* owner = nullptr;
    for (ProcessRecord& record : ProcessList) {
        if (record.ProcessId == static_cast<LONG>(processId)) {
            owner = &record;
            break;
        }
    }
    if (owner == nullptr) return; // a process the snapshot did not record

    ComPtr<IScreenWindowInfo> object;
    RaiseIfFailed(ScreenWindowInfo::Create(object.put()));
    if (!owner->Windows) owner->Windows.emplace();
    // In its slot before hWnd is set: reachable from ProcessList while its children are built.
    owner->Windows->push_back(object);
    TopWindowOrder.push_back(hwnd);
    RaiseIfFailed(object->put_hWnd(static_cast<LONG>(reinterpret_cast<INT_PTR>(hwnd))));
}
} // namespace

BOOL CALLBACK EnumTopWindowProc(HWND hwnd, LPARAM) noexcept
{
    const HRESULT hr = ExceptionBarrier([&] { AttachTopWindow(hwnd); });
    if (FAILED(hr)) {
        // Stop the pass; the scan raises the failure once EnumWindows has returned.
        g_topWindowFailure = hr;
        return FALSE;
    }
    return TRUE;
}

HRESULT TakeTopWindowFailure() noexcept
{
    return std::exchange(g_topWindowFailure, S_OK);
}
