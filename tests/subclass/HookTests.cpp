// Hooking real windows: events, forwarding, unhooking, re-entrancy, failures and late binding.
#include "SubclassTestSupport.h"

#include <oleauto.h>

#include <stdexcept>
#include <string>

namespace {

TEST_F(SubclassTest, HookReplacesTheProcedureAndEachMessageBecomesOneEventAnsweredByTheHandler)
{
    const HWND window = m_window.get();
    const LONG hwnd = HandleValue(window);
    ASSERT_EQ(reinterpret_cast<LONG>(&OldProcA), ProcedureOf(window));
    EXPECT_EQ(reinterpret_cast<LONG>(&OldProcA), Hook(window));
    EXPECT_NE(reinterpret_cast<LONG>(&OldProcA), ProcedureOf(window));

    EXPECT_EQ(kHandlerAnswer, Send(window, kProbe, 11, -22));
    EXPECT_EQ((std::vector<Seen>{{'S', hwnd, static_cast<LONG>(kProbe), 11, -22}}), m_events);
    // The handler did not forward, so the window's own procedure never saw it.
    EXPECT_TRUE(Only(OldProcLog, kProbe).empty());
}

TEST_F(SubclassTest, ForwardingCallsThePreviousProcedureWithTheHandleItIsGiven)
{
    const HWND window = m_window.get();
    Hook(window);
    m_sub->AdviseGetWindowMessage([this](LONG& Result, LONG cHwnd, LONG Message, LONG wParam, LONG lParam) {
        EXPECT_EQ(S_OK, m_sub->CallDefaultWindowProc(cHwnd, Message, wParam, lParam, &Result));
    });
    EXPECT_EQ(kAnswerA, Send(window, kProbe, 3, 4));
    EXPECT_EQ((std::vector<Seen>{{'A', HandleValue(window), static_cast<LONG>(kProbe), 3, 4}}),
              Only(OldProcLog, kProbe));

    // Another window's handle goes through unchanged, not the hooked one.
    UniqueWindow other = CreateWindowWith(OldProcB);
    OldProcLog.clear();
    LONG result = 0;
    EXPECT_EQ(S_OK, m_sub->CallDefaultWindowProc(HandleValue(other.get()), kProbe, 5, 6, &result));
    EXPECT_EQ(kAnswerA, result);
    EXPECT_EQ((std::vector<Seen>{{'A', HandleValue(other.get()), static_cast<LONG>(kProbe), 5, 6}}), OldProcLog);
}

TEST_F(SubclassTest, UnhookRestoresTheOldBehaviourAndTheWindowCanBeHookedAgain)
{
    const HWND window = m_window.get();
    const LONG old = Hook(window);
    EXPECT_EQ(S_OK, m_sub->SetMsgUnHook());
    EXPECT_EQ(old, ProcedureOf(window));
    EXPECT_EQ(kAnswerA, Send(window, kProbe));
    EXPECT_TRUE(m_events.empty());
    EXPECT_EQ(1u, Only(OldProcLog, kProbe).size());

    EXPECT_EQ(S_OK, m_sub->SetMsgUnHook()); // nothing changed by the first: harmless again
    EXPECT_EQ(old, ProcedureOf(window));
    EXPECT_EQ(old, Hook(window));
    EXPECT_EQ(kHandlerAnswer, Send(window, kProbe));
    EXPECT_EQ(1u, m_events.size());
}

TEST_F(SubclassTest, MissingWindowsFailHarmlessly)
{
    EXPECT_EQ(S_OK, m_sub->SetMsgUnHook()); // fresh object: SetWindowLongA on no window

    UniqueWindow gone = CreateWindowWith(OldProcA);
    const LONG goneHandle = HandleValue(gone.get());
    gone.reset();
    LONG old = 123;
    EXPECT_EQ(S_OK, m_sub->SetMsgHook(goneHandle, &old));
    EXPECT_EQ(0, old);
    EXPECT_EQ(S_OK, m_sub->SetMsgUnHook());
    // The real window next door is untouched by any of it.
    EXPECT_EQ(reinterpret_cast<LONG>(&OldProcA), ProcedureOf(m_window.get()));
}

TEST_F(SubclassTest, AnyNonZeroRunModeDeliversDestructionToTheObject)
{
    ScopedRunMode direct(7);
    Hook(m_window.get());
    const LONG hwnd = HandleValue(m_window.get());
    m_window.reset();
    EXPECT_EQ((std::vector<Seen>{{'S', hwnd, WM_DESTROY, 0, 0}}), Only(m_events, WM_DESTROY));
    EXPECT_EQ(1u, Only(m_events, WM_NCDESTROY).size());
    EXPECT_TRUE(Only(OldProcLog, WM_DESTROY).empty());
}

TEST_F(SubclassTest, MessagesSentFromAHandlerArriveAsNestedEventsWithTheirOwnResults)
{
    const HWND window = m_window.get();
    Hook(window);
    std::vector<std::string> trace;
    LONG nestedAnswer = 0;
    m_sub->AdviseGetWindowMessage([&](LONG& Result, LONG, LONG Message, LONG wParam, LONG) {
        if (Message != static_cast<LONG>(kProbe)) return;
        trace.push_back("enter " + std::to_string(wParam));
        Result = 100 + wParam;
        if (wParam < 2) nestedAnswer = Send(window, kProbe, static_cast<WPARAM>(wParam + 1));
        trace.push_back("leave " + std::to_string(wParam));
    });
    EXPECT_EQ(100, Send(window, kProbe, 0));
    EXPECT_EQ(101, nestedAnswer);
    EXPECT_EQ((std::vector<std::string>{"enter 0", "enter 1", "enter 2", "leave 2", "leave 1", "leave 0"}), trace);
}

TEST_F(SubclassTest, ResultStartsAtZeroAndAThrowingHandlerStopsAtTheObject)
{
    const HWND window = m_window.get();
    Hook(window);
    LONG seenOnEntry = -1;
    m_sub->AdviseGetWindowMessage([&](LONG& Result, LONG, LONG, LONG wParam, LONG) {
        seenOnEntry = Result;
        Result = 9;
        if (wParam == 1) throw std::runtime_error("handler failure");
    });
    EXPECT_EQ(9, Send(window, kProbe, 1));
    EXPECT_EQ(9, Send(window, kProbe, 0)); // still hooked and delivering after the throw
    EXPECT_EQ(0, seenOnEntry);

    ASSERT_EQ(S_OK, m_sub->AdviseGetWindowMessage(nullptr));
    EXPECT_EQ(0, Send(window, kProbe));
    EXPECT_TRUE(Only(OldProcLog, kProbe).empty());
}

// Invokes `name` late-bound with LONG arguments; the status goes to *status.
LONG InvokeLong(IDispatch* object, const wchar_t* name, std::vector<LONG> arguments, HRESULT* status)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    std::vector<VARIANT> reversed(arguments.size()); // DISPPARAMS holds them last first
    for (size_t i = 0; i < reversed.size(); ++i) {
        reversed[i].vt = VT_I4;
        reversed[i].lVal = arguments[arguments.size() - 1 - i];
    }
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    VARIANT result = {};
    *status = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    return result.vt == VT_I4 ? result.lVal : -1;
}

TEST_F(SubclassTest, LateBoundCallsReachTheSameOperations)
{
    const HWND window = m_window.get();
    const LONG hwnd = HandleValue(window);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, m_sub->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put())));
    HRESULT status = E_FAIL;

    EXPECT_EQ(reinterpret_cast<LONG>(&OldProcA), InvokeLong(dispatch.get(), L"SetMsgHook", {hwnd}, &status));
    EXPECT_EQ(S_OK, status);
    EXPECT_EQ(kHandlerAnswer, Send(window, kProbe));
    EXPECT_EQ(kAnswerA,
              InvokeLong(dispatch.get(), L"CallDefaultWindowProc", {hwnd, static_cast<LONG>(kProbe), 1, 2}, &status));
    EXPECT_EQ(S_OK, status);
    InvokeLong(dispatch.get(), L"SetMsgUnHook", {}, &status);
    EXPECT_EQ(S_OK, status);
    EXPECT_EQ(reinterpret_cast<LONG>(&OldProcA), ProcedureOf(window));
    InvokeLong(dispatch.get(), L"SetMsgHook", {}, &status);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, status);

    LPOLESTR hidden[] = {const_cast<LPOLESTR>(L"OnWindowMessage")};
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, hidden, 1, LOCALE_USER_DEFAULT, &id));
}

} // namespace
