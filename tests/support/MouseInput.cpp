#include "support/MouseInput.h"

#include "support/FormDriver.h"
#include "support/TestWindows.h"

#include <gtest/gtest.h>

bool PointerReaches(POINT at)
{
    return PollUntil(10000, [&] {
        PumpMessages();
        POINT now = {};
        return GetCursorPos(&now) && now.x == at.x && now.y == at.y;
    });
}

void MouseAt(POINT at, DWORD buttons)
{
    SetCursorPos(at.x, at.y);
    ASSERT_TRUE(PointerReaches(at)) << "the pointer did not get there";
    INPUT event = {};
    event.type = INPUT_MOUSE;
    event.mi.dx = MulDiv(at.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    event.mi.dy = MulDiv(at.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    event.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    ASSERT_EQ(1u, SendInput(1, &event, sizeof event));
}
