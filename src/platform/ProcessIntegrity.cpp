// Reading a process's token: its integrity level and its user.
#include "platform/ProcessIntegrity.h"

#include "platform/UniqueHandles.h"

bool ReadToken(HANDLE process, DWORD& level, std::vector<BYTE>* user)
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &opened)) return false;
    UniqueHandle token(opened);
    alignas(TOKEN_MANDATORY_LABEL) BYTE buffer[128] = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenIntegrityLevel, buffer, sizeof buffer, &size)) return false;
    const PSID label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
    level = *GetSidSubAuthority(label, *GetSidSubAuthorityCount(label) - 1);
    if (user == nullptr) return true;
    if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size)) return false;
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    user->assign(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
    return true;
}

DWORD IntegrityLevel(HANDLE process)
{
    DWORD level = 0;
    return ReadToken(process, level, nullptr) ? level : MAXDWORD;
}

bool RunsAboveThisProcess(DWORD processId)
{
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    return !process || IntegrityLevel(process.get()) > IntegrityLevel(GetCurrentProcess());
}
