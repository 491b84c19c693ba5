// The program's version, defined here alone: the version resource (WindowInventory.rc) is made
// from it, the About box reads that resource, and scripts/package names the release after it.
#pragma once

#define WINDOWINVENTORY_VERSION_MAJOR 1
#define WINDOWINVENTORY_VERSION_MINOR 0
#define WINDOWINVENTORY_VERSION_PATCH 0
#define WINDOWINVENTORY_VERSION_BUILD 0

#define WINDOWINVENTORY_VERSION_TEXT_OF(major, minor, patch, build) #major "." #minor "." #patch "." #build
#define WINDOWINVENTORY_VERSION_TEXT_EXPANDED(major, minor, patch, build) \
    WINDOWINVENTORY_VERSION_TEXT_OF(major, minor, patch, build)
// "1.0.0.0"
#define WINDOWINVENTORY_VERSION_TEXT                                                                        \
    WINDOWINVENTORY_VERSION_TEXT_EXPANDED(WINDOWINVENTORY_VERSION_MAJOR, WINDOWINVENTORY_VERSION_MINOR,    \
                                          WINDOWINVENTORY_VERSION_PATCH, WINDOWINVENTORY_VERSION_BUILD)
// 1,0,0,0 as VERSIONINFO's FILEVERSION takes it
#define WINDOWINVENTORY_VERSION                                                                            \
    WINDOWINVENTORY_VERSION_MAJOR, WINDOWINVENTORY_VERSION_MINOR, WINDOWINVENTORY_VERSION_PATCH,         \
        WINDOWINVENTORY_VERSION_BUILD
