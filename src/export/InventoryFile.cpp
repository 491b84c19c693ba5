// nlohmann's parser keeps its own stack, but the document it builds is walked here by
// recursion: the nesting is checked while parsing, before anything is built that deep.
#include "export/InventoryFile.h"

#include "export/InventoryExport.h"
#include "platform/LineText.h"
#include "platform/UniqueHandles.h"

#include <nlohmann/json.hpp>

#include <unordered_set>

namespace {
using Json = nlohmann::json;

// The DOM builder with a depth gauge: a start beyond the limit stops the parse.
class DepthLimitedBuilder {
public:
    explicit DepthLimitedBuilder(Json& result) : m_builder(result, false) {}
    bool TooDeep() const noexcept { return m_tooDeep; }

    bool null() { return m_builder.null(); }
    bool boolean(bool value) { return m_builder.boolean(value); }
    bool number_integer(Json::number_integer_t value) { return m_builder.number_integer(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return m_builder.number_unsigned(value); }
    bool number_float(Json::number_float_t value, const std::string& text) { return m_builder.number_float(value, text); }
    bool string(std::string& value) { return m_builder.string(value); }
    bool binary(Json::binary_t& value) { return m_builder.binary(value); }
    bool start_object(std::size_t size) { return Enter() && m_builder.start_object(size); }
    bool key(std::string& value) { return m_builder.key(value); }
    bool end_object() { return Leave() && m_builder.end_object(); }
    bool start_array(std::size_t size) { return Enter() && m_builder.start_array(size); }
    bool end_array() { return Leave() && m_builder.end_array(); }
    bool parse_error(std::size_t position, const std::string& token, const nlohmann::detail::exception& failure)
    {
        m_errorAt = position;
        m_errorText = failure.what();
        (void)token;
        return false;
    }
    size_t ErrorAt() const noexcept { return m_errorAt; }
    const std::string& ErrorText() const noexcept { return m_errorText; }

private:
    bool Enter()
    {
        m_tooDeep = ++m_depth > kDeepestInventoryNesting;
        return !m_tooDeep;
    }
    bool Leave()
    {
        --m_depth;
        return true;
    }
    nlohmann::detail::json_sax_dom_parser<Json> m_builder;
    int m_depth = 0;
    bool m_tooDeep = false;
    size_t m_errorAt = 0;
    std::string m_errorText;
};

// Where a wrong shape was found, for the message: processes[2].windows[0].children[1].
struct ShapeError {
    std::string where;
};

const Json& Field(const Json& object, const char* name, Json::value_t type, const std::string& where)
{
    const auto found = object.find(name);
    const bool numeric = type == Json::value_t::number_integer;
    if (found == object.end() ||
        (numeric ? !found->is_number_integer() : found->type() != type)) {
        throw ShapeError{where + ": \"" + name + "\" is missing or not " +
                         (numeric ? "a whole number" : type == Json::value_t::string ? "a string" : "an array")};
    }
    return *found;
}

LONG HandleOf(const Json& window, const std::string& where)
{
    const std::string& hex = Field(window, "hwnd", Json::value_t::string, where).get_ref<const std::string&>();
    if (hex.size() != 8 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        throw ShapeError{where + ": \"hwnd\" is not eight hexadecimal digits"};
    }
    return static_cast<LONG>(std::stoul(hex, nullptr, 16));
}

void ReadWindows(const Json& windows, LONG processId, LONG parent, const std::string& where,
                 ComparedInventory& inventory, std::unordered_set<LONG>& seen)
{
    for (size_t i = 0; i < windows.size(); ++i) {
        const std::string here = where + "[" + std::to_string(i) + "]";
        const Json& json = windows[i];
        if (!json.is_object()) throw ShapeError{here + ": not an object"};
        ComparedWindow window;
        window.handle = HandleOf(json, here);
        window.processId = processId;
        window.parent = parent;
        window.className = Field(json, "class", Json::value_t::string, here).get<std::string>();
        window.caption = Field(json, "caption", Json::value_t::string, here).get<std::string>();
        const auto visible = json.find("visible");
        if (visible != json.end() && visible->is_boolean()) window.visible = visible->get<bool>();
        if (!seen.insert(window.handle).second) {
            char hex[16];
            wsprintfA(hex, "%08X", static_cast<unsigned>(window.handle));
            throw ShapeError{here + ": window " + hex + " is listed twice"};
        }
        const LONG handle = window.handle;
        inventory.windows.push_back(std::move(window));
        const auto children = json.find("children");
        if (children == json.end()) continue;
        if (!children->is_array()) throw ShapeError{here + ": \"children\" is not an array"};
        ReadWindows(*children, processId, handle, here + ".children", inventory, seen);
    }
}

ComparedInventory ReadDocument(const Json& document)
{
    if (!document.is_object()) throw ShapeError{"the top level is not an object"};
    const Json& processes = Field(document, "processes", Json::value_t::array, "the top level");
    ComparedInventory inventory;
    std::unordered_set<LONG> seenWindows, seenProcesses;
    for (size_t i = 0; i < processes.size(); ++i) {
        const std::string here = "processes[" + std::to_string(i) + "]";
        const Json& json = processes[i];
        if (!json.is_object()) throw ShapeError{here + ": not an object"};
        const Json& id = Field(json, "pid", Json::value_t::number_integer, here);
        if (id.get<long long>() < LONG_MIN || id.get<long long>() > LONG_MAX) {
            throw ShapeError{here + ": \"pid\" is out of range"};
        }
        ComparedProcess process{static_cast<LONG>(id.get<long long>()),
                                Field(json, "exe", Json::value_t::string, here).get<std::string>()};
        if (!seenProcesses.insert(process.processId).second) throw ShapeError{here + ": the process is listed twice"};
        inventory.processes.push_back(process);
        ReadWindows(Field(json, "windows", Json::value_t::array, here), process.processId, 0, here + ".windows",
                    inventory, seenWindows);
    }
    return inventory;
}
} // namespace

std::optional<ComparedInventory> ParseInventory(const std::string& bytes, std::wstring& problem)
{
    Json document;
    DepthLimitedBuilder builder(document);
    const bool parsed = Json::sax_parse(bytes, &builder, nlohmann::detail::input_format_t::json, true, true);
    if (builder.TooDeep()) {
        problem = L"arrays or objects are nested more than " + std::to_wstring(kDeepestInventoryNesting) +
                  L" deep: no inventory is";
        return std::nullopt;
    }
    if (!parsed) {
        problem = builder.ErrorAt() >= bytes.size()
                      ? L"the JSON ends too soon: the file is truncated or empty"
                      : L"not JSON (" + FromUtf8(builder.ErrorText()) + L")";
        return std::nullopt;
    }
    try {
        return ReadDocument(document);
    } catch (const ShapeError& error) {
        problem = L"not an inventory: " + FromUtf8(error.where);
        return std::nullopt;
    }
}

std::optional<ComparedInventory> ReadInventoryFile(const std::wstring& path, std::wstring& problem)
{
    const UniqueAny<HANDLE, CloseKernelHandle, -1> file(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        problem = L"cannot be opened: " + DescribeSystemError(HRESULT_FROM_WIN32(GetLastError()));
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
