// Names and groups of window messages for the message log: the standard messages, the messages
// of the watched window's own control class (their values overlap between classes), registered
// messages by their registered name, and anything else in hexadecimal.
#pragma once
#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

class MessageNames {
public:
    // `windowClass`: the watched window's class name, which decides whose control messages apply.
    explicit MessageNames(const std::wstring& windowClass);

    const std::wstring& WindowClass() const noexcept { return m_windowClass; }
    const std::wstring& Name(UINT message);
    // "mouse", "keyboard", "paint", "timer", "command", "window", "control" or "user".
    const wchar_t* Group(UINT message);
    static const std::vector<const wchar_t*>& Groups();

private:
    struct Entry {
        std::wstring name;
        const wchar_t* group;
    };
    const Entry& Lookup(UINT message);
    static constexpr size_t kCachedNames = 4096;

    std::wstring m_windowClass;
    std::unordered_map<UINT, Entry> m_entries;
    // Registered and unknown numbers, named as they come.
    std::unordered_map<UINT, Entry> m_unknown;
};
