// The test's own windows, made before the product starts so that its scan finds them. A thread
// of their own creates them and keeps pumping: while the main thread waits on the product, the
// system and the product's window activation still send these windows messages.
#pragma once
#include <windows.h>

#include <string>
#include <thread>

class OwnWindows {
public:
    OwnWindows();
    ~OwnWindows(); // the windows go with their thread
    OwnWindows(const OwnWindows&) = delete;
    OwnWindows& operator=(const OwnWindows&) = delete;

    // Longer than the 254 bytes a scan shows of a caption.
    static std::wstring LongCaption();
    // With characters the usual ANSI code pages lack.
    static std::wstring ForeignCaption();

    // Every handle is null if the thread could not create all windows.
    bool Created() const noexcept { return chainC != nullptr && foreignCaption != nullptr; }

    // top -> A -> B -> C: a window three levels below its top-level window.
    HWND chainTop = nullptr;
    HWND chainA = nullptr;
    HWND chainB = nullptr;
    HWND chainC = nullptr;
    HWND noCaption = nullptr;
    HWND longCaption = nullptr;
    HWND foreignCaption = nullptr;

private:
    void Run(HANDLE ready);

    DWORD m_threadId = 0;
    std::thread m_thread;
};
