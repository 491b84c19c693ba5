// A shown Form1 in this process for each test of the commands beyond the scan, and nothing of
// its scans left behind after it. Header only: its users link the app area.
#pragma once
#include "app/Form1.h"
#include "inventory/APi.h"
#include "support/TestWindows.h"

#include <gtest/gtest.h>

#include <memory>

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

    std::unique_ptr<Form1> m_form;
};
