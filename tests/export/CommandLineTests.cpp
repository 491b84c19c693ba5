// The command-line modes as a shell meets them: /compare's answers to good and bad files, the
// console front end's output and exit codes through cmd, and the usage.
#include "ExportTestSupport.h"
#include "support/ProgramPath.h"
#include "support/TestWindows.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {
// An export in the older format, as the README shows it.
const char kOlderExport[] = R"({"takenAt": "2026-12-07T01:00:04Z", "liveObjectCount": 27, "processes": [
  { "pid": 64, "exe": "explorer.exe", "windows": [
    { "hwnd": "00020034", "caption": "INVALID", "class": "Shell_TrayWnd", "children": [
      { "hwnd": "00010040", "caption": "INVALID", "class": "Button", "children": [] } ] } ] },
  { "pid": 76, "exe": "winedevice.exe", "windows": [] } ] })";

TEST(CompareCommand, BadInputIsRefusedInWordsAndOlderOrNewerFilesCompare)
{
    std::ofstream(L"older.json") << kOlderExport;
    const std::string later = R"({"format": 9, "future": {"a": [1, {"b": null}]}, "processes": [
      { "pid": 64, "exe": "explorer.exe", "x": 1, "windows": [
        { "hwnd": "00020034", "caption": "INVALID", "class": "Shell_TrayWnd", "visible": true, "rect": [0, 0, 9, 9],
          "children": [ { "hwnd": "00010040", "caption": "INVALID", "class": "Button", "children": [], "y": [] } ] } ] },
      { "pid": 76, "exe": "winedevice.exe", "windows": [] } ] })";
    const std::string twice = R"({"processes": [{"pid": 1, "exe": "a.exe", "windows": [
      {"hwnd": "0000ABCD", "caption": "a", "class": "c", "children": []},
      {"hwnd": "0000abcd", "caption": "b", "class": "c", "children": []}]}]})";
    std::string reclassed = kOlderExport;
    reclassed.replace(reclassed.find("\"Button\""), 8, "\"Edit\"");
    std::string withOwn = kOlderExport;
    withOwn.insert(withOwn.rfind(']'), R"(, { "pid": 90, "exe": "WindowInventory.exe", "self": true, "windows": [
      { "hwnd": "00030050", "caption": "Form1", "class": "WindowInventoryForm1", "children": [] } ] })");
    const std::string ownExplorer = R"({"processes": [{ "pid": 64, "exe": "explorer.exe", "self": true, "windows": [] },
      { "pid": 76, "exe": "winedevice.exe", "windows": [] }]})";
    const struct {
        const char* content;
        DWORD exitCode;
        const char* says;
    } cases[] = {
        {"hello", 2, "compare.json: not JSON: unexpected 'h' at line 1, column 1\r\n"},
        // Columns count characters, as an editor does: the é is one.
        {"{\"processes\": [\r\n  {\"pid\": 1, \"exe\": \"a\", \"windows\": []},\n"
         "  {\"exe\": \"\xC3\xA9\", \"pid\": 2, \"windows\": []} x]}",
         2, "compare.json: not JSON: unexpected 'x' at line 3, column 41\r\n"},
        {"{\"processes\": [{\"exe\": \"a\xFF\"}]}", 2, "compare.json: not JSON: unexpected byte 0xFF at line 1, column 26"},
        {"", 2, "compare.json: the JSON ends too soon: the file is truncated or empty"},
        {"[1, 2]", 2, "compare.json: not an inventory: the top level is not an object"},
        {R"({"processes": 5})", 2, "not an inventory: the top level: \"processes\" is missing or not an array"},
        {R"({"processes": [{"pid": 1, "exe": "a", "windows": [{"hwnd": "12", "caption": "", "class": ""}]}]})", 2,
         "processes[0].windows[0]: \"hwnd\" is not eight hexadecimal digits"},
        {twice.c_str(), 2, "processes[0].windows[1]: window 0000ABCD is listed twice"},
        {later.c_str(), 0, ""},
        {kOlderExport, 0, "The inventories are equal."},
        // The older files' INVALID is a window without a caption: reported as it is, empty.
        {R"({"processes": [{ "pid": 64, "exe": "explorer.exe", "windows": [{ "hwnd": "00020034", "caption": "Start",
           "class": "Shell_TrayWnd", "children": [{ "hwnd": "00010040", "caption": "INVALID", "class": "Button",
           "children": [] }] }] }, { "pid": 76, "exe": "winedevice.exe", "windows": [] }] })",
         1, "\xE3\x80\x90Start\xE3\x80\x91  [Class:Shell_TrayWnd] of PID 64; caption \"\" -> \"Start\"\r\n"},
        // A handle reused by a window of another class is another window.
        {reclassed.c_str(), 1,
         "Windows added (1):\r\n  + hWnd: 00010040h  \xE3\x80\x90INVALID\xE3\x80\x91  [Class:Edit] of PID 64\r\n"
         "Windows gone (1):\r\n  - hWnd: 00010040h  \xE3\x80\x90INVALID\xE3\x80\x91  [Class:Button] of PID 64\r\n"},
        // This program's own processes, marked on either side, are not compared.
        {withOwn.c_str(), 0, "The inventories are equal."},
        {ownExplorer.c_str(), 0, "The inventories are equal."},
    };
    for (const auto& row : cases) {
        std::ofstream(L"compare.json", std::ios::binary) << row.content;
        const auto [exitCode, output] = RunProgram(L"/compare older.json compare.json");
        EXPECT_EQ(row.exitCode, exitCode) << row.content;
        EXPECT_NE(std::string::npos, output.find(row.says)) << output;
    }
    // Cut short, nested deeper than any inventory, and as large as no inventory is.
    std::ofstream(L"compare.json", std::ios::binary) << std::string(kOlderExport, sizeof kOlderExport / 2);
    EXPECT_EQ(std::make_pair(2ul, std::string("WindowInventory: compare.json: the JSON ends too soon: the file is truncated or empty\r\n")),
              RunProgram(L"/compare older.json compare.json"));
    std::ofstream(L"compare.json", std::ios::binary) << "{\"future\": " << std::string(200000, '[') << std::string(200000, ']') << "}";
    EXPECT_EQ(std::make_pair(2ul, std::string("WindowInventory: compare.json: arrays or objects are nested more than 512 deep: no inventory is\r\n")),
              RunProgram(L"/compare older.json compare.json"));
    {
        UniqueHandle huge(CreateFileW(L"compare.json", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        LARGE_INTEGER size;
        size.QuadPart = 1ll << 30;
        ASSERT_TRUE(SetFilePointerEx(huge.get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(huge.get()));
    }
    EXPECT_EQ(std::make_pair(2ul, std::string("WindowInventory: compare.json: is 1024 MB, larger than any inventory (at most 64 MB)\r\n")),
              RunProgram(L"/compare older.json compare.json"));
    DeleteFileW(L"compare.json");
    CreateDirectoryW(L"folder.json", nullptr);
    EXPECT_EQ(std::make_pair(2ul, std::string("WindowInventory: folder.json: is a folder, not a file\r\n")),
              RunProgram(L"/compare older.json folder.json"));
    RemoveDirectoryW(L"folder.json");
}

// From cmd, the bare name runs WindowInventory.com, which waits and hands the answer on.
TEST(ConsoleFrontEnd, CmdGetsTheOutputAndExitCodeOfTheCommandLineModes)
{
    std::ofstream(L"older.json") << kOlderExport;
    std::wstring program = PathBesideThisProgram(L"WindowInventory.exe");
    program.resize(program.size() - 4); // the bare name
    EXPECT_EQ(std::make_pair(0ul, std::string("The inventories are equal.\r\n")),
              RunCommand(L"cmd /c \"\"" + program + L"\" /compare older.json older.json\""));
    const auto [exitCode, said] = RunCommand(L"cmd /c \"\"" + program + L"\" /compare older.json missing.json\"");
    EXPECT_EQ(2u, exitCode);
    EXPECT_EQ(0u, said.find("WindowInventory: missing.json: cannot be opened: ")) << said;
    EXPECT_EQ(0u, RunCommand(L"cmd /c \"\"" + program + L"\" /export cmd.txt\"").first);
    EXPECT_NE(std::string::npos, ReadFile(L"cmd.txt").find("export_tests.exe [PID:" + std::to_string(GetCurrentProcessId()) + "]\r\n"));
}

TEST(CommandLine, TellsTheUsageWhenAskedAndForAnythingItDoesNotKnowInsteadOfOpeningAWindow)
{
    const std::string usage = "usage: WindowInventory.exe [/export PATH | /compare OLD.json NEW.json [OUT] | /? | /help]\r\n";
    const struct {
        const wchar_t* arguments;
        DWORD exitCode;
        std::string first; // what the output starts with; the usage follows
    } cases[] = {
        {L"/?", 0, usage},
        {L"/HELP", 0, usage},
        {L"--help", 0, usage},
        {L"/x", 2, "WindowInventory: unknown switch /x\r\n" + usage},
        {L"stray", 2, "WindowInventory: unexpected argument stray\r\n" + usage},
        {L"/? stray", 2, "WindowInventory: unexpected argument stray\r\n" + usage},
    };
    for (const auto& c : cases) {
        const auto [exitCode, output] = RunProgram(c.arguments);
        EXPECT_EQ(c.exitCode, exitCode) << AsUtf8(c.arguments);
        EXPECT_EQ(0u, output.find(c.first)) << output;
        EXPECT_NE(std::string::npos, output.find("  /export PATH    scans once")) << output;
        EXPECT_NE(std::string::npos, output.find("  /compare OLD.json NEW.json [OUT]\r\n")) << output;
        EXPECT_NE(std::string::npos, output.find("exit codes: /export: 0 done, 1 the scan or the write failed; /compare: 0 "
                                                 "equal,\r\n1 different; 2 a wrong command line or a bad file\r\n"));
    }
}

} // namespace
