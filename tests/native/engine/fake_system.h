// A recording fake of the engine's system seam: an in-memory clipboard, files, keyboard
// and clock, and a log of the calls in the order they were made.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "base/u16.h"
#include "config/config_platform.h"
#include "engine/edit_engine.h"
#include "engine/edit_road.h"
#include "engine/system.h"

namespace quillon::test {

// A window handle the fakes only compare: box 1, box 2 and so on.
inline HWND Box(std::uintptr_t id) {
    return reinterpret_cast<HWND>(id);
}

class CFakeSystem : public ISystem {
public:
    // The log: one short line per call that changes something or matters for the order.
    std::vector<std::string> log;
    void Log(const std::string& line) { log.push_back(line); }
    // The log lines that start with the prefix, in order.
    std::vector<std::string> Calls(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& l : log)
            if (l.compare(0, prefix.size(), prefix) == 0)
                out.push_back(l);
        return out;
    }
    int IndexOf(const std::string& line, int from = 0) const {
        for (int i = from; i < static_cast<int>(log.size()); ++i)
            if (log[static_cast<std::size_t>(i)] == line)
                return i;
        return -1;
    }

    // --- Clipboard: formats in the order they were put on it.
    struct Blob {
        std::uint32_t format;
        std::string bytes;
    };
    std::vector<std::pair<std::uint32_t, std::string>> clipboard;
    std::map<std::uint32_t, std::u16string> formatNames; // registered names of this session
    std::map<std::u16string, std::uint32_t> registerAs;  // what a name registers to now
    std::map<ClipHandle, std::unique_ptr<Blob>> copies;  // handles not owned by the clipboard
    int busyOpens = 0; // how many OpenClipboard calls fail before one succeeds
    bool clipboardOpen = false;
    int copyFailsFor = -1; // a format whose data cannot be had
    // The text box's content: what a synthesised copy puts on the clipboard when the keys
    // "C" arrive, and what a paste changes. Null: a copy brings nothing.
    std::unique_ptr<std::u16string> boxText;
    // What is selected in that box (nothing: a copy without Ctrl+A takes all of it, as the
    // tests of whole boxes expect); a paste without Ctrl+A replaces it.
    std::u16string boxSelected;
    // What else a copy of the box brings besides its text (formatted text, say).
    std::vector<std::pair<std::uint32_t, std::string>> boxFormats;
    // Text pasted by a synthesised "V": the clipboard's text at that moment.
    std::vector<std::u16string> pasted;
    bool viewerJoined = false;
    // How many opens fail after a paste: the text box holding the clipboard while it inserts.
    int busyAfterPaste = 0;

    void PutText(const std::u16string& text) {
        std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
        clipboard.emplace_back(13, bytes);
        ++sequence;
    }
    std::string ClipBytes(std::uint32_t format) const {
        for (const auto& f : clipboard)
            if (f.first == format)
                return f.second;
        return "<none>";
    }

    // The owner window every open passes; the owner the clipboard has (set when emptied).
    void* ownerWindow = nullptr;
    void* owner = nullptr;
    // The clipboard's sequence number: it moves at every write, ours or anyone's.
    std::uint32_t sequence = 1;
    std::uint32_t ownSequence = 0;
    bool wrote = false;
    int emptiedWithoutOwner = 0; // Windows would refuse every SetClipboardData after these
    void SetOwnerWindow(void* window) override { ownerWindow = window; }
    bool OpenClipboard() override {
        if (busyOpens > 0) {
            --busyOpens;
            Log("OpenClipboard busy");
            return false;
        }
        clipboardOpen = true;
        wrote = false;
        Log("OpenClipboard");
        return true;
    }
    void CloseClipboard() override {
        clipboardOpen = false;
        if (wrote)
            ownSequence = sequence;
        wrote = false;
        Log("CloseClipboard");
    }
    bool EmptyClipboard() override {
        DropOffer(); // as WM_DESTROYCLIPBOARD tells the owner
        clipboard.clear();
        owner = ownerWindow;
        if (!ownerWindow)
            ++emptiedWithoutOwner;
        wrote = true;
        ++sequence;
        Log("EmptyClipboard");
        return true;
    }
    // The user (or another program) copies something.
    void UserCopies(std::vector<std::pair<std::uint32_t, std::string>> content) {
        clipboard = std::move(content);
        owner = nullptr;
        ++sequence;
    }
    // The marker formats, numbered as this session registers them.
    static constexpr std::uint32_t kExcludeMark = 0xCE01, kHistoryMark = 0xCE02, kCloudMark = 0xCE03;
    static std::string Dword0() { return std::string(4, '\0'); }
    bool MarkOwnContent() override {
        if (!clipboardOpen)
            return false;
        for (std::uint32_t f : {kExcludeMark, kHistoryMark, kCloudMark}) {
            clipboard.erase(std::remove_if(clipboard.begin(), clipboard.end(),
                                           [&](const auto& e) { return e.first == f; }),
                            clipboard.end());
            clipboard.emplace_back(f, Dword0());
        }
        wrote = true;
        ++sequence;
        Log("MarkOwnContent");
        return true;
    }
    bool ChangedSinceOwnWrite() override { return sequence != ownSequence; }
    std::uint32_t ClipboardSequence() override { return sequence; }
    // The process of whoever copied last (UserCopies); ours after our own writes.
    std::uint32_t copierProcess = 0;
    std::uint32_t ClipboardOwnerProcess() override { return owner ? ownProcess : copierProcess; }
    // The process reading the clipboard now (the box's, while it takes a paste).
    std::uint32_t readerProcess = 0;
    std::uint32_t ClipboardOpenerProcess() override { return readerProcess; }
    // Where the box's request for an offered text goes (the program's route); none: the
    // offer is rendered directly.
    std::function<void(std::uint32_t format)> renderRequest;
    void RequestRender(std::uint32_t reader) {
        const std::uint32_t before = readerProcess;
        readerProcess = reader;
        if (renderRequest)
            renderRequest(13);
        else
            RenderOffer(13);
        readerProcess = before;
    }
    bool Marked() const {
        return ClipBytes(kExcludeMark) == Dword0() && ClipBytes(kHistoryMark) == Dword0() &&
               ClipBytes(kCloudMark) == Dword0();
    }
    // The clipboard without our markers.
    std::vector<std::pair<std::uint32_t, std::string>> Unmarked() const {
        std::vector<std::pair<std::uint32_t, std::string>> out;
        for (const auto& e : clipboard)
            if (e.first != kExcludeMark && e.first != kHistoryMark && e.first != kCloudMark)
                out.push_back(e);
        return out;
    }
    std::uint32_t EnumClipboardFormats(std::uint32_t after) override {
        if (!clipboardOpen)
            return 0;
        bool take = after == 0;
        for (const auto& f : clipboard) {
            if (take)
                return f.first;
            if (f.first == after)
                take = true;
        }
        return 0;
    }
    std::u16string ClipboardFormatName(std::uint32_t format) override {
        auto it = formatNames.find(format);
        return it == formatNames.end() ? std::u16string() : it->second;
    }
    ClipHandle CopyClipboardData(std::uint32_t format) override {
        if (static_cast<int>(format) == copyFailsFor)
            return nullptr;
        for (const auto& f : clipboard)
            if (f.first == format) {
                auto blob = std::make_unique<Blob>(Blob{format, f.second});
                ClipHandle h = blob.get();
                copies[h] = std::move(blob);
                Log("Copy " + std::to_string(format));
                return h;
            }
        return nullptr;
    }
    bool SetClipboardData(std::uint32_t format, ClipHandle data) override {
        auto it = copies.find(data);
        if (!clipboardOpen || it == copies.end())
            return false;
        clipboard.erase(std::remove_if(clipboard.begin(), clipboard.end(),
                                       [&](const auto& e) { return e.first == format; }),
                        clipboard.end());
        clipboard.emplace_back(format, it->second->bytes);
        copies.erase(it);
        wrote = true;
        ++sequence;
        Log("SetClipboardData " + std::to_string(format));
        return true;
    }
    void FreeClipboardCopy(std::uint32_t format, ClipHandle data) override {
        copies.erase(data);
        Log("Free " + std::to_string(format));
    }
    std::uint32_t RegisterFormatName(const std::u16string& name) override {
        auto it = registerAs.find(name);
        return it == registerAs.end() ? 0 : it->second;
    }
    bool IsClipboardFormatAvailable(std::uint32_t format) override {
        for (const auto& f : clipboard)
            if (f.first == format)
                return true;
        return false;
    }
    bool GetClipboardText(std::u16string& text) override {
        if (!clipboardOpen)
            return false;
        for (const auto& f : clipboard)
            if (f.first == 13) {
                text.assign(reinterpret_cast<const char16_t*>(f.second.data()), f.second.size() / 2);
                text = text.substr(0, text.find(u'\0'));
                return true;
            }
        return false;
    }
    bool SetClipboardText(const std::u16string& text) override {
        if (!clipboardOpen)
            return false;
        PutText(text);
        wrote = true;
        Log("SetClipboardText");
        MarkOwnContent();
        return true;
    }
    bool SetClipboardTextAsCopy(const std::u16string& text) override {
        if (!clipboardOpen)
            return false;
        PutText(text);
        wrote = true;
        Log("SetClipboardTextAsCopy");
        return true;
    }
    // Delayed rendering: the offered text stands on the clipboard as this placeholder until
    // the box's paste asks for it; a box that never handles the keys never asks.
    static constexpr char kOfferedBytes[] = "<offered>";
    std::u16string offer;
    ClipboardOffer offerState = ClipboardOffer::kNone;
    bool boxIgnoresPaste = false;
    bool OfferClipboardText(const std::u16string& text) override {
        if (!clipboardOpen)
            return false;
        clipboard.emplace_back(13, kOfferedBytes);
        ++sequence;
        offer = text;
        offerState = ClipboardOffer::kWaiting;
        wrote = true;
        Log("OfferClipboardText");
        MarkOwnContent();
        return true;
    }
    void RenderOffer(std::uint32_t format) override {
        if (format != 13 || offerState != ClipboardOffer::kWaiting)
            return;
        for (auto& f : clipboard)
            if (f.first == 13 && f.second == kOfferedBytes)
                f.second = std::string(reinterpret_cast<const char*>(offer.c_str()), (offer.size() + 1) * 2);
        offerState = ClipboardOffer::kTaken;
        Log("RenderOffer");
    }
    void RenderOfferBeforeLeaving(void*) override { RenderOffer(13); }
    void DropOffer() override {
        if (offerState == ClipboardOffer::kWaiting)
            offerState = ClipboardOffer::kDropped;
    }
    ClipboardOffer OfferState() override { return offerState; }
    void* viewer = nullptr; // the window that last joined the viewer chain
    int joins = 0;          // joins not yet matched by a leave
    bool JoinClipboardViewerChain(void* window) override {
        viewer = window;
        ++joins;
        viewerJoined = true;
        Log("JoinViewerChain");
        return true;
    }
    void LeaveClipboardViewerChain(void* window) override {
        viewerJoined = --joins > 0;
        Log(window == viewer ? "LeaveViewerChain" : "LeaveViewerChain wrong window");
    }

    // --- Keyboard: the system's key state, and the user's own keys as the hook sees them.
    std::set<std::uint8_t> keysDown;
    std::set<std::uint8_t> userKeysDown;
    // The user's key events waiting for the hook (vk, down): they reach it when the program
    // answers its sent messages.
    std::vector<std::pair<std::uint8_t, bool>> keysBehindHook;
    std::vector<std::vector<quillon::KeyInput>> batches;
    bool IsKeyDown(std::uint8_t vk) override { return keysDown.count(vk) != 0; }
    bool IsUserKeyDown(std::uint8_t vk) override { return userKeysDown.count(vk) != 0; }
    std::uint32_t userKeyPresses = 0;
    std::uint32_t UserKeyPresses() override { return userKeyPresses; }
    void FollowHook(quillon::CUserKeys*) override {}
    bool holdingKeys = false;
    void HoldUserKeys() override {
        holdingKeys = true;
        Log("HoldKeys");
    }
    void ReleaseUserKeys() override {
        holdingKeys = false;
        Log("ReleaseKeys");
    }
    std::uint16_t ScanCodeOf(std::uint8_t vk) override { return static_cast<std::uint16_t>(vk + 0x100); }
    bool SendKeys(const std::vector<quillon::KeyInput>& keys) override {
        batches.push_back(keys);
        std::string letters;
        bool ctrl = keysDown.count(0x11) != 0;
        for (const auto& k : keys) {
            if (k.vk == 0x11)
                ctrl = !k.up;
            else if (!k.up && ctrl && ((k.vk >= 'A' && k.vk <= 'Z') || k.vk == 0x23))
                letters += k.vk == 0x23 ? '#' : static_cast<char>(k.vk); // # for End
        }
        Log("Keys " + letters);
        for (char c : letters) {
            if (c == 'C' && boxText) {
                const bool all = letters.find('A') != std::string::npos || boxSelected.empty();
                PutText(all ? *boxText : boxSelected);
                clipboard.insert(clipboard.end(), boxFormats.begin(), boxFormats.end());
            }
            if (c == 'V' && boxIgnoresPaste)
                continue;
            if (c == 'V') {
                RequestRender(FocusedProcess()); // the box asks for the text
                std::u16string t;
                bool wasOpen = clipboardOpen;
                clipboardOpen = true;
                pasted.push_back(GetClipboardText(t) ? t : u"<no text>");
                clipboardOpen = wasOpen;
                // The box now holds the paste (all of it after Ctrl+A, else added to it).
                if (!boxText)
                    boxText = std::make_unique<std::u16string>();
                const std::size_t selectedAt =
                    boxSelected.empty() ? std::u16string::npos : boxText->find(boxSelected);
                if (letters.find('A') != std::string::npos)
                    *boxText = pasted.back();
                else if (selectedAt != std::u16string::npos)
                    boxText->replace(selectedAt, boxSelected.size(), pasted.back());
                else
                    *boxText += pasted.back();
                busyOpens = busyAfterPaste;
            }
        }
        return true;
    }

    // --- Waiting and time. A wait moves the clock on in poll steps; every step answers the
    // sent messages: the hook gets the user's waiting keys, and onServe runs.
    std::uint64_t now = 1000;
    int serves = 0;
    std::function<void()> onServe;
    int hour = 14, minute = 5, second = 9;
    bool timeKnown = true;
    void Serve() {
        ++serves;
        for (const auto& [vk, down] : keysBehindHook) {
            if (down)
                userKeysDown.insert(vk);
            else
                userKeysDown.erase(vk);
        }
        keysBehindHook.clear();
        if (onServe)
            onServe();
    }
    bool WaitServingMessages(std::uint32_t timeoutMs, const std::function<bool()>& done,
                             std::uint32_t pollMs) override {
        if (timeoutMs > 0)
            Log("Wait " + std::to_string(timeoutMs));
        const std::uint64_t start = now;
        for (;;) {
            Serve();
            if (done && done())
                return true;
            if (now - start >= timeoutMs)
                return false;
            std::uint64_t step = timeoutMs - (now - start);
            if (done && pollMs > 0 && pollMs < step)
                step = pollMs;
            now += step;
        }
    }
    // The same wait, logged as one that hears clipboard changes (it moves the clock on the
    // same way: the fake clipboard changes only when keys arrive).
    void* listener = nullptr; // the window the last watching wait listened with
    bool WaitWatchingClipboard(void* window, std::uint32_t timeoutMs, const std::function<bool()>& done,
                               std::uint32_t pollMs) override {
        listener = window;
        Log("Watching the clipboard");
        return WaitServingMessages(timeoutMs, done, pollMs);
    }
    std::uint64_t NowMs() override { return now; }
    bool LocalTimeOfDay(int& h, int& m, int& s) override {
        h = hour;
        m = minute;
        s = second;
        return timeKnown;
    }

    // --- Files
    struct File {
        std::string bytes;
        std::uint32_t lastWrite = 0;
        int settling = 0; // how many more looks find it written a moment ago
    };
    std::map<std::u16string, File> files;
    std::set<std::u16string> folders;
    std::set<std::u16string> unopenable; // paths that cannot be opened (locked)
    std::uint32_t clock = 100;           // file times
    std::map<FileHandle, std::u16string> handles;
    int nextHandle = 1;
    std::vector<std::u16string> deleted;

    // The editor saving the file.
    void Save(const std::u16string& path, const std::string& bytes) {
        files[path].bytes = bytes;
        files[path].lastWrite = ++clock;
    }
    std::set<std::u16string> undeletable; // held open by an editor
    bool DeleteFile(const std::u16string& path) override {
        deleted.push_back(path);
        Log("DeleteFile");
        return !undeletable.count(path) && files.erase(path) != 0;
    }
    std::u16string GetTempPath() override { return u"C:\\Temp\\"; }
    void CreateDirectories(const std::u16string& folder) override {
        folders.insert(folder);
        Log("CreateDirectories " + ToUtf8(folder));
    }
    FileHandle NewHandle(const std::u16string& path) {
        auto h = reinterpret_cast<FileHandle>(static_cast<std::uintptr_t>(nextHandle++));
        handles[h] = path;
        return h;
    }
    FileHandle CreateNewFile(const std::u16string& path, CreateResult& result) override {
        if (files.count(path)) {
            result = CreateResult::kExists;
            Log("CreateNewFile exists " + ToUtf8(path));
            return nullptr;
        }
        if (path.find(u'?') != std::u16string::npos) {
            result = CreateResult::kFailed;
            Log("CreateNewFile failed");
            return nullptr;
        }
        files[path] = File{"", ++clock};
        result = CreateResult::kCreated;
        Log("CreateNewFile " + ToUtf8(path));
        return NewHandle(path);
    }
    FileHandle OpenFileForRead(const std::u16string& path) override {
        if (!files.count(path) || unopenable.count(path))
            return nullptr;
        return NewHandle(path);
    }
    bool writeFails = false;       // a full disk: half the bytes land, and the write fails
    std::function<void()> onWrite; // runs after each write that lands
    bool WriteFile(FileHandle file, const std::string& bytes) override {
        auto& f = files[handles.at(file)];
        if (writeFails) {
            f.bytes += bytes.substr(0, bytes.size() / 2);
            Log("WriteFile failed");
            return false;
        }
        f.bytes += bytes;
        f.lastWrite = ++clock;
        writers.insert(file);
        if (onWrite)
            onWrite();
        Log("WriteFile " + std::to_string(bytes.size()));
        return true;
    }
    int readFailures = 0; // how many reads fail
    bool ReadFile(FileHandle file, std::string& bytes) override {
        if (readFailures > 0) {
            --readFailures;
            return false;
        }
        bytes = files[handles.at(file)].bytes;
        return true;
    }
    bool GetLastWriteLow(FileHandle file, std::uint32_t& low) override {
        low = files[handles.at(file)].lastWrite;
        return true;
    }
    bool WrittenWithinMs(FileHandle file, std::uint32_t) override {
        auto& f = files[handles.at(file)];
        if (f.settling <= 0)
            return false;
        --f.settling;
        return true;
    }
    std::set<std::u16string> beingWritten; // open in an editor that is still saving
    bool HeldForWriting(const std::u16string& path) override { return beingWritten.count(path) != 0; }
    // Windows may stamp a written file's time again when the handle that wrote it closes.
    bool stampAtClose = false;
    std::set<FileHandle> writers;
    void CloseFile(FileHandle file) override {
        if (writers.erase(file) && stampAtClose)
            files[handles.at(file)].lastWrite = ++clock;
        handles.erase(file);
        Log("CloseFile");
    }

    // --- Shell and windows
    std::vector<std::pair<std::u16string, std::u16string>> launched;
    std::vector<std::pair<std::u16string, std::u16string>> started;
    bool startFails = false;
    std::set<const void*> liveWindows;
    bool StartProgram(const std::u16string& program, const std::u16string& parameters) override {
        Log("StartProgram");
        if (startFails)
            return false;
        started.emplace_back(program, parameters);
        return true;
    }
    bool shellFails = false;
    bool ShellOpen(const std::u16string& file, const std::u16string& parameters) override {
        launched.emplace_back(file, parameters);
        Log("ShellOpen");
        return !shellFails;
    }
    // The file types the shell knows: extension (".txt") -> verb -> what it registers.
    std::map<std::u16string, std::map<std::u16string, VerbFacts>> fileTypes;
    std::u16string pathExt = u".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC";
    OpenWithResult openWith = OpenWithResult::kOpened;
    bool verbFails = false;
    VerbFacts FileTypeVerb(const std::u16string& extension, const std::u16string& verb) override {
        auto type = fileTypes.find(extension);
        if (type == fileTypes.end())
            return {};
        auto facts = type->second.find(verb);
        return facts == type->second.end() ? VerbFacts{} : facts->second;
    }
    std::u16string ProgramExtensions() override { return pathExt; }
    bool ShellVerb(const std::u16string& file, const std::u16string& verb) override {
        Log("ShellVerb " + ToUtf8(verb) + " " + ToUtf8(file));
        return !verbFails;
    }
    OpenWithResult OpenWithDialog(const std::u16string& file) override {
        Log("OpenWith " + ToUtf8(file));
        return openWith;
    }
    bool IsWindow(const void* window) override { return liveWindows.count(window) != 0; }

    // --- Whose window. Unless a test says otherwise, every window belongs to another
    // program (facts all zero, as a record made without them), is reachable, and has the
    // focus when the engine looks: the focus is on the window last described, or on
    // `focus` when a test moved it.
    std::map<const void*, WindowFacts> windowFacts;
    std::set<const void*> aboveUs;
    std::uint32_t ownProcess = 1;
    void* focus = nullptr;
    const void* lastDescribed = nullptr;
    // Called when the engine looks where the focus is: a test can move it there.
    std::function<void()> onFocusAsked;
    bool DescribeWindow(const void* window, WindowFacts& facts) override {
        lastDescribed = window;
        auto it = windowFacts.find(window);
        facts = it == windowFacts.end() ? WindowFacts{} : it->second;
        facts.program.clear(); // DescribeProgram's part
        facts.title.clear();
        return true;
    }
    void DescribeProgram(const void* window, WindowFacts& facts) override {
        auto it = windowFacts.find(window);
        if (it != windowFacts.end()) {
            facts.program = it->second.program;
            facts.title = it->second.title;
        }
    }
    std::uint32_t OwnProcess() override { return ownProcess; }
    bool RunsAboveUs(const void* window) override { return aboveUs.count(window) != 0; }
    std::set<const void*> noCaret; // windows where no text cursor shows
    bool CaretShownIn(const void* window) override { return noCaret.count(window) == 0; }
    // What windows of the system's edit classes report as their text.
    std::map<const void*, std::u16string> windowText;
    bool ReadWindowText(const void* window, std::u16string& text) override {
        auto it = windowText.find(window);
        if (it == windowText.end())
            return false;
        text = it->second;
        return true;
    }
    // An edit control's selection (an EDIT control's positions: CR LF counts two), kept per
    // window; replacing it changes the window's text, as the control would.
    std::map<const void*, std::pair<std::uint32_t, std::uint32_t>> selections;
    bool GetEditSelection(const void* box, std::uint32_t& start, std::uint32_t& end) override {
        if (!windowText.count(box))
            return false;
        std::tie(start, end) = selections[box];
        return true;
    }
    bool SetEditSelection(const void* box, std::uint32_t start, std::uint32_t end) override {
        if (!windowText.count(box))
            return false;
        const auto size = static_cast<std::uint32_t>(windowText[box].size());
        selections[box] = {std::min(start, size), std::min(end, size)};
        Log("SetSel " + std::to_string(selections[box].first) + " " + std::to_string(selections[box].second));
        return true;
    }
    bool ReplaceEditSelection(const void* box, const std::u16string& text) override {
        if (!windowText.count(box))
            return false;
        auto& [start, end] = selections[box];
        windowText[box].replace(start, end - start, text);
        start = end = start + static_cast<std::uint32_t>(text.size());
        Log("ReplaceSel " + ToUtf8(text));
        return true;
    }
    std::uint32_t FocusedProcess() const {
        auto it = windowFacts.find(focus ? focus : lastDescribed);
        return it == windowFacts.end() ? 0 : it->second.process;
    }
    void* FocusedWindow() override {
        if (onFocusAsked)
            onFocusAsked();
        return focus ? focus : const_cast<void*>(lastDescribed);
    }

    // --- ANSI text: Latin-1, each unit keeping its low byte.
    std::string ToAnsi(const std::u16string& text) override { return Latin1Bytes(text); }
    std::u16string FromAnsi(const std::string& bytes) override { return FromLatin1Bytes(bytes); }
};

// A host whose New Extension dialog answers as told.
class CFakeHost : public IEngineHost {
public:
    bool answerOk = true;
    EXTENSIONREC answer{u"md", u"C:\\ed.exe", u"-x \"%1\"", 1};
    bool save = false;
    std::function<void()> whileAsking; // what the user does while the dialog is open
    int asked = 0;
    int changed = 0;
    CFakeSystem* system = nullptr;
    bool RegisterEditHotKey(std::uint16_t) override { return true; }
    void UnregisterEditHotKey() override {}
    bool HotKeyIsFree(std::uint16_t) override { return true; }
    bool ChooseNewExtension(EXTENSIONREC& choice, bool& saveForFuture) override {
        ++asked;
        if (system)
            system->Log("ChooseNewExtension");
        if (whileAsking)
            whileAsking();
        if (!answerOk)
            return false;
        choice = answer;
        saveForFuture = save;
        return true;
    }
    void ExtensionsChanged() override { ++changed; }
    void* window = nullptr; // the host window the engine hands to the clipboard calls
    void* HostWindow() override { return window; }
    std::vector<std::u16string> told; // what the user was told, in order
    void TellUser(const std::u16string& message) override { told.push_back(message); }
    // Starts the editor at once, through the fake's shell, and tells what a failure tells.
    std::vector<LaunchOutcome> outcomes;
    void StartEditor(const EditorStart& start) override {
        if (!system)
            return;
        outcomes.push_back(LaunchEditor(*system, start));
        const std::u16string notice = LaunchNotice(outcomes.back(), start);
        if (!notice.empty())
            TellUser(notice);
    }
};

// A route that moves text by decree: the engine's tests say what the box holds and how each
// step ends, and read what reached the box.
struct CFakeRoute : quillon::ITextRoute {
    std::u16string boxText;
    quillon::CopyResult copyResult = quillon::CopyResult::kCopied;
    quillon::PasteResult pasteResult = quillon::PasteResult::kPasted;
    std::vector<std::u16string> pasted;
    int rounds = 0;
    bool inRound = false;
    bool Begin() override {
        ++rounds;
        inRound = true;
        return true;
    }
    quillon::CopyResult Copy(void*, const quillon::WindowFacts&, bool, quillon::CopiedText& copied) override {
        if (copyResult == quillon::CopyResult::kCopied)
            copied.text = boxText;
        return copyResult;
    }
    quillon::ReadResult Read(void*, const quillon::WindowFacts&, bool, std::u16string& text) override {
        text = boxText;
        return quillon::ReadResult::kRead;
    }
    quillon::PasteResult Paste(void*, const quillon::WindowFacts&, const std::u16string& text,
                               quillon::PastePlace&) override {
        if (pasteResult == quillon::PasteResult::kPasted) {
            pasted.push_back(text);
            boxText = text;
        }
        return pasteResult;
    }
    void Deselect(void*) override {}
    bool End() override {
        inRound = false;
        return true;
    }
    bool InRound() const override { return inRound; }
};

// The system's edit controls take the message route, every other box the clipboard's.
struct CFakeRoutes : quillon::ITextRoutes {
    CFakeRoute messages;
    CFakeRoute clipboard;
    quillon::ITextRoute& For(const quillon::WindowFacts& box) override {
        return box.edit != quillon::EditKind::kNone ? static_cast<quillon::ITextRoute&>(messages) : clipboard;
    }
    quillon::ITextRoute& Clipboard() override { return clipboard; }
    void SetHostWindow(void*) override {}
};

} // namespace quillon::test
