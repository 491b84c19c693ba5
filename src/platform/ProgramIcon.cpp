// Both sizes are loaded shared: the class keeps them for the life of the process.
#include "platform/ProgramIcon.h"

namespace {
HICON LoadProgramIcon(int widthMetric, int heightMetric) noexcept
{
    const auto icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(WINDOWINVENTORY_ICON_ID),
                                                    IMAGE_ICON, GetSystemMetrics(widthMetric),
                                                    GetSystemMetrics(heightMetric), LR_SHARED));
    return icon != nullptr ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}
} // namespace

void SetProgramIcons(WNDCLASSEXW& windowClass) noexcept
{
    windowClass.hIcon = LoadProgramIcon(SM_CXICON, SM_CYICON);
    windowClass.hIconSm = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);
}
