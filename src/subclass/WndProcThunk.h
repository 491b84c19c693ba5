// The window procedure that iSubClass generates: its machine-code template, the places the
// builder patches, and the run-mode value that decides how the code routes messages.
#pragma once
#include <windows.h>

#include <cstddef>

constexpr size_t kWndProcThunkWords = 31;
constexpr size_t kWndProcThunkBytes = 124; // ends in ret 10h
// A guarded copy: the code, then the guard word that decides whether the object is called.
constexpr size_t kGuardedThunkBytes = 128;
constexpr size_t kGuardWordOffset = 124;

extern const DWORD kWndProcThunkTemplate[kWndProcThunkWords];

// Byte offsets of the 32-bit immediates the builder fills in.
constexpr size_t kRunModePatch = 0x13;
constexpr size_t kGuardWordPatch = 0x1C;       // guarded mode only
constexpr size_t kPreviousProcPatch = 0x58;    // guarded mode only
constexpr size_t kCallWindowProcPatch = 0x5D;  // guarded mode only
constexpr size_t kObjectPatch = 0x6A;
constexpr size_t kTargetPatch = 0x6F;

// The run mode, read at every build: 0 selects the guarded thunk, anything else the direct one.
// With no development host to ask, the program runs guarded exactly when a debugger is
// attached: stopping in the debugger must not leave a window calling into an object that is
// gone, so the guarded code lives on the heap and hands messages back to the previous
// procedure once the window is being destroyed, hidden or deactivated.
using RunModeSource = LONG (*)() noexcept;
LONG ReadRunMode() noexcept;
// Replaces where the run mode comes from (nullptr: the debugger check again) and returns the
// source it replaces. Not synchronised: set it while no thunk is being built.
RunModeSource SetRunModeSource(RunModeSource source) noexcept;
