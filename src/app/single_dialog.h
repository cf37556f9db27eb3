// CSingleDialog: runs at most one dialog of a kind at a time; asking again while it is open
// brings the open one to the front instead of making a second.
#pragma once
#include <functional>
#include <memory>

#include "framework/dialog.h"

namespace quillon {

class CSingleDialog {
public:
    using Factory = std::function<std::unique_ptr<CDialog>()>;
    static constexpr INT_PTR kNotRun = 0;

    CSingleDialog() = default;
    CSingleDialog(const CSingleDialog&) = delete;
    CSingleDialog& operator=(const CSingleDialog&) = delete;

    // Makes and runs the dialog modally and returns its result; kNotRun when one is already
    // open (it is brought to the front) or none could be made.
    INT_PTR Run(const Factory& make);
    CDialog* Open() const { return m_open; }

private:
    CDialog* m_open = nullptr;
};

} // namespace quillon
