// A shown Form1 in this process for each test, and nothing of its scans left behind after it.
#pragma once
#include "app/Form1.h"
#include "inventory/APi.h"
#include "support/TestWindows.h"

#include <gtest/gtest.h>

#include <memory>

class Form1Fixture : public ::testing::Test {
protected:
    Form1Fixture()
    {
        m_form->Show(SW_SHOWNORMAL);
        PumpMessages();
    }
    ~Form1Fixture() override
    {
        m_form.reset();
        ProcessList.clear();
        PumpMessages();
    }

    std::unique_ptr<Form1> m_form = std::make_unique<Form1>();
};
