// Support of the hotkey scenarios: traced starts, windows of the program, the shell, clicks.
#include "e2e/hotkey/trace_support.h"

#include <shellapi.h>

#include <cstdio>

namespace quillon::e2e {

CTracedQuillon::CTracedQuillon(unsigned hotKey, const std::vector<std::wstring>& extensions) {
    m_tracePath = m_work.File(L"trace.txt");
    std::vector<ConfigRow> rows;
    for (const std::wstring& extension : extensions)
        rows.push_back({extension, m_work.File(L"no-such-editor.exe"), L"\"%1\"", true});
    m_quillon = std::make_unique<CQuillon>(MakeConfigXml(hotKey, rows, m_work.Path()));
}

bool CTracedQuillon::Start() {
    // The program inherits the variable; this process does not need it afterwards.
    ::SetEnvironmentVariableW(L"QUILLON_TRACE_FILE", m_tracePath.c_str());
    const ::testing::AssertionResult started = m_quillon->Start();
    ::SetEnvironmentVariableW(L"QUILLON_TRACE_FILE", nullptr);
    if (!started)
        ADD_FAILURE() << started.message();
    if (!started || !m_quillon->ServerWindow())
        return false;
    // Idle in its modal loop: the icon is added, the hotkey registered, the list made.
    return ::WaitForInputIdle(m_quillon->Process().Handle(), 10000) == 0 &&
           WaitFor([&] { return ChoiceList() != nullptr && TrayWindow() != nullptr; }, 10000,
                   "the choice list and the tray window of Quillon");
}

std::vector<std::string> CTracedQuillon::TraceLines() const {
    std::string bytes;
    std::vector<std::string> lines;
    if (!ReadFileBytes(m_tracePath, bytes))
        return lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    return lines;
}

::testing::AssertionResult CTracedQuillon::WaitForLine(const std::string& line, DWORD timeoutMs) const {
    auto result = WaitFor(
        [&] {
            for (const std::string& l : TraceLines())
                if (l == line)
                    return true;
            return false;
        },
        timeoutMs, "the trace line \"" + line + "\"");
    if (!result) {
        result << "; the trace holds:";
        for (const std::string& l : TraceLines())
            result << " [" << l << "]";
    }
    return result;
}

size_t CTracedQuillon::CountLinesStartingWith(const std::string& prefix) const {
    size_t n = 0;
    for (const std::string& l : TraceLines())
        n += l.compare(0, prefix.size(), prefix) == 0;
    return n;
}

std::string StartEditLine(HWND target, int index) {
    char text[64];
    std::snprintf(text, sizeof(text), "StartEdit 0x%llx %d",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(target)), index);
    return text;
}

void ClickAt(POINT pt) {
    // Each event carries the point: a pointer moved apart from the press (SetCursorPos) may
    // reach the window after the press, which a list then takes for the start of a drag
    // rather than a click.
    const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& event : in) {
        event.type = INPUT_MOUSE;
        event.mi.dx = static_cast<LONG>((pt.x * 65535LL + (width - 1) / 2) / (width > 1 ? width - 1 : 1));
        event.mi.dy = static_cast<LONG>((pt.y * 65535LL + (height - 1) / 2) / (height > 1 ? height - 1 : 1));
        event.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    in[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    ::SendInput(3, in, sizeof(INPUT));
}

} // namespace quillon::e2e
