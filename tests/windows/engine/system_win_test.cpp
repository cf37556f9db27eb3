// The Win32 system seam's file operations: new files never replace existing ones, and
// folders given relative to the current directory are created with their parents.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/u16.h"
#include "engine/system.h"

using namespace quillon;

namespace {

std::wstring FreshFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = std::wstring(temp) + L"quillon-seam-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                          std::to_wstring(::GetTickCount64());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

TEST(Win32Seam, ANewFileNeverReplacesOneThatExists) {
    ISystem& sys = DefaultSystem();
    const std::wstring folder = FreshFolder();
    const std::u16string path = FromWide(folder + L"\\Quillon_10_00_00.txt");
    CreateResult result = CreateResult::kFailed;
    FileHandle file = sys.CreateNewFile(path, result);
    ASSERT_EQ(result, CreateResult::kCreated);
    ASSERT_TRUE(sys.WriteFile(file, "unsaved work"));
    sys.CloseFile(file);

    FileHandle again = sys.CreateNewFile(path, result);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(result, CreateResult::kExists);
    FileHandle read = sys.OpenFileForRead(path);
    ASSERT_NE(read, nullptr);
    std::string bytes;
    ASSERT_TRUE(sys.ReadFile(read, bytes));
    sys.CloseFile(read);
    EXPECT_EQ(bytes, "unsaved work");

    // A name the file system refuses is a failure, not "exists".
    sys.CreateNewFile(FromWide(folder + L"\\bad|name.txt"), result);
    EXPECT_EQ(result, CreateResult::kFailed);
}

TEST(Win32Seam, RelativeFoldersAreCreatedWithTheirParents) {
    ISystem& sys = DefaultSystem();
    const std::wstring folder = FreshFolder();
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
    sys.CreateDirectories(u"edits\\deeper\\");
    ::SetCurrentDirectoryW(previous);
    const DWORD attributes = ::GetFileAttributesW((folder + L"\\edits\\deeper").c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
