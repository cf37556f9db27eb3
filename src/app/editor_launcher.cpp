// The editor starts off the UI thread: one short-lived thread per start.
#include "app/editor_launcher.h"

#include <objbase.h>

#include "engine/edit_road.h"
#include "engine/system.h"

namespace quillon {

// What a start's thread reads; it keeps its own reference, so that it outlives the launcher.
struct CEditorLauncher::Start {
    EditorStart what;
    HWND window = nullptr;
    UINT message = 0;
    LPARAM ticket = 0;
};

namespace {

// The shell is to be called from a single-threaded apartment (its handlers may be COM
// objects that expect one), without the old DDE ways.
class CComApartment {
public:
    CComApartment()
        : m_initialised(
              SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~CComApartment() {
        if (m_initialised)
            ::CoUninitialize();
    }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;

private:
    bool m_initialised;
};

template <typename Start> DWORD WINAPI StartThread(void* parameter) {
    std::unique_ptr<std::shared_ptr<const Start>> owned(
        static_cast<std::shared_ptr<const Start>*>(parameter));
    const Start& start = **owned;
    LaunchOutcome outcome = LaunchOutcome::kFailed;
    try {
        CComApartment apartment;
        std::unique_ptr<IShell> shell = NewShell();
        outcome = LaunchEditor(*shell, start.what);
    } catch (...) {
        // Nothing may leave a thread: the start counts as failed, and the user hears of it.
    }
    ::PostMessageW(start.window, start.message, static_cast<WPARAM>(outcome), start.ticket);
    return 0;
}

} // namespace

bool CEditorLauncher::Launch(HWND window, UINT message, const EditorStart& what) {
    auto start = std::make_shared<Start>();
    start->what = what;
    start->window = window;
    start->message = message;
    start->ticket = m_nextTicket++;
    auto parameter = std::make_unique<std::shared_ptr<const Start>>(start);
    CHandle thread(::CreateThread(nullptr, 0, StartThread<Start>, parameter.get(), 0, nullptr));
    if (!thread)
        return false;
    parameter.release(); // the thread's now
    const LPARAM ticket = start->ticket;
    m_starts.emplace(ticket, Entry{std::move(start), std::move(thread)});
    return true;
}

bool CEditorLauncher::Take(LPARAM ticket, EditorStart& what) {
    auto it = m_starts.find(ticket);
    if (it == m_starts.end())
        return false;
    what = it->second.start->what;
    m_starts.erase(it);
    return true;
}

} // namespace quillon
