// The edit-road scenario support.
#include "e2e/edit_road/road.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace quillon::e2e {

ClipboardImage ClipboardNow() {
    ClipboardImage image;
    // The markers Quillon adds to what it puts back (kept out of the history and the cloud)
    // are not part of the user's content.
    for (const ClipFormat& f : ReadClipboard())
        if (f.name != L"ExcludeClipboardContentFromMonitorProcessing" &&
            f.name != L"CanIncludeInClipboardHistory" && f.name != L"CanUploadToCloudClipboard")
            image[f.name.empty() ? std::to_wstring(f.format) : f.name] = f.bytes;
    return image;
}

std::string Describe(const ClipboardImage& image) {
    std::ostringstream out;
    for (const auto& [key, bytes] : image) {
        out << Utf8Of(key) << ":" << bytes.size() << "B ";
        if (key == L"13") // the text itself helps to tell whose it is
            out << "\""
                << Utf8Of(Printable(
                              std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2))
                              .substr(0, 40))
                << "\" ";
    }
    return out.str();
}

bool PutUserClipboard() {
    if (!OpenClipboardPatiently())
        return false;
    ::EmptyClipboard();
    const std::wstring text = L"the user's clipboard \u00E9\U0001F600\r\nsecond line";
    ::SetClipboardData(CF_UNICODETEXT, GlobalBytes(std::string(reinterpret_cast<const char*>(text.c_str()),
                                                               (text.size() + 1) * 2)));
    ::SetClipboardData(::RegisterClipboardFormatW(L"HTML Format"),
                       GlobalBytes("Version:0.9\r\nStartHTML:0\r\n<html><b>kept</b></html>"));
    ::SetClipboardData(CF_DIB, GlobalBytes(SmallDib()));
    ::CloseClipboard();
    return true;
}

::testing::AssertionResult SaveAsEditor(const std::wstring& path, const std::string& bytes) {
    return WaitFor(
        [&] { return WriteFileBytes(path, bytes, CREATE_ALWAYS, FILE_SHARE_READ | FILE_SHARE_WRITE); }, 5000,
        "saving " + Utf8Of(path));
}

bool PutClipboardText(const std::wstring& text) {
    if (!OpenClipboardPatiently())
        return false;
    ::EmptyClipboard();
    ::SetClipboardData(CF_UNICODETEXT, GlobalBytes(std::string(reinterpret_cast<const char*>(text.c_str()),
                                                               (text.size() + 1) * 2)));
    ::CloseClipboard();
    return true;
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboardPatiently())
        return text;
    if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(::GlobalLock(h))) {
            text = p;
            ::GlobalUnlock(h);
        }
    }
    ::CloseClipboard();
    return text;
}

namespace {

void CtrlKeys(const std::string& letters) {
    std::vector<std::pair<WORD, bool>> keys{{VK_CONTROL, true}};
    for (char c : letters) {
        keys.emplace_back(static_cast<WORD>(c), true);
        keys.emplace_back(static_cast<WORD>(c), false);
    }
    keys.emplace_back(VK_CONTROL, false);
    SendKeys(keys);
}

std::size_t TextLength(HWND box) {
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    return length;
}

} // namespace

std::wstring Printable(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text.substr(0, 200)) {
        if (c == L'\r')
            out += L"\\r";
        else if (c == L'\n')
            out += L"\\n";
        else
            out += c;
    }
    if (text.size() > 200)
        out += L"... (" + std::to_wstring(text.size()) + L" characters)";
    return out;
}

RoadOptions SeenOnlyOptions() {
    RoadOptions options;
    options.editorOptions = L"--seen \"{W}\\seen\"";
    return options;
}

CRoad::CRoad(const RoadOptions& options) : m_options(options) {
    m_edits = m_work.File(L"edits");
    std::vector<ConfigRow> rows = options.rows;
    if (rows.empty()) {
        std::wstring editorOptions =
            options.editorOptions.empty() ? StandardEditorOptions() : options.editorOptions;
        // "{W}" stands for the work folder.
        for (std::size_t at; (at = editorOptions.find(L"{W}")) != std::wstring::npos;)
            editorOptions.replace(at, 3, m_work.Path());
        for (const std::wstring& extension : options.extensionsBefore)
            rows.push_back({extension, EditorPath(), editorOptions + L" \"%1\"", options.utf8});
        rows.push_back({L"txt", EditorPath(), editorOptions + L" \"%1\"", options.utf8});
    }
    std::string xml = MakeConfigXml(kRoadHotKey, rows, m_edits, options.saveContent, options.insert,
                                    options.editOnlySelection, options.deleteTempFile, options.delay,
                                    options.useEditMessages);
    if (!options.rulesXml.empty())
        xml.insert(xml.rfind("</Quillon>"), options.rulesXml);
    m_quillon = std::make_unique<CQuillon>(xml);
}

CRoad::~CRoad() {
    // Whatever a failed scenario left pressed must not leak into the next one.
    ReleaseKeys({'Q', VK_CONTROL, VK_MENU});
    // Quillon first (it deletes its files at exit), then the text box.
    m_quillon.reset();
}

std::wstring CRoad::EditorPath() {
    return BinDir() + L"\\quillon-test-editor.exe";
}

std::wstring CRoad::StandardEditorOptions() const {
    return L"--seen \"" + W(L"seen") + L"\" --wait \"" + W(L"go") + L"\" --write \"" + W(L"new") +
           L"\" --done \"" + W(L"done") + L"\"";
}

::testing::AssertionResult CRoad::Start(CTextBoxApp::Box box) {
    m_current = box;
    // Under Xvfb without a window manager the keyboard follows the pointer, and Wine then
    // re-reads the keyboard state, forgetting synthesised modifiers: keep the pointer
    // still, beside the box, for the whole scenario.
    ::SetCursorPos(640, 600);
    if (!m_box.Window()) {
        auto started = m_box.Start();
        if (!started)
            return started;
    }
    ::SetEnvironmentVariableW(L"QUILLON_TRACE_FILE", W(L"trace.txt").c_str());
    if (!m_quillon->Start())
        return ::testing::AssertionFailure() << "Quillon.exe did not start";
    if (!m_quillon->ServerWindow())
        return ::testing::AssertionFailure() << "no server window";
    ::WaitForInputIdle(m_quillon->Process().Handle(), 10000);
    auto focused = m_box.Focus(box);
    if (!focused)
        return focused;
    PollFocusNow();
    return ::testing::AssertionSuccess();
}

void CRoad::PollFocusNow() {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(m_quillon->ServerWindow(), WM_TIMER, 1, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

void CRoad::PurgeNow() {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(m_quillon->ServerWindow(), WM_TIMER, 3, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

::testing::AssertionResult CRoad::CaughtUp() {
    DWORD_PTR result = 0;
    // Its two watching timers, run now as they would run: the focus poll (1) and the look
    // again after a late copy or a focus change (4).
    for (WPARAM timer : {1, 4})
        if (!::SendMessageTimeoutW(m_quillon->ServerWindow(), WM_TIMER, timer, 0, SMTO_ABORTIFHUNG, 10000,
                                   &result))
            return ::testing::AssertionFailure()
                   << "Quillon did not answer its timer " << timer << " within 10 s";
    return WaitQuillonCaughtUp(m_quillon->Process().Id());
}

HWND CRoad::ChoiceList() const {
    return FindTopWindow(m_quillon->Process().Id(), L"SysListView32", L"Quillon");
}

::testing::AssertionResult CRoad::Hotkey(int presses, bool holdCtrl) {
    PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
    HWND list = nullptr;
    auto shown = WaitFor([&] { return (list = ChoiceList()) != nullptr && ::IsWindowVisible(list); }, 5000,
                         "the choice list to appear");
    if (!shown) {
        ReleaseKeys({VK_MENU, VK_CONTROL});
        return shown;
    }
    for (int i = 1; i < presses; ++i) {
        TapKey('Q');
        auto moved = WaitFor(
            [&] {
                return ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == i;
            },
            5000, "the choice list's selection to move to item " + std::to_string(i));
        if (!moved) {
            ReleaseKeys({VK_MENU, VK_CONTROL});
            return moved;
        }
    }
    if (holdCtrl)
        ReleaseKeys({VK_MENU});
    else
        ReleaseKeys({VK_MENU, VK_CONTROL});
    return WaitFor([&] { return !::IsWindowVisible(list); }, 5000,
                   "the choice list to be hidden after the release");
}

::testing::AssertionResult CRoad::ComeBack(CTextBoxApp::Box box) {
    auto away = m_box.Focus(CTextBoxApp::kOther);
    if (!away)
        return away;
    PollFocusNow();
    m_current = box;
    return m_box.Focus(box);
}

std::vector<std::wstring> CRoad::TempFiles() const {
    return ListFiles(m_edits, L"Quillon_*");
}

::testing::AssertionResult CRoad::WaitTempFiles(std::size_t count) {
    return WaitFor([&] { return TempFiles().size() == count; }, 10000,
                   std::to_string(count) + " temporary file(s) in the edits folder");
}

::testing::AssertionResult CRoad::WaitRead(const std::wstring& name, std::string& bytes, DWORD timeoutMs) {
    return WaitFor([&] { return FileExists(W(name)) && ReadFileBytes(W(name), bytes); }, timeoutMs,
                   "the file " + Utf8Of(name) + " in the work folder");
}

::testing::AssertionResult CRoad::WaitEditorSaw(std::string& bytes) {
    auto seen = WaitRead(L"seen", bytes);
    if (seen && !::DeleteFileW(W(L"seen").c_str()))
        return ::testing::AssertionFailure() << "the editor's copy of its file could not be removed";
    return seen;
}

::testing::AssertionResult CRoad::StartEditOf(const std::wstring& text, std::string& seen,
                                              CTextBoxApp::Box box, bool holdCtrl) {
    if (!m_box.Window()) {
        if (auto started = m_box.Start(); !started)
            return started;
    }
    if (!m_box.SetText(box, text))
        return ::testing::AssertionFailure() << "the box's text could not be set";
    if (auto started = Start(box); !started)
        return started;
    if (auto hotkey = Hotkey(1, holdCtrl); !hotkey)
        return hotkey;
    return WaitEditorSaw(seen);
}

::testing::AssertionResult CRoad::EditorSaves(const std::string& bytes) {
    if (!WriteFileBytes(W(L"new"), bytes) || !WriteFileBytes(W(L"go"), "go"))
        return ::testing::AssertionFailure() << "could not tell the editor to save";
    std::string done;
    return WaitRead(L"done", done);
}

::testing::AssertionResult CRoad::SaveAndComeBack(const std::string& bytes) {
    if (auto saved = EditorSaves(bytes); !saved)
        return saved;
    return ComeBack();
}

std::wstring CRoad::TempFilePath() const {
    const auto files = TempFiles();
    return files.empty() ? std::wstring() : m_edits + L"\\" + files[0];
}

::testing::AssertionResult CRoad::WaitBoxText(const std::wstring& expected, DWORD timeoutMs) {
    std::wstring actual;
    auto result = WaitFor([&] { return (actual = m_box.Text(m_current)) == expected; }, timeoutMs,
                          "the text box to hold the expected text");
    if (!result)
        result << "\n  expected: " << Utf8Of(Printable(expected))
               << "\n  actual:   " << Utf8Of(Printable(actual));
    return result;
}

::testing::AssertionResult CRoad::WaitClipboard(const ClipboardImage& expected, DWORD timeoutMs) {
    ClipboardImage actual;
    auto result = WaitFor([&] { return (actual = ClipboardNow()) == expected; }, timeoutMs,
                          "the user's clipboard to be back, byte for byte");
    if (!result)
        result << "\n  expected: " << Describe(expected) << "\n  actual:   " << Describe(actual);
    return result;
}

::testing::AssertionResult CRoad::PasteIntoBox(const std::wstring& text) {
    if (!PutClipboardText(text))
        return ::testing::AssertionFailure() << "could not put the text on the clipboard";
    auto focused = m_box.Focus(m_current);
    if (!focused)
        return focused;
    CtrlKeys("AV");
    return WaitFor([&] { return TextLength(BoxWindow()) == text.size(); }, 20000,
                   "the box to hold the pasted text (" + std::to_string(text.size()) + " characters)");
}

::testing::AssertionResult CRoad::CopyFromBox(std::wstring& text) {
    auto focused = m_box.Focus(m_current);
    if (!focused)
        return focused;
    const std::size_t length = TextLength(BoxWindow());
    if (!OpenClipboardPatiently())
        return ::testing::AssertionFailure() << "the clipboard stayed busy";
    ::EmptyClipboard();
    ::CloseClipboard();
    CtrlKeys("AC");
    return WaitFor([&] { return (text = ClipboardText()).size() == length; }, 10000,
                   "the box's text on the clipboard");
}

std::vector<std::wstring> CRoad::Trace() const {
    std::string bytes;
    std::vector<std::wstring> lines;
    if (!ReadFileBytes(W(L"trace.txt"), bytes))
        return lines;
    std::wstring text(bytes.begin(), bytes.end());
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\n') {
            if (!line.empty() && line.back() == L'\r')
                line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    return lines;
}

int CRoad::Notices(const std::wstring& text) const {
    const auto lines = Trace();
    return static_cast<int>(std::count(lines.begin(), lines.end(), L"Notice " + text));
}

::testing::AssertionResult CRoad::WaitNotice(const std::wstring& text, DWORD timeoutMs) const {
    return WaitFor([&] { return Notices(text) > 0; }, timeoutMs, "Quillon to tell the user: " + Utf8Of(text));
}

bool CRoad::SwitchField(int field) {
    static const UINT fieldMessage = ::RegisterWindowMessageW(L"QuillonTestBoxField");
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(m_box.Window(), fieldMessage, static_cast<WPARAM>(field), 0,
                                 SMTO_ABORTIFHUNG, 5000, &result) != 0 &&
           result == 1;
}

int CRoad::ConsoleKeys() {
    static const UINT keysMessage = ::RegisterWindowMessageW(L"QuillonTestBoxKeys");
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(m_box.Window(), keysMessage, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<int>(result);
}

} // namespace quillon::e2e
