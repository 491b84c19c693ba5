// Census through Toolhelp, EnumWindows and GetWindow: a route independent of the
// EnumChildWindows walk the product makes, so that the two can check each other.
#include "WindowCensus.h"

#include "platform/AnsiText.h"

#include <tlhelp32.h>

#include <algorithm>
#include <set>

namespace {
// Captions are only ever compared up to the 254 bytes a scan shows; more is not needed.
constexpr int kCaptionChars = 512;

CensusWindow Describe(HWND window)
{
    CensusWindow entry;
    entry.handle = window;
    GetWindowThreadProcessId(window, &entry.processId);
    wchar_t caption[kCaptionChars] = {};
    // Reads the stored text without sending a message, so a busy owner cannot stall the census.
    InternalGetWindowText(window, caption, kCaptionChars);
    entry.caption = caption;
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    entry.className = className;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        entry.children.push_back(Describe(child));
    }
    return entry;
}

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM context)
{
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

std::set<DWORD> RecordedIds(const Census& census)
{
    std::set<DWORD> ids;
    for (const CensusProcess& process : RecordedProcesses(census)) ids.insert(process.id);
    return ids;
}

long long DescendantObjects(const CensusWindow& window, int depth)
{
    long long total = 0;
    for (const CensusWindow& child : window.children) {
        total += (1LL << (depth - 1)) + DescendantObjects(child, depth + 1);
    }
    return total;
}

TreeNode WindowNode(const CensusWindow& window)
{
    TreeNode node{WindowNodeText(window.handle, AnsiRendering(window.caption, 254), AnsiRendering(window.className, 254)),
                  {}};
    for (const CensusWindow& child : window.children) node.children.push_back(WindowNode(child));
    return node;
}

std::wstring ProcessText(const CensusProcess& process)
{
    return process.exeName + L" [PID:" + std::to_wstring(process.id) + L"]";
}

std::wstring WindowLine(const CensusWindow& window)
{
    return WindowNodePrefix(window.handle) + L" pid " + std::to_wstring(window.processId) + L" \"" +
           window.caption + L"\" [" + window.className + L"]";
}

void Flatten(const CensusWindow& window, int depth, std::vector<std::wstring>& lines)
{
    lines.push_back(std::wstring(static_cast<size_t>(depth) * 2, L' ') + WindowLine(window));
    for (const CensusWindow& child : window.children) Flatten(child, depth + 1, lines);
}

std::vector<std::wstring> Lines(const Census& census)
{
    std::vector<std::wstring> lines;
    for (const CensusProcess& process : census.snapshot) lines.push_back(L"process " + ProcessText(process));
    for (const CensusWindow& window : census.topWindows) Flatten(window, 0, lines);
    return lines;
}

void AppendTree(const std::vector<TreeNode>& nodes, int depth, std::wstring& out)
{
    for (const TreeNode& node : nodes) {
        out += std::wstring(static_cast<size_t>(depth) * 2, L' ') + node.text + L"\n";
        AppendTree(node.children, depth + 1, out);
    }
}
} // namespace

Census TakeCensus()
{
    Census census;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            census.snapshot.push_back(CensusProcess{entry.th32ProcessID, entry.szExeFile});
        }
        CloseHandle(snapshot);
    }
    std::vector<HWND> topWindows;
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&topWindows));
    for (HWND window : topWindows) census.topWindows.push_back(Describe(window));
    return census;
}

std::vector<CensusProcess> RecordedProcesses(const Census& census)
{
    if (census.snapshot.empty()) return {};
    return std::vector<CensusProcess>(census.snapshot.begin() + 1, census.snapshot.end());
}

long long ExpectedObjectCount(const Census& census)
{
    const std::set<DWORD> recorded = RecordedIds(census);
    long long total = 0;
    for (const CensusWindow& window : census.topWindows) {
        if (recorded.count(window.processId) != 0) total += 1 + DescendantObjects(window, 1);
    }
    return total;
}

std::vector<TreeNode> ExpectedTree(const Census& census)
{
    std::vector<TreeNode> roots;
    for (const CensusProcess& process : RecordedProcesses(census)) {
        TreeNode root{ProcessText(process), {}};
        for (const CensusWindow& window : census.topWindows) {
            if (window.processId == process.id) root.children.push_back(WindowNode(window));
        }
        roots.push_back(std::move(root));
    }
    return roots;
}

std::wstring WindowNodePrefix(HWND window)
{
    wchar_t text[24];
    wsprintfW(text, L"hWnd: %08Xh", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

std::wstring WindowNodeText(HWND window, const std::wstring& shownCaption, const std::wstring& className)
{
    return WindowNodePrefix(window) + L"  \x3010" + (shownCaption.empty() ? L"INVALID" : shownCaption) +
           L"\x3011  [Class:" + className + L"]";
}

std::wstring AnsiRendering(const std::wstring& text, size_t byteLimit)
{
    std::string ansi = WideToAnsi(text);
    if (ansi.size() > byteLimit) ansi.resize(byteLimit);
    return AnsiBufferToWide(ansi.data(), ansi.size());
}

std::wstring DescribeDifference(const Census& before, const Census& after)
{
    if (before == after) return {};
    const std::vector<std::wstring> a = Lines(before);
    const std::vector<std::wstring> b = Lines(after);
    const std::set<std::wstring> inA(a.begin(), a.end());
    const std::set<std::wstring> inB(b.begin(), b.end());
    std::wstring out;
    for (const std::wstring& line : a) {
        if (inB.count(line) == 0) out += L"  gone: " + line + L"\n";
    }
    for (const std::wstring& line : b) {
        if (inA.count(line) == 0) out += L"  new:  " + line + L"\n";
    }
    if (out.empty()) out = L"  same entries, different order\n";
    return out;
}

std::wstring FormatTree(const std::vector<TreeNode>& nodes)
{
    std::wstring out;
    AppendTree(nodes, 0, out);
    return out;
}

std::wstring FirstDifference(const std::vector<TreeNode>& expected, const std::vector<TreeNode>& actual)
{
    const size_t common = std::min(expected.size(), actual.size());
    for (size_t i = 0; i < common; ++i) {
        if (expected[i].text != actual[i].text) {
            return L"node " + std::to_wstring(i) + L": expected \"" + expected[i].text + L"\"\n  but the tree has \"" +
                   actual[i].text + L"\"";
        }
        const std::wstring below = FirstDifference(expected[i].children, actual[i].children);
        if (!below.empty()) return expected[i].text + L"\n  > " + below;
    }
    if (expected.size() > actual.size()) {
        return L"missing from the tree: \"" + expected[common].text + L"\" (" +
               std::to_wstring(expected.size() - common) + L" node(s) missing at this level)";
    }
    if (actual.size() > expected.size()) {
        return L"not expected: \"" + actual[common].text + L"\" (" + std::to_wstring(actual.size() - common) +
               L" extra node(s) at this level)";
    }
    return {};
}
