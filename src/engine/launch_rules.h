// How an edit's file is opened when its row names no editor, and what the user hears when
// it could not be opened: pure rules over what the shell reports of the file's type.
#pragma once
#include <string>
#include <string_view>

namespace quillon {

// What a file type registers for one shell verb. A verb carried out by a handler rather than
// a command line (a packaged app, say) is registered with an empty command.
struct VerbFacts {
    bool registered = false;
    std::u16string command;
};

// What the shell reports of the type of an edit's file.
struct FileTypeFacts {
    std::u16string extension;         // with its dot (".bat"); empty when the name has none
    std::u16string programExtensions; // the PATHEXT list (".COM;.EXE;.BAT;...")
    VerbFacts edit;
    VerbFacts open;
};

// The ways a file without an editor is opened. The text in it came from a text box (perhaps
// from a web page): opening must never run it.
enum class FileOpening {
    kEditVerb, // the type's own "edit" verb: an editor by the type's own account
    kOpenVerb, // "open" of a document type, whose program shows the file
    kOpenWith, // the user picks the program ("Open with")
};

// The "edit" verb where the type registers one that does not run the file; "open" only for a
// type that is no program or script (neither in PATHEXT nor a type Windows runs when opened)
// and whose open command hands the file to another program that is no script host; else the
// "Open with" choice.
FileOpening ChooseFileOpening(const FileTypeFacts& facts);

// Whether files of the extension are programs or scripts: in the PATHEXT list, or one of the
// types that Windows runs (or imports, or installs) when they are opened.
bool IsProgramType(std::u16string_view extension, std::u16string_view programExtensions);

// Whether a verb's command line runs the file rather than showing it: the file is the program
// ("%1" %*), the command passes further arguments on to it (%*, a runner's mark), or its
// program is a script host or installer. An empty command (a handler) runs nothing by itself.
bool CommandRunsFile(std::u16string_view command);

// The extension of a path's file name, with its dot; empty when it has none.
std::u16string ExtensionOf(std::u16string_view path);

// How an attempt to open an edit's file ended.
enum class LaunchOutcome {
    kStarted,   // the editor (or the shell's program) was started
    kCancelled, // the user closed the "Open with" choice without picking a program
    kFailed,    // the editor or the shell could not be started
    kNoSafeWay, // nothing opens the file without running it: nothing was started
};

// What the editor of an edit is started with.
struct EditorStart {
    std::u16string editor;     // the row's Editor; empty: the file is opened by its type
    std::u16string parameters; // the row's Parameters
    std::u16string path;       // the edit's file
    std::u16string extension;  // the row's Extension, as the user knows it
};

// What the user is told of the outcome; empty when there is nothing to tell.
std::u16string LaunchNotice(LaunchOutcome outcome, const EditorStart& start);

} // namespace quillon
