// quillon-test-editor.exe: a scripted stand-in for a user's editor. It is started by
// Quillon with the temporary file's path as its last argument and does what its options
// say, in this order, then exits:
//   --stamp FILE   write when it started: the process's creation time, the moment its
//                  code began and the temporary file's last-write time as it found it
//                  (all as system time, 100 ns units since 1601)
//   --seen FILE    copy the temporary file's bytes, as the editor found them, to FILE
//   --wait FLAG    wait (up to a minute) until the file FLAG exists: the test's "save now"
//   --write SRC    save SRC's bytes into the temporary file, in place (may repeat: one save each)
//   --rename SRC   save SRC's bytes by writing a new file and renaming it over the old one
//   --done FILE    create FILE once every save is made
// Files the test reads are written whole under another name and then renamed, so the test
// never sees half of one. A GUI program without windows: no console takes the foreground.
#include <windows.h>

#include <string>
#include <vector>

#include "windows/support/file_bytes.h"

namespace {

using quillon::test::ReadFileBytes;
using quillon::test::WriteFileBytes;

// Saved as editors save: others may go on reading and writing the file meanwhile.
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Written whole, then renamed into place.
bool Publish(const std::wstring& path, const std::string& bytes) {
    std::wstring part = path + L".part";
    return WriteFileBytes(part, bytes, CREATE_ALWAYS, kShareReadWrite) &&
           ::MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    FILETIME began{}, created{}, exited{}, kernel{}, user{};
    ::GetSystemTimePreciseAsFileTime(&began);
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    // The runtime's own argument split: no shell library to load, so the start stays short.
    const int argc = __argc;
    wchar_t** argv = __wargv;
    if (!argv || argc < 2)
        return 2;
    const std::wstring target = argv[argc - 1];
    struct Step {
        std::wstring option, value;
    };
    std::vector<Step> steps;
    for (int i = 1; i + 1 < argc; i += 2)
        steps.push_back({argv[i], argv[i + 1]});
    if ((argc - 2) % 2 != 0)
        return 2;
    int result = 0;
    for (const Step& step : steps) {
        if (step.option == L"--stamp") {
            auto value = [](const FILETIME& t) {
                return std::to_string((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                      t.dwLowDateTime);
            };
            FILETIME written{};
            HANDLE file = ::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                ::GetFileTime(file, nullptr, nullptr, &written);
                ::CloseHandle(file);
            }
            std::string text = value(created) + " " + value(began) + " " + value(written);
            if (!Publish(step.value, text))
                result = 3;
        } else if (step.option == L"--seen") {
            std::string bytes;
            if (!ReadFileBytes(target, bytes) || !Publish(step.value, bytes))
                result = 3;
        } else if (step.option == L"--wait") {
            const ULONGLONG deadline = ::GetTickCount64() + 60000;
            while (::GetFileAttributesW(step.value.c_str()) == INVALID_FILE_ATTRIBUTES) {
                if (::GetTickCount64() > deadline)
                    return 4;
                ::Sleep(5);
            }
        } else if (step.option == L"--write") {
            std::string bytes;
            if (!ReadFileBytes(step.value, bytes) ||
                !WriteFileBytes(target, bytes, CREATE_ALWAYS, kShareReadWrite))
                result = 3;
        } else if (step.option == L"--rename") {
            std::string bytes;
            std::wstring fresh = target + L".new";
            if (!ReadFileBytes(step.value, bytes) ||
                !WriteFileBytes(fresh, bytes, CREATE_ALWAYS, kShareReadWrite) ||
                !::MoveFileExW(fresh.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
                result = 3;
        } else if (step.option == L"--done") {
            if (!Publish(step.value, "done"))
                result = 3;
        } else {
            result = 2;
        }
    }
    return result;
}
