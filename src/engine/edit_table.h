// The table of open edits: each edit's box and file, the save it last knew, and the files of
// ended edits that wait to be deleted at exit.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"
#include "engine/system.h"

#ifdef _WIN32
struct HWND__;
typedef HWND__* HWND;
#else
struct HWND__;
using HWND = HWND__*;
#endif

namespace quillon {

// Closes a file of the seam when the scope ends.
class CScopedSeamFile {
public:
    CScopedSeamFile(IFiles& files, FileHandle file) : m_files(files), m_file(file) {}
    ~CScopedSeamFile() { Close(); }
    CScopedSeamFile(const CScopedSeamFile&) = delete;
    CScopedSeamFile& operator=(const CScopedSeamFile&) = delete;
    FileHandle Get() const { return m_file; }
    void Close() {
        if (m_file)
            m_files.CloseFile(m_file);
        m_file = nullptr;
    }

private:
    IFiles& m_files;
    FileHandle m_file;
};

// What tells one save of a file from another: its bytes (size and hash) when known, else the
// low half of its last-write time. Two saves within the file system's time resolution (two
// seconds on FAT) leave the same time, and the system may stamp a file again when it closes.
struct SaveStamp {
    std::uint32_t low = 0;
    bool contentKnown = false;
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    static SaveStamp Of(std::uint32_t low, std::string_view bytes);
    // Whether a file stamped `now` holds another save than this one: other bytes when this
    // one knows its bytes (a time alone moves without a save), else another time.
    bool IsOtherSave(const SaveStamp& now) const;
    bool operator==(const SaveStamp& o) const {
        return low == o.low && contentKnown == o.contentKnown && size == o.size && hash == o.hash;
    }
    bool operator!=(const SaveStamp& o) const { return !(*this == o); }
};
// The file's stamp now (and its bytes); false when it cannot be read now (deleted, or held by
// an editor).
bool ReadStamp(IFiles& files, const std::u16string& path, SaveStamp& stamp, std::string* bytes = nullptr);

// One edit whose temporary file was created.
struct OpenEdit {
    OpenEdit() = default;
    OpenEdit(HWND target, std::u16string path, std::uint32_t low)
        : hTarget(target), tempPath(std::move(path)) {
        last.low = low;
    }

    HWND hTarget = nullptr;  // the text box that receives the text back
    std::u16string tempPath; // full path of the temporary file
    SaveStamp last;          // the file as last pasted (or as Quillon wrote it)
    // The window as it was at the start: a handle given to another window since is not
    // this edit's box.
    WindowFacts targetFacts;
    // What the box held as the edit last knew it (the text copied, then each text pasted):
    // a box that holds something else now is another box of the same window, or the user
    // changed it meanwhile, and its text is not replaced.
    std::u16string knownText;
    bool textKnown = false;
    bool knownIsPart = false;  // the edit was of a selection: the box holds more
    std::int64_t knownAt = -1; // where that selection is, in the box's own positions (-1: unknown)
    // The save the user was told could not be pasted (told once per save).
    bool told = false;
    std::uint32_t toldLow = 0;
    bool boxTextEndedWithBreak = false; // the text copied from the box ended with a line break
    SaveStamp looked;                   // the save as the last look found it, whatever became of it
    // The row it was started with (its editor starts again on the file from the tray menu).
    EXTENSIONREC row;
    // The local time of day of the last save pasted into the box; none yet when pastedHour < 0.
    int pastedHour = -1;
    int pastedMinute = 0;
    // Whether the user is yet to hear about this save (and notes that they have).
    bool TellOnce(std::uint32_t saveLow);
};

// Whether the file holds a save the edit has not pasted: bytes other than it last pasted (or
// wrote), or, when those are not known, another write time.
bool IsNewSave(const OpenEdit& edit, std::uint32_t low, const std::string& bytes);

class CEditTable {
public:
    std::vector<OpenEdit> edits; // oldest first
    // The files of ended edits, deleted at exit only while they still are what they were
    // when their edit ended: the user may go on saving into one after its box is gone.
    struct PendingDelete {
        std::u16string path;
        SaveStamp stamp;
    };
    std::vector<PendingDelete> pendingDeletes;

    // Index of the newest open edit of the window, or -1.
    int FindNewest(HWND box) const;
    // Drops the edits whose box is gone (a handle that now belongs to another window is as
    // gone as its box). With deleteFiles, a file without an unpasted save is queued for
    // deletion; a save that never reached the box is the user's text, and its file stays.
    void PurgeClosed(ISystem& system, bool deleteFiles);
    // The edit ends now, its file queued as above; false when there is no such edit.
    // `unpasted` says whether it held a save its box never got.
    bool Stop(IFiles& files, const std::u16string& path, bool deleteFiles, bool& unpasted);
    // At normal exit: the files of ended edits first, then those of edits still open, each
    // only while it is the save it was known as. A file an editor still holds simply stays.
    void DeleteFilesAtExit(IFiles& files) const;
};

} // namespace quillon
