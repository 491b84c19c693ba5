// Texts of other programs' controls are theirs to give: WM_GETTEXT goes through
// SendMessageTimeout, and never to a window the system reports hung. One reading gives all the
// windows it asks together half a second to answer, so that no program, however slowly it
// answers, holds the form longer; once that is spent, or a window did not answer in it, every
// other text is read as the system keeps it (InternalGetWindowText). Whatever comes back is cut
// to a size the pane can show at 20 readings a second, and a window with more children than a
// person could read is not walked to its end.
#include "pane/PointerFacts.h"

#include "inspect/WindowFacts.h"
#include "platform/LineText.h"
#include "platform/UniqueHandles.h"

#include <vector>

namespace {
constexpr DWORD kAnswerMs = 500;          // what one reading waits for answers, in all
constexpr int kControlTextChars = 1024;   // the control's own text
constexpr int kLineChars = 256;           // each control's line of the visible text
constexpr size_t kVisibleControls = 100;  // lines of the visible text
constexpr size_t kVisitedWindows = 2000;  // windows looked at for them

class TextReader {
public:
    std::wstring Read(HWND window, int chars)
    {
        std::vector<wchar_t> text(static_cast<size_t>(chars) + 1, L'\0');
        DWORD_PTR copied = 0;
        const DWORD spent = GetTickCount() - m_start;
        if (m_answering && spent < kAnswerMs && !IsHungAppWindow(window)) {
            if (SendMessageTimeoutW(window, WM_GETTEXT, static_cast<WPARAM>(chars), reinterpret_cast<LPARAM>(text.data()),
                                    SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT, kAnswerMs - spent, &copied)) {
                text.back() = L'\0';
                return text.data();
            }
            m_answering = GetLastError() != ERROR_TIMEOUT;
        }
        std::fill(text.begin(), text.end(), L'\0');
        InternalGetWindowText(window, text.data(), chars);
        text.back() = L'\0';
        return text.data();
    }

private:
    const DWORD m_start = GetTickCount();
    bool m_answering = true;
};

struct ClassCount {
    HWND control;
    std::wstring className;
    int seen = 0;
    int instance = 0;
};

BOOL CALLBACK CountClass(HWND window, LPARAM context)
{
    auto& count = *reinterpret_cast<ClassCount*>(context);
    if (ClassNameOf(window) == count.className) ++count.seen;
    if (window != count.control) return TRUE;
    count.instance = count.seen;
    return FALSE;
}

struct VisibleText {
    TextReader* reader;
    std::wstring text;
    size_t lines = 0;
    size_t visited = 0;
};

BOOL CALLBACK AppendVisibleText(HWND window, LPARAM context)
{
    auto& visible = *reinterpret_cast<VisibleText*>(context);
    if (++visible.visited > kVisitedWindows) return FALSE;
    if (!IsWindowVisible(window)) return TRUE;
    const std::wstring line = OneLine(visible.reader->Read(window, kLineChars));
    if (line.empty()) return TRUE;
    if (!visible.text.empty()) visible.text += L"\r\n";
    visible.text += line;
    return ++visible.lines < kVisibleControls;
}

std::wstring PointText(POINT point)
{
    return L"(" + std::to_wstring(point.x) + L", " + std::to_wstring(point.y) + L")";
}

// A value between quotes for a script: quotes doubled, control characters spelled out.
std::wstring Quoted(const std::wstring& value)
{
    std::wstring quoted = L"\"";
    for (const wchar_t c : OneLine(value)) quoted += c == L'"' ? std::wstring(L"\"\"") : std::wstring(1, c);
    return quoted + L"\"";
}

std::wstring ExecutableName(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const std::wstring path = ExecutablePath(processId);
    return path.substr(path.find_last_of(L"\\/") + 1);
}
} // namespace

std::wstring ColourText(COLORREF colour)
{
    wchar_t text[8];
    wsprintfW(text, L"#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

std::wstring ClassInstance(HWND top, HWND control)
{
    ClassCount count{control, ClassNameOf(control)};
    EnumChildWindows(top, CountClass, reinterpret_cast<LPARAM>(&count));
    return count.instance == 0 ? std::wstring() : count.className + std::to_wstring(count.instance);
}

PointerReading ReadPointer(POINT screen, HWND window)
{
    PointerReading reading;
    reading.screen = screen;
    reading.window = window;
    reading.top = GetAncestor(window, GA_ROOT);
    RECT frame = {};
    GetWindowRect(reading.top, &frame);
    reading.inWindow = POINT{screen.x - frame.left, screen.y - frame.top};
    reading.inClient = screen;
    ScreenToClient(reading.top, &reading.inClient);
    if (const UniqueScreenDC dc(GetDC(nullptr)); dc) {
        const COLORREF pixel = GetPixel(dc.get(), screen.x, screen.y);
        if (pixel != CLR_INVALID) reading.colour = pixel;
    }
    TextReader reader;
    if (window != reading.top) {
        reading.classInstance = ClassInstance(reading.top, window);
        if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0) {
            reading.controlId = static_cast<DWORD>(GetWindowLongPtrW(window, GWLP_ID));
        }
        reading.controlText = reader.Read(window, kControlTextChars);
    }
    VisibleText visible{&reader, {}};
    EnumChildWindows(reading.top, AppendVisibleText, reinterpret_cast<LPARAM>(&visible));
    reading.visibleText = std::move(visible.text);
    return reading;
}

std::wstring PointerText(const PointerReading& reading)
{
    std::wstring text = L"Screen:\t" + PointText(reading.screen) + L"\r\nWindow:\t" + PointText(reading.inWindow) +
                        L"\r\nClient:\t" + PointText(reading.inClient) + L"\r\nColour:\t" +
                        (reading.colour ? ColourText(*reading.colour) : L"none") + L"\r\n";
    if (reading.window == reading.top) {
        text += L"Control:\tnone: the top-level window itself\r\n";
    } else {
        text += L"Control:\t" + reading.classInstance + L"\r\n";
        if (reading.controlId) {
            text += L"Control ID:\t" + std::to_wstring(*reading.controlId) + L" (" + HexText(*reading.controlId) + L")\r\n";
        }
        text += L"Text:\t" + OneLine(reading.controlText) + L"\r\n";
    }
    text += L"Window text:\t";
    // The visible text's lines stay in the value column.
    for (const wchar_t c : reading.visibleText) text += c == L'\n' ? std::wstring(L"\n\t") : std::wstring(1, c);
    return text + L"\r\n";
}

std::wstring ScriptLine(HWND window)
{
    const HWND top = GetAncestor(window, GA_ROOT);
    std::wstring line = L"title=" + Quoted(StoredCaption(top)) + L" class=" + Quoted(ClassNameOf(top)) + L" exe=" +
                        Quoted(ExecutableName(top));
    if (window != top) {
        line += L" control=" + Quoted(ClassInstance(top, window));
        if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0) {
            line += L" id=" + std::to_wstring(static_cast<DWORD>(GetWindowLongPtrW(window, GWLP_ID)));
        }
    }
    wchar_t handle[16];
    wsprintfW(handle, L"0x%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window)));
    return line + L" hwnd=" + handle;
}
