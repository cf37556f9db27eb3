// IConfigPlatform: the few file-system services the configuration file needs, behind one
// seam so that locating, loading and saving it can be checked with a fake.
#pragma once
#include <cstddef>
#include <string>

#include "base/long_path.h"

namespace quillon {

class IConfigPlatform {
public:
    virtual ~IConfigPlatform() = default;

    // The separator the paths of this platform use (a backslash on Windows).
    virtual char16_t PathSeparator() const { return u'\\'; }
    // The form of a path to hand to file operations: on Windows, paths too long for the
    // classic limit get the extended-length prefix; elsewhere the path itself.
    virtual std::u16string FileSystemPath(const std::u16string& path) { return path; }

    // Full path of the running program, however long; empty when unknown.
    virtual std::u16string ModuleFilePath() = 0;
    // The per-user application-data folder as the shell names it; empty when the shell
    // cannot say.
    virtual std::u16string ShellAppDataFolder() = 0;
    // A variable of the process environment; empty when unset.
    virtual std::u16string EnvironmentVariable(const std::u16string& name) = 0;
    // The user's temporary folder (may end with a separator); empty when unknown.
    virtual std::u16string TempFolder() = 0;

    // True when anything (file or folder) exists under the path.
    virtual bool Exists(const std::u16string& path) = 0;
    // Creates the last level of the path only; the result is advisory.
    virtual bool CreateFolder(const std::u16string& path) = 0;
    // Makes the bytes already written to the file durable.
    virtual bool FlushFile(const std::u16string& path) = 0;
    // The file a path finally names when the path is a symbolic link (a settings file kept
    // in a synced folder, say), so a save replaces that file and the link stays; the path
    // itself otherwise, or when the link cannot be followed.
    virtual std::u16string LinkTarget(const std::u16string& path) { return path; }
    // Puts `from` in place of `to` in one step, replacing `to` when it exists; the replaced
    // file's attributes and permissions carry over to the new one.
    virtual bool ReplaceFile(const std::u16string& from, const std::u16string& to) = 0;
    virtual bool CopyFile(const std::u16string& from, const std::u16string& to) = 0;
    virtual bool RemoveFile(const std::u16string& path) = 0;
    // The whole file as it is on disk; false when it is missing or cannot be read.
    virtual bool ReadBytes(const std::u16string& path, std::string& bytes) = 0;

    // Why the last file operation that failed on this thread failed, in the system's words.
    virtual std::u16string LastFailureReason() = 0;
    // True when that failure is the kind that passes by itself: the file held open for a
    // moment by another program (an indexer, a virus scanner, a sync client).
    virtual bool LastFailureMayPass() = 0;
    // Waits before a file that was held open is tried again.
    virtual void Pause(unsigned milliseconds) = 0;
};

// The process's real platform (Win32 on Windows; a POSIX stand-in natively).
IConfigPlatform& DefaultConfigPlatform();

} // namespace quillon
