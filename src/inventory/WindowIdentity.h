// When a window of one scan is the same window as one of another: the same handle, process and
// class. Handles are reused, so the handle alone is not enough. The form's marking of what is
// new and /compare both ask this, of records and of files read back.
#pragma once

template <class Window, class OtherWindow>
bool IsSameWindow(const Window& a, const OtherWindow& b)
{
    return a.handle == b.handle && a.processId == b.processId && a.className == b.className;
}
