// FillWindowTree and AddWindowNode: a node per process and per window, in the formats of NodeText.
#include "inventory/APi.h"

#include "inventory/NodeText.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "platform/UniqueHandles.h"
#include "window_model/ScreenWindowInfo.h"

#include <oleauto.h>

namespace {
// Running out of memory is no step to skip: a node would go missing without a word. The fill
// finishes what it can, releases every object, and then raises it.
HRESULT g_fillFailure = S_OK;

// One step of AddWindowNode: a failure skips the step, and the walk goes on with the next one.
// True when the step went through.
template <class Step>
bool RunStep(Step&& step) noexcept
{
    const HRESULT hr = ExceptionBarrier(std::forward<Step>(step));
    if (hr == kErrorOutOfMemory && g_fillFailure == S_OK) g_fillFailure = hr;
    return SUCCEEDED(hr);
}

std::wstring ReadString(HRESULT (STDMETHODCALLTYPE IScreenWindowInfo::*getter)(BSTR*), IScreenWindowInfo* window)
{
    UniqueBstr text;
    RaiseIfFailed((window->*getter)(text.put()));
    return std::wstring(text.get() ? text.get() : L"", SysStringLen(text.get()));
}

LONG ReadHandle(IScreenWindowInfo* window)
{
    if (window == nullptr) RaiseError(E_POINTER);
    LONG handle = 0;
    RaiseIfFailed(window->get_hWnd(&handle));
    return handle;
}
} // namespace

void AddWindowNode(TreeViewControl& tree, IScreenWindowInfo* window, const std::wstring& parentKey) noexcept
{
    // The insertion fails for every repeated copy of a window, whose first copy is already in
    // place under its own parent.
    RunStep([&] {
        const LONG handle = ReadHandle(window);
        tree.AddChild(parentKey, WindowNodeKey(handle),
                      WindowNodeText(handle, ReadString(&IScreenWindowInfo::get_Caption, window),
                                     ReadString(&IScreenWindowInfo::get_ClassName, window)));
    });

    VARIANT_BOOL hasChildren = VARIANT_FALSE;
    LONG last = -1;
    const bool walk = RunStep([&] {
        if (window == nullptr) RaiseError(E_POINTER);
        RaiseIfFailed(window->get_HasChildWindow(&hasChildren));
        if (hasChildren) RaiseIfFailed(window->get_GetChildCount(&last));
    });
    if (!walk || !hasChildren) return;
    std::wstring childKey;
    RunStep([&] { childKey = WindowNodeKey(ReadHandle(window)); });
    for (LONG k = 0; k <= last; ++k) {
        RunStep([&] {
            ComPtr<IScreenWindowInfo> child;
            RaiseIfFailed(window->get_GetChildObject(k, child.put()));
            AddWindowNode(tree, child.get(), childKey);
        });
    }
}

void FillWindowTree(TreeViewControl& tree, ProgressBarControl& progress, const std::function<void(bool shown)>& countBox)
{
    g_fillFailure = S_OK;
    tree.Clear();
    if (countBox) countBox(true);
    ShowMessageBox(GetAncestor(tree.hWnd(), GA_ROOT), std::to_wstring(WindowObjectCount), kApplicationTitle,
                   MB_OK | MB_APPLMODAL);
    if (countBox) countBox(false);

    const LONG upper = static_cast<LONG>(ProcessList.size()) - 1;
    progress.put_Max(static_cast<float>(upper));
    progress.put_Min(0);
    progress.put_Value(0);

    const TreeViewControl::RedrawSuspension quiet = tree.SuspendRedraw();
    for (LONG i = 0; i <= upper; ++i) {
        ProcessRecord& record = ProcessList[static_cast<size_t>(i)];
        progress.put_Value(static_cast<float>(i));
        const std::wstring processKey = ProcessNodeKey(record.ProcessId);
        tree.AddRoot(processKey, ProcessNodeText(record.ExeName, record.ProcessId));
        if (!record.Windows) continue;
        std::vector<ComPtr<IScreenWindowInfo>>& windows = *record.Windows;
        for (ComPtr<IScreenWindowInfo>& window : windows) {
            AddWindowNode(tree, window.get(), processKey);
            // One top-level window at a time is turned into nodes and then released.
            if (window) RaiseIfFailed(window->FreeMe());
            window.reset();
        }
    }
    RaiseIfFailed(std::exchange(g_fillFailure, S_OK));
}
