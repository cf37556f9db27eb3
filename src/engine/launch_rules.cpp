// The rules for opening an edit's file without an editor, and the notices of a failed start.
#include "engine/launch_rules.h"

#include <algorithm>
#include <array>

namespace quillon {
namespace {

char16_t LowerAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

std::u16string Lower(std::u16string_view text) {
    std::u16string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view Trimmed(std::u16string_view text) {
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Types that run code, change the system or install something when opened, whether or not
// PATHEXT names them (it rarely names more than the command interpreter's and the script
// host's own types).
constexpr std::array<std::u16string_view, 38> kRunTypes = {
    u".exe", u".com",   u".bat", u".cmd",         u".scr",       u".pif",
    u".cpl", u".msc",   u".msi", u".msp",         u".mst",       u".jar",
    u".lnk", u".url",   u".hta", u".reg",         u".inf",       u".scf",
    u".vb",  u".vbs",   u".vbe", u".js",          u".jse",       u".ws",
    u".wsf", u".wsc",   u".wsh", u".sct",         u".ps1",       u".psm1",
    u".py",  u".pyw",   u".pyz", u".application", u".appref-ms", u".settingcontent-ms",
    u".msh", u".gadget"};

// Programs that run the file they are given: command interpreters, script hosts, installers
// and the like.
constexpr std::array<std::u16string_view, 30> kRunners = {
    u"cmd",      u"command", u"wscript",    u"cscript", u"mshta",    u"regedit", u"reg",    u"regsvr32",
    u"rundll32", u"msiexec", u"powershell", u"pwsh",    u"py",       u"pyw",     u"python", u"pythonw",
    u"java",     u"javaw",   u"node",       u"perl",    u"ruby",     u"php",     u"wsl",    u"bash",
    u"sh",       u"mmc",     u"control",    u"conhost", u"explorer", u"start"};

// The program of a command line: the first quoted part, else up to ".exe" (paths with spaces
// are often left unquoted), else up to the first space.
std::u16string_view ProgramOf(std::u16string_view command) {
    command = Trimmed(command);
    if (!command.empty() && command.front() == u'"') {
        const auto close = command.find(u'"', 1);
        return command.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos : close - 1);
    }
    const std::u16string lower = Lower(command);
    const auto exe = lower.find(u".exe");
    if (exe != std::u16string::npos && (exe + 4 == lower.size() || IsSpace(lower[exe + 4])))
        return command.substr(0, exe + 4);
    const auto space = std::find_if(command.begin(), command.end(), IsSpace);
    return command.substr(0, static_cast<std::size_t>(space - command.begin()));
}

// The file name of a program without its folder and without ".exe", in lower case.
std::u16string ProgramName(std::u16string_view program) {
    const auto slash = program.find_last_of(u"\\/");
    std::u16string name = Lower(slash == std::u16string_view::npos ? program : program.substr(slash + 1));
    if (name.size() > 4 && name.compare(name.size() - 4, 4, u".exe") == 0)
        name.resize(name.size() - 4);
    return name;
}

} // namespace

bool IsProgramType(std::u16string_view extension, std::u16string_view programExtensions) {
    const std::u16string ext = Lower(extension);
    if (ext.empty())
        return false;
    if (std::find(kRunTypes.begin(), kRunTypes.end(), ext) != kRunTypes.end())
        return true;
    while (!programExtensions.empty()) {
        const auto semicolon = programExtensions.find(u';');
        const std::u16string_view entry = Trimmed(programExtensions.substr(0, semicolon));
        if (!entry.empty() && Lower(entry) == ext)
            return true;
        if (semicolon == std::u16string_view::npos)
            break;
        programExtensions.remove_prefix(semicolon + 1);
    }
    return false;
}

bool CommandRunsFile(std::u16string_view command) {
    command = Trimmed(command);
    if (command.empty())
        return false;
    // Further arguments passed on are a runner's mark: a viewer takes one file.
    if (command.find(u"%*") != std::u16string_view::npos)
        return true;
    const std::u16string_view program = Trimmed(ProgramOf(command));
    // The file itself as the program: "%1", %L, %0 and the like (not a variable such as
    // %SystemRoot%, which starts a path).
    if (program.empty() || (program.size() == 2 && program.front() == u'%'))
        return true;
    const std::u16string name = ProgramName(program);
    return std::find(kRunners.begin(), kRunners.end(), name) != kRunners.end();
}

FileOpening ChooseFileOpening(const FileTypeFacts& facts) {
    // An editor by the type's own account, unless its command runs the file all the same.
    if (facts.edit.registered && !CommandRunsFile(facts.edit.command))
        return FileOpening::kEditVerb;
    // "open" of a program or a script is running it: never. For a document type it hands the
    // file to a program that shows it (a plain text file opens in an editor or a viewer).
    if (!IsProgramType(facts.extension, facts.programExtensions) && facts.open.registered &&
        !CommandRunsFile(facts.open.command))
        return FileOpening::kOpenVerb;
    return FileOpening::kOpenWith;
}

std::u16string ExtensionOf(std::u16string_view path) {
    const auto slash = path.find_last_of(u"\\/:");
    const std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of(u'.');
    return dot == std::u16string_view::npos ? std::u16string() : std::u16string(name.substr(dot));
}

std::u16string LaunchNotice(LaunchOutcome outcome, const EditorStart& start) {
    const std::u16string row = u"the \"" + start.extension + u"\" row";
    switch (outcome) {
    case LaunchOutcome::kFailed:
        if (!start.editor.empty())
            return u"The editor " + start.editor + u" could not be started. Your text is in " + start.path +
                   u". Please check the editor of " + row + u" in Options.";
        return u"Windows could not open " + start.path +
               u", which holds your text. Please choose an editor for " + row + u" in Options.";
    case LaunchOutcome::kNoSafeWay:
        return u"Quillon did not open " + start.path +
               u": Windows would run it as a program instead of opening it for editing. Your text is kept in "
               u"that file. Please choose an editor for " +
               row + u" in Options.";
    case LaunchOutcome::kStarted:
    case LaunchOutcome::kCancelled:
        break;
    }
    return {};
}

} // namespace quillon
