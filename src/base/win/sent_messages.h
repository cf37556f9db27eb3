// Pauses of the UI thread that keep answering the messages sent to it.
#pragma once
#include <cstdint>

namespace quillon {

// Waits about ms milliseconds while answering the messages other threads send to this one
// (the low-level keyboard hook is called through such a message, and Windows removes a hook
// that keeps it waiting longer than LowLevelHooksTimeout, without a word). Posted messages
// stay queued: nothing else of the program runs meanwhile.
void PauseAnsweringSentMessages(std::uint32_t ms);

// Answers the messages sent to this thread that wait now: for long work on the UI thread (a
// dialog built for the first time), between its parts.
void AnswerSentMessages();

} // namespace quillon
