// Closes the application's message boxes from a background thread, as a person pressing OK
// would, and keeps what each one said.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MessageBoxCloser {
public:
    // Watches for top-level dialogs titled `caption` owned by this process.
    explicit MessageBoxCloser(std::wstring caption);
    ~MessageBoxCloser();
    MessageBoxCloser(const MessageBoxCloser&) = delete;
    MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;

    // The texts of the boxes closed so far, oldest first.
    std::vector<std::wstring> Texts() const;

private:
    void Watch();

    std::wstring m_caption;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::vector<std::wstring> m_texts;
    std::thread m_thread;
};
