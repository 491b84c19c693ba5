// Where each of the program's windows was left, per user, so that it opens there next time.
// HKEY_CURRENT_USER\Software\WindowInventory\Windows\<name> holds the window's normal (not
// minimized or maximized) rectangle in screen pixels as Left, Top, Right and Bottom, Maximized,
// and numbers of the window's own as text (a list's column widths). A window keeps a store by
// its name ("Form1", "Message log", ...) and hands it its messages.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

class WindowPlaceStore {
public:
    struct Place {
        RECT rect; // the normal rectangle
        bool maximized;
    };

    explicit WindowPlaceStore(const std::wstring& name);

    // Where the window was left last time, pulled into the work area of the monitor nearest to it
    // (monitors change between runs); nothing when it was never left, or what is kept makes no
    // sense (a rectangle smaller than a caption button or larger than any screen).
    std::optional<Place> Load() const;
    // Follows the window's normal rectangle through its messages, and keeps its place at
    // WM_DESTROY if it was ever shown. Any message of the window's procedure may come here.
    void Follow(HWND window, UINT message);
    // `count` numbers kept under `value`, or none where another count, something else or
    // nothing was kept.
    std::vector<int> Numbers(const wchar_t* value, size_t count) const;
    void SaveNumbers(const wchar_t* value, const std::vector<int>& numbers) const;

private:
    void Save(HWND window) const;

    std::wstring m_key;
    RECT m_normal = {};
    bool m_shown = false;
};
