// Names and groups of window messages for the message log: the standard messages, the messages
// of a window's own control class (their values overlap between classes), registered messages
// by their registered name, marked as registered, and anything else in hexadecimal.
#pragma once
#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

class MessageNames {
public:
    // The names for windows of `windowClass`. A table per control class that the headers name
    // messages or styles for, made once and kept for the program's life; every other class
    // shares the standard messages' table, so no class a watched program makes costs anything.
    static const MessageNames& Of(const std::wstring& windowClass);
    // The names every window's messages have: what a window whose class cannot be read gets.
    static const MessageNames& Standard();

    // The control class these names are for ("Button", "RichEdit20W"); empty for the standard ones.
    const std::wstring& WindowClass() const noexcept { return m_windowClass; }
    // A registered message reads "WindowInventory.Ping (registered)", its name spelled out where
    // it holds controls or invisible characters, so that none reads as a standard message. The
    // text holds until the next call (names made for numbers no table has are kept a while).
    // Tables and names are this program's GUI thread's.
    const std::wstring& Name(UINT message) const;
    // "mouse", "keyboard", "paint", "timer", "command", "window", "control" or "user".
    const wchar_t* Group(UINT message) const;
    static const std::vector<const wchar_t*>& Groups();
    // Whether `message` is in the range RegisterWindowMessage hands out.
    static bool Registered(UINT message) noexcept { return message >= 0xC000 && message <= 0xFFFF; }

private:
    struct Entry {
        std::wstring name;
        const wchar_t* group;
    };
    // `windowClass` empty: the standard table, else the class's own messages on top of it.
    explicit MessageNames(const std::wstring& windowClass);
    const Entry* Find(UINT message) const;

    std::wstring m_windowClass;
    std::unordered_map<UINT, Entry> m_entries;
};
