// A pause that answers sent messages: the wait wakes for each one and dispatches it.
#include "base/win/sent_messages.h"

#include <windows.h>

namespace quillon {

void PauseAnsweringSentMessages(std::uint32_t ms) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        // Dispatches the sent messages (and the hook calls) only.
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (elapsed >= ms)
            return;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms - elapsed), QS_SENDMESSAGE, 0);
    }
}

void AnswerSentMessages() {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

} // namespace quillon
