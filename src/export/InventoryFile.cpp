// The file is read by nlohmann's SAX parser straight into the inventory, never into a document
// first: the parser keeps its own stack, so depth costs nothing but the check here, and a
// 20,000-window file is read about as fast as nlohmann alone would parse it.
#include "export/InventoryFile.h"

#include "export/InventoryExport.h"
#include "platform/LineText.h"
#include "platform/UniqueHandles.h"

#include <nlohmann/json.hpp>

#include <unordered_set>

namespace {
using Json = nlohmann::json;

// What the parser stumbled on at `index`, and where, as an editor counts: "unexpected 'x' at
// line 3, column 7" (columns in characters).
std::wstring WhereJsonFails(const std::string& bytes, size_t index)
{
    const auto byte = static_cast<unsigned char>(bytes[index]);
    size_t line = 1, column = 1;
    for (size_t i = 0; i < index; ++i) {
        if (bytes[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) {
            ++column; // not a UTF-8 continuation byte
        }
    }
    wchar_t what[48];
    if (byte > 0x20 && byte < 0x7F) {
        swprintf(what, 48, L"unexpected '%lc'", static_cast<wchar_t>(byte));
    } else if (byte == 0x20) {
        swprintf(what, 48, L"unexpected space");
    } else {
        // A control character in a string, or a byte that no JSON has there (not UTF-8, say).
        swprintf(what, 48, byte < 0x20 ? L"unexpected control character 0x%02X" : L"unexpected byte 0x%02X", byte);
    }
    return std::wstring(what) + L" at line " + std::to_wstring(line) + L", column " + std::to_wstring(column);
}

class InventoryReader {
public:
    // What the value about to come is, from where the parser stands.
    enum class Slot { Root, Processes, Process, Pid, Exe, Self, Windows, Window, Hwnd, Caption, Class, Visible, Ignored };

    bool null() { return Scalar(false); }
    bool boolean(bool value)
    {
        const Slot slot = Next();
        if (slot == Slot::Visible) OpenWindow().visible = value;
        if (slot == Slot::Self) m_processes.back().process.self = value;
        return Scalar(true);
    }
    bool number_integer(Json::number_integer_t value) { return Number(value); }
    bool number_unsigned(Json::number_unsigned_t value)
    {
        return Number(value > static_cast<Json::number_unsigned_t>(LONG_MAX) ? LLONG_MAX : static_cast<long long>(value));
    }
    bool number_float(Json::number_float_t, const std::string&) { return Scalar(false); }
    bool binary(Json::binary_t&) { return Scalar(false); }
    bool string(std::string& value)
    {
        switch (Next()) {
        case Slot::Exe: m_processes.back().process.exeName = std::move(value); m_processes.back().hasExe = true; return true;
        case Slot::Caption: OpenWindow().caption = std::move(value); ++m_fields.back(); return true;
        case Slot::Class: OpenWindow().className = std::move(value); ++m_fields.back(); return true;
        case Slot::Hwnd:
            if (value.size() != 8 || value.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                return Wrong("\"hwnd\" is not eight hexadecimal digits");
            }
            OpenWindow().handle = static_cast<LONG>(std::stoul(value, nullptr, 16));
            ++m_fields.back();
            return true;
        default: return Scalar(false);
        }
    }
    bool start_object(std::size_t)
    {
        const Slot slot = Next();
        if (slot == Slot::Process) m_processes.push_back({});
        if (slot == Slot::Window) {
            ComparedWindow window;
            window.processId = static_cast<LONG>(m_processes.size() - 1); // the index until the end
            window.parent = static_cast<LONG>(m_openWindows.empty() ? -1 : static_cast<long>(m_openWindows.back()));
            m_openWindows.push_back(m_windows.size());
            m_windows.push_back(std::move(window));
            m_fields.push_back(0);
        }
        if (slot != Slot::Root && slot != Slot::Process && slot != Slot::Window && slot != Slot::Ignored) {
            return Mismatch(slot);
        }
        return Enter(slot, true);
    }
    bool start_array(std::size_t)
    {
        const Slot slot = Next();
        if (slot == Slot::Root) return Wrong("the top level is not an object", false);
        if (slot != Slot::Processes && slot != Slot::Windows && slot != Slot::Ignored) return Mismatch(slot);
        if (slot == Slot::Processes) m_hasProcesses = true;
        if (slot == Slot::Windows && m_levels.back().slot == Slot::Process) m_processes.back().hasWindows = true;
        return Enter(slot, false);
    }
    bool key(std::string& value)
    {
        m_levels.back().key = std::move(value);
        return true;
    }
    bool end_object()
    {
        const Slot slot = m_levels.back().slot;
        if (slot == Slot::Root && !m_hasProcesses) return Wrong("\"processes\" is missing or not an array");
        if (slot == Slot::Process && !m_processes.back().Whole()) {
            return Wrong(m_processes.back().hasPid ? (m_processes.back().hasExe ? "\"windows\" is missing or not an array"
                                                                                 : "\"exe\" is missing or not a string")
                                                   : "\"pid\" is missing or not a whole number");
        }
        if (slot == Slot::Window) {
            if (m_fields.back() != 3) return Wrong("\"hwnd\", \"caption\" or \"class\" is missing or of the wrong kind");
            if (!m_handles.insert(OpenWindow().handle).second) {
                return Wrong("window " + HandleHex(OpenWindow().handle) + " is listed twice");
            }
            m_openWindows.pop_back();
            m_fields.pop_back();
        }
        if (slot == Slot::Process && !m_processIds.insert(m_processes.back().process.processId).second) {
            return Wrong("the process is listed twice");
        }
        m_levels.pop_back();
        return true;
    }
    bool end_array()
    {
        m_levels.pop_back();
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&)
    {
        m_errorAt = position;
        return false;
    }

    // After the parse: the inventory, or why there is none.
    std::optional<ComparedInventory> Finish(bool parsed, const std::string& bytes, std::wstring& problem)
    {
        if (!m_problem.empty()) {
            problem = FromUtf8(m_problem);
        } else if (!parsed) {
            // The parser counts the end of the input as a character read.
            problem = m_errorAt > bytes.size() ? L"the JSON ends too soon: the file is truncated or empty"
                                               : L"not JSON: " + WhereJsonFails(bytes, m_errorAt - 1);
        } else if (!m_hasRoot) {
            problem = L"not an inventory: the top level is not an object";
        }
        if (!problem.empty()) return std::nullopt;
        ComparedInventory inventory;
        for (PendingProcess& process : m_processes) inventory.processes.push_back(std::move(process.process));
        // Windows name their process and parent by index while reading: either may come later.
        for (ComparedWindow& window : m_windows) {
            window.processId = inventory.processes[static_cast<size_t>(window.processId)].processId;
            if (window.parent >= 0) window.parent = m_windows[static_cast<size_t>(window.parent)].handle;
            else window.parent = 0;
        }
        // Exports write INVALID for a window without a caption, as the tree shows it.
        for (ComparedWindow& window : m_windows) {
            if (window.caption == "INVALID") window.caption.clear();
        }
        inventory.windows = std::move(m_windows);
        return inventory;
    }

private:
    struct Level {
        Slot slot;
        bool object;
        size_t count = 0;  // an array's elements so far
        std::string key;   // an object's last key
    };
    struct PendingProcess {
        ComparedProcess process;
        bool hasPid = false, hasExe = false, hasWindows = false;
        bool Whole() const noexcept { return hasPid && hasExe && hasWindows; }
    };

    // The innermost window whose object is open: its children may have come after it.
    ComparedWindow& OpenWindow() { return m_windows[m_openWindows.back()]; }

    Slot Next()
    {
        if (m_levels.empty()) return Slot::Root;
        Level& level = m_levels.back();
        if (!level.object) ++level.count;
        switch (level.slot) {
        case Slot::Root: return level.key == "processes" ? Slot::Processes : Slot::Ignored;
        case Slot::Processes: return Slot::Process;
        case Slot::Process:
            return level.key == "pid"       ? Slot::Pid
                   : level.key == "exe"     ? Slot::Exe
                   : level.key == "self"    ? Slot::Self
                   : level.key == "windows" ? Slot::Windows
                                            : Slot::Ignored;
        case Slot::Windows: return Slot::Window;
        case Slot::Window:
            return level.key == "hwnd"       ? Slot::Hwnd
                   : level.key == "caption"  ? Slot::Caption
                   : level.key == "class"    ? Slot::Class
                   : level.key == "visible"  ? Slot::Visible
                   : level.key == "children" ? Slot::Windows
                                             : Slot::Ignored;
        default: return Slot::Ignored;
        }
    }
    // A value that is not a container: fine where it is ignored (or where `taken`).
    bool Scalar(bool taken)
    {
        const Slot slot = m_levels.empty() ? Slot::Root : Current();
        if (slot == Slot::Root) return Wrong("the top level is not an object", false);
        return taken || slot == Slot::Ignored || slot == Slot::Visible || slot == Slot::Self || Mismatch(slot);
    }
    // The slot of the value just announced (Next has counted it already).
    Slot Current()
    {
        Level& level = m_levels.back();
        if (!level.object) --level.count;
        const Slot slot = Next();
        return slot;
    }
    bool Number(long long value)
    {
        if (Next() != Slot::Pid) return m_levels.empty() ? Wrong("the top level is not an object", false) : Scalar(false);
        if (value < LONG_MIN || value > LONG_MAX) return Wrong("\"pid\" is out of range");
        m_processes.back().process.processId = static_cast<LONG>(value);
        m_processes.back().hasPid = true;
        return true;
    }
    bool Mismatch(Slot slot)
    {
        switch (slot) {
        case Slot::Processes: return Wrong("\"processes\" is missing or not an array");
        case Slot::Process:
        case Slot::Window: return Wrong(Path(true) + ": not an object", false);
        case Slot::Pid: return Wrong("\"pid\" is missing or not a whole number");
        case Slot::Exe: return Wrong("\"exe\" is missing or not a string");
        case Slot::Windows: return Wrong("\"" + m_levels.back().key + "\" is missing or not an array");
        default: return Wrong("\"" + m_levels.back().key + "\" is missing or not a string");
        }
    }
    bool Enter(Slot slot, bool object)
    {
        if (slot == Slot::Root) m_hasRoot = true;
        if (m_levels.size() >= static_cast<size_t>(kDeepestInventoryNesting)) {
            m_problem = "arrays or objects are nested more than " + std::to_string(kDeepestInventoryNesting) +
                        " deep: no inventory is";
            return false;
        }
        m_levels.push_back(Level{slot, object, 0, {}});
        return true;
    }
    // Where the parser stands, as "processes[2].windows[0]"; with `next`, the element about to come.
    std::string Path(bool next = false) const
    {
        std::string path;
        for (size_t i = 0; i < m_levels.size(); ++i) {
            const Level& level = m_levels[i];
            if (i + 1 == m_levels.size() && !next) break;
            if (level.object) path += (path.empty() ? "" : ".") + level.key;
            else path += "[" + std::to_string(level.count - 1) + "]";
        }
        return path.empty() ? "the top level" : path;
    }
    bool Wrong(const std::string& what, bool located = true)
    {
        m_problem = "not an inventory: " + (located ? Path() + ": " + what : what);
        return false;
    }

    std::vector<Level> m_levels;
    std::vector<PendingProcess> m_processes;
    std::vector<ComparedWindow> m_windows;
    std::vector<size_t> m_openWindows; // the windows whose objects are open, outermost first
    std::vector<int> m_fields;         // of each open window, the required fields read
    std::unordered_set<LONG> m_handles;
    std::unordered_set<LONG> m_processIds;
    bool m_hasRoot = false;
    bool m_hasProcesses = false;
    std::string m_problem;
    size_t m_errorAt = 0; // counted from 1
};
} // namespace

std::optional<ComparedInventory> ParseInventory(const std::string& bytes, std::wstring& problem)
{
    InventoryReader reader;
    const bool parsed = Json::sax_parse(bytes, &reader, nlohmann::detail::input_format_t::json, true, true);
    return reader.Finish(parsed, bytes, problem);
}

std::optional<ComparedInventory> ReadInventoryFile(const std::wstring& path, std::wstring& problem)
{
    const UniqueAny<HANDLE, CloseKernelHandle, -1> file(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesW(path.c_str());
        problem = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                      ? L"is a folder, not a file"
                      : L"cannot be opened: " + DescribeSystemError(HRESULT_FROM_WIN32(error));
        return std::nullopt;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) {
        problem = L"its size cannot be read";
        return std::nullopt;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > kLargestInventoryFile) {
        problem = L"is " + std::to_wstring(size.QuadPart >> 20) + L" MB, larger than any inventory (at most " +
                  std::to_wstring(kLargestInventoryFile >> 20) + L" MB)";
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        problem = L"cannot be read: " + DescribeSystemError(HRESULT_FROM_WIN32(GetLastError()));
        return std::nullopt;
    }
    return ParseInventory(bytes, problem);
}
