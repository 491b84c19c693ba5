// What a logged message means: its parameters and its answer in words, read from the decoding
// table (names of flags and values, points and sizes split, handles as handles, and the
// structures and strings the hook copied), as Spy++ shows them.
#pragma once
#include "hook/WatchRing.h"

#include <windows.h>

#include <cstdint>
#include <string>

// What the hook copied from the memory a message points to (hook/WatchRing.h says how it lies).
struct MessageData {
    watch_ring::DataKind kind = watch_ring::DataKind::None;
    uint16_t flags = 0;
    uint16_t structBytes = 0;
    std::string bytes; // the record's data[0, dataBytes)
};

class MessageDecoder {
public:
    // `sixtyFour`: the watched process's bitness, which sets the layout of the copied structures.
    explicit MessageDecoder(bool sixtyFour);

    // `name`: the message's name as MessageNames gives it for the window's class
    // ("WM_SIZE", "LB_ADDSTRING", "WM_USER+0x5"...). `windowClass`: the class of the window it
    // is for, whose control styles style words have. `controlClass`: for WM_COMMAND, the class
    // of the control it comes from, whose notification codes it carries. Either is empty when
    // not known. Empty when nothing is known beyond the raw numbers, e.g.
    // "fwSizeType:SIZE_RESTORED nWidth:1280 nHeight:720".
    std::wstring Parameters(const std::wstring& name, uint64_t wParam, uint64_t lParam, const MessageData& data,
                            const std::wstring& windowClass = std::wstring(),
                            const std::wstring& controlClass = std::wstring()) const;
    // The answer in words ("HTCLIENT", "MA_ACTIVATE", the text WM_GETTEXT copied); empty when the
    // raw result says all there is. `sentData`: what was copied as it was sent, whose
    // notification code, if any, says what a WM_NOTIFY's answer means.
    std::wstring Answer(const std::wstring& name, uint64_t result, const MessageData& answerData,
                        const MessageData& sentData = MessageData()) const;

private:
    bool m_sixtyFour;
};
