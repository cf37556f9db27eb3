// One Options dialog at a time: a request while it is open makes no second dialog, and
// once it is closed the next request opens a new one.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "app/single_dialog.h"
#include "windows/support/win_test.h"

using namespace quillon;
using namespace quillon::test;

namespace {

// An empty dialog from memory (no controls, "Options" as title).
const CDialogTemplate& Template() {
    static const CDialogTemplate t(L"Options", WS_POPUP | WS_CAPTION | DS_MODALFRAME, {10, 10, 110, 50});
    return t;
}

// A dialog whose initialisation runs a step (asking for Options again, say), then ends
// with the given result.
class CStepDialog : public CDialog {
public:
    CStepDialog(std::function<void(CStepDialog&)> step, INT_PTR result)
        : m_step(std::move(step)), m_result(result) {
        InitModalIndirect(Template().Get());
    }
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        if (m_step)
            m_step(*this);
        EndDialog(m_result);
        return true;
    }

private:
    std::function<void(CStepDialog&)> m_step;
    INT_PTR m_result;
};

} // namespace

TEST(SingleDialog, ASecondRequestWhileOpenMakesNoSecondDialog) {
    CSingleDialog options;
    int made = 0;
    INT_PTR nested = -1;
    CDialog* openDuring = nullptr;
    CDialog* first = nullptr;
    CSingleDialog::Factory make = [&]() -> std::unique_ptr<CDialog> {
        ++made;
        auto dialog = std::make_unique<CStepDialog>(
            [&](CStepDialog& self) {
                openDuring = options.Open();
                first = &self;
                nested = options.Run(make); // the tray's Options again, while this one is up
            },
            IDOK);
        return dialog;
    };
    EXPECT_EQ(options.Run(make), IDOK);
    EXPECT_EQ(made, 1) << "no second dialog";
    EXPECT_EQ(nested, CSingleDialog::kNotRun);
    EXPECT_EQ(openDuring, first);
    EXPECT_EQ(options.Open(), nullptr);

    // Closed: the next request opens a new one, and its result comes back (Cancel here).
    CSingleDialog::Factory cancel = [&]() -> std::unique_ptr<CDialog> {
        ++made;
        return std::make_unique<CStepDialog>(nullptr, IDCANCEL);
    };
    EXPECT_EQ(options.Run(cancel), IDCANCEL);
    EXPECT_EQ(made, 2);
}

TEST(SingleDialog, NoDialogToMakeRunsNothing) {
    CSingleDialog options;
    EXPECT_EQ(options.Run(nullptr), CSingleDialog::kNotRun);
    EXPECT_EQ(options.Run([] { return std::unique_ptr<CDialog>(); }), CSingleDialog::kNotRun);
    EXPECT_EQ(options.Open(), nullptr);
}
