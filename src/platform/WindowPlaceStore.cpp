// A place that cannot be kept is no error worth a box: reads and writes that fail leave the
// window where the platform or its creator puts it.
#include "platform/WindowPlaceStore.h"

#include "platform/ScreenPlace.h"
#include "platform/UniqueHandles.h"

#include <cwchar>

namespace {
const wchar_t kRoot[] = L"Software\\WindowInventory\\Windows\\";
const wchar_t* const kEdges[] = {L"Left", L"Top", L"Right", L"Bottom"};
constexpr LONG kLargest = 32767; // more than any screen, in pixels
constexpr LONG kSmallest = 16;
constexpr int kLargestNumber = 100000;

std::optional<DWORD> ReadNumber(HKEY key, const wchar_t* value)
{
    DWORD number = 0;
    DWORD size = sizeof number;
    if (RegGetValueW(key, nullptr, value, RRF_RT_REG_DWORD, nullptr, &number, &size) != ERROR_SUCCESS) return std::nullopt;
    return number;
}

void WriteNumber(HKEY key, const wchar_t* value, DWORD number)
{
    RegSetValueExW(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}
} // namespace

WindowPlaceStore::WindowPlaceStore(const std::wstring& name) : m_key(kRoot + name)
{
}

std::optional<WindowPlaceStore::Place> WindowPlaceStore::Load() const
{
    UniqueRegistryKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    LONG edges[4] = {};
    for (int i = 0; i < 4; ++i) {
        const std::optional<DWORD> edge = ReadNumber(key.get(), kEdges[i]);
        if (!edge) return std::nullopt;
        edges[i] = static_cast<LONG>(*edge);
    }
    const RECT rect = {edges[0], edges[1], edges[2], edges[3]};
    const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (rect.left < -kLargest || rect.top < -kLargest || rect.right > kLargest || rect.bottom > kLargest ||
        width < kSmallest || height < kSmallest) {
        return std::nullopt;
    }
    return Place{FitIntoWorkArea(rect), ReadNumber(key.get(), L"Maximized").value_or(0) != 0};
}

void WindowPlaceStore::Follow(HWND window, UINT message)
{
    switch (message) {
    case WM_WINDOWPOSCHANGED:
        // The platform marks a window minimized or maximized before it moves it there.
        if (!IsIconic(window) && !IsZoomed(window)) GetWindowRect(window, &m_normal);
        m_shown = m_shown || IsWindowVisible(window);
        break;
    case WM_DESTROY:
        if (m_shown) Save(window);
        break;
    default:
        break;
    }
}

void WindowPlaceStore::Save(HWND window) const
{
    UniqueRegistryKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    const LONG edges[] = {m_normal.left, m_normal.top, m_normal.right, m_normal.bottom};
    for (int i = 0; i < 4; ++i) WriteNumber(key.get(), kEdges[i], static_cast<DWORD>(edges[i]));
    WriteNumber(key.get(), L"Maximized", IsZoomed(window) ? 1 : 0);
}

std::vector<int> WindowPlaceStore::Numbers(const wchar_t* value, size_t count) const
{
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof text[0];
    if (RegGetValueW(HKEY_CURRENT_USER, m_key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<int> numbers;
    for (const wchar_t* at = text; numbers.size() <= count;) {
        wchar_t* end = nullptr;
        const long number = std::wcstol(at, &end, 10);
        if (end == at) break;
        if (number < 0 || number > kLargestNumber) return {};
        numbers.push_back(static_cast<int>(number));
        at = end;
    }
    return numbers.size() == count ? numbers : std::vector<int>();
}

void WindowPlaceStore::SaveNumbers(const wchar_t* value, const std::vector<int>& numbers) const
{
    std::wstring text;
    for (const int number : numbers) text += (text.empty() ? L"" : L" ") + std::to_wstring(number);
    UniqueRegistryKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
}
