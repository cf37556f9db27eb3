// The open edits in the tray menu: their summaries and the actions on one of them.
#include "engine/open_edits.h"

#include <algorithm>

#include "engine/clipboard_backup.h"
#include "engine/edit_road.h"
#include "engine/program_rules.h"
#include "engine/temp_files.h"

namespace quillon {
namespace {

constexpr std::size_t kMenuTitleLimit = 40;

OpenEdit* FindEdit(CEditEngine& engine, const std::u16string& path) {
    for (OpenEdit& edit : engine.table.edits)
        if (edit.tempPath == path)
            return &edit;
    return nullptr;
}

std::u16string TwoDigits(int value) {
    const char16_t tens = static_cast<char16_t>(u'0' + (value / 10) % 10);
    const char16_t ones = static_cast<char16_t>(u'0' + value % 10);
    return std::u16string{tens, ones};
}

// A menu takes "&" as the mark of the next letter's accelerator; a title's own "&" is doubled.
std::u16string MenuLiteral(std::u16string_view text) {
    std::u16string out;
    for (char16_t c : text) {
        out += c;
        if (c == u'&')
            out += u'&';
    }
    return out;
}

} // namespace

void CEditEngine::NotePasted(OpenEdit& edit) {
    int second = 0;
    if (!m_system.LocalTimeOfDay(edit.pastedHour, edit.pastedMinute, second)) {
        edit.pastedHour = 0;
        edit.pastedMinute = 0;
    }
}

void CEditEngine::TellIfFormattingLost(const CopiedText& copied, const WindowFacts& facts) {
    if (!copied.formatted)
        return;
    if (ChooseByRules(m_settings.Rules, m_settings.Extensions, facts.program, facts.title).quietFormatting)
        return;
    Tell(notice::kFormattingLost);
}

std::vector<OpenEditSummary> SummarizeOpenEdits(CEditEngine& engine) {
    std::vector<OpenEditSummary> summaries;
    for (auto edit = engine.table.edits.rbegin(); edit != engine.table.edits.rend(); ++edit) {
        OpenEditSummary summary;
        summary.path = edit->tempPath;
        summary.program = edit->targetFacts.program;
        summary.title = edit->targetFacts.title;
        summary.extension = edit->row.Extension;
        if (HasUnpastedSave(engine.System(), *edit)) {
            summary.standing = EditStanding::kWaiting;
        } else if (edit->pastedHour >= 0) {
            summary.standing = EditStanding::kPasted;
            summary.pastedHour = edit->pastedHour;
            summary.pastedMinute = edit->pastedMinute;
        }
        summaries.push_back(std::move(summary));
    }
    return summaries;
}

std::u16string ShortenTitle(std::u16string_view title, std::size_t limit) {
    if (title.size() <= limit)
        return std::u16string(title);
    const std::size_t keep = limit > 3 ? limit - 3 : 0;
    return std::u16string(title.substr(0, keep)) + u"...";
}

std::u16string StandingText(const OpenEditSummary& summary) {
    switch (summary.standing) {
    case EditStanding::kWaiting:
        return u"waiting for its box";
    case EditStanding::kPasted:
        return u"pasted " + TwoDigits(summary.pastedHour) + u":" + TwoDigits(summary.pastedMinute);
    case EditStanding::kNoSaveYet:
        break;
    }
    return u"no save yet";
}

std::u16string OpenEditMenuText(const OpenEditSummary& summary) {
    std::u16string text = summary.program.empty() ? u"(unknown program)" : summary.program;
    const std::u16string title = ShortenTitle(summary.title, kMenuTitleLimit);
    if (!title.empty())
        text += u" - " + title;
    text += u" (" + summary.extension + u"): " + StandingText(summary);
    return MenuLiteral(text);
}

bool ReopenEdit(CEditEngine& engine, const std::u16string& path) {
    const OpenEdit* edit = FindEdit(engine, path);
    if (!edit)
        return false;
    // The same start as the edit's first one: the row's editor, or the shell's program.
    LaunchEditor(engine.System(), edit->row.Editor, edit->row.Parameters, path);
    return true;
}

bool CopySavedText(CEditEngine& engine, const std::u16string& path) {
    const OpenEdit* edit = FindEdit(engine, path);
    if (!edit)
        return false;
    ISystem& system = engine.System();
    FileHandle file = system.OpenFileForRead(path);
    std::string bytes;
    const bool read = file && system.ReadFile(file, bytes);
    if (file)
        system.CloseFile(file);
    std::u16string text;
    bool copied = false;
    if (read && SavedTextOf(system, bytes, edit->boxTextEndedWithBreak, text)) {
        // The user's copy now: a clipboard of theirs still waiting to come back must not
        // come back over it.
        engine.Routes().Clipboard().ForgetHeld();
        if (OpenClipboardPatiently(system, system)) {
            copied = system.EmptyClipboard() && system.SetClipboardTextAsCopy(text);
            system.CloseClipboard();
        }
    }
    if (!copied && engine.Host())
        engine.Host()->TellUser(notice::kSavedTextNotCopied);
    return copied;
}

bool ShowEditFile(CEditEngine& engine, const std::u16string& path) {
    if (!FindEdit(engine, path))
        return false;
    return engine.System().ShellOpen(u"explorer.exe", u"/select,\"" + path + u"\"");
}

bool StopEdit(CEditEngine& engine, const std::u16string& path) {
    bool unpasted = false;
    if (!engine.table.Stop(engine.System(), path, engine.Settings().DeleteTempFile != 0, unpasted))
        return false;
    if (unpasted && engine.Host())
        engine.Host()->TellUser(notice::kStoppedWithSave + path + u".");
    return true;
}

} // namespace quillon
