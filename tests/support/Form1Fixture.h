// A shown Form1 in this process for each test of the commands beyond the scan, and nothing of
// its scans left behind after it. Header only: its users link the app area.
#pragma once
#include "app/Form1.h"
#include "inventory/APi.h"
#include "support/TestWindows.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

class Form1Fixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_form = std::make_unique<Form1>();
        m_form->Show(SW_SHOWNORMAL);
        ASSERT_NE(nullptr, m_form->hWnd());
        PumpMessages();
    }
    void TearDown() override
    {
        m_form.reset();
        ProcessList.clear();
        PumpMessages();
    }

    // Panel 1's text, as the user reads it.
    std::wstring Panel1() const
    {
        wchar_t text[512] = {};
        SendMessageW(m_form->sBar1().hWnd(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // A key typed into `into` as the message loop sees it, with the modifiers (FCONTROL, FSHIFT)
    // down in this thread's key state; whether the form took it.
    bool PressKey(HWND into, WORD key, BYTE modifiers = 0) const
    {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_CONTROL] = (modifiers & FCONTROL) ? 0x80 : 0;
        state[VK_SHIFT] = (modifiers & FSHIFT) ? 0x80 : 0;
        SetKeyboardState(state);
        MSG message = {};
        message.hwnd = into;
        message.message = key == VK_F10 ? WM_SYSKEYDOWN : WM_KEYDOWN; // F10 is a system key
        message.wParam = key;
        const bool taken = m_form->TranslateFormMessage(message);
        state[VK_CONTROL] = state[VK_SHIFT] = 0;
        SetKeyboardState(state);
        return taken;
    }

    std::unique_ptr<Form1> m_form;
};
