// Calls generated code the way the platform does, and checks what it leaves of the caller's state.
#pragma once
#include <windows.h>

struct ThunkCall {
    LONG result;    // eax
    LONG stackLeft; // bytes of the four arguments the code did not remove (stdcall: 16 - its own)
    bool registersKept; // ebx, esi, edi and ebp came back as they went in
};

// Pushes the four arguments (d first), fills ebx, esi, edi and ebp with markers and calls `code`.
ThunkCall CallThunk(LONG code, LONG a, LONG b, LONG c, LONG d);
