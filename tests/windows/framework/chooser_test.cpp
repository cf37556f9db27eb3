// The file and folder choosers for real: what they return, and that the process's current
// directory is the same after them whatever the user browsed to.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <functional>
#include <string>

#include "framework/file_dialog.h"
#include "framework/folder_dialog.h"
#include "windows/support/win_test.h"

using namespace quillon;
using namespace quillon::test;

namespace {

// The class of dialog boxes, the choosers among them.
constexpr const wchar_t* kDialogClass = L"#32770";

std::wstring CurrentDirectory() {
    wchar_t dir[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, dir);
    return dir;
}

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\'));
}

// The first edit control inside the window (the file name box or the folder path box).
HWND FirstEdit(HWND parent) {
    HWND found = nullptr;
    ::EnumChildWindows(
        parent,
        [](HWND hwnd, LPARAM lp) -> BOOL {
            wchar_t cls[16] = {};
            ::GetClassNameW(hwnd, cls, 16);
            if (_wcsicmp(cls, L"Edit") != 0)
                return TRUE;
            *reinterpret_cast<HWND*>(lp) = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The text of the selected item of the tree inside the window (the folder chooser's).
std::wstring SelectedTreeText(HWND parent) {
    HWND tree = ::FindWindowExW(parent, nullptr, WC_TREEVIEWW, nullptr);
    const auto item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    wchar_t text[MAX_PATH] = {};
    TVITEMW info{};
    info.mask = TVIF_TEXT;
    info.hItem = item;
    info.pszText = text;
    info.cchTextMax = MAX_PATH;
    if (!tree || !item || !::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info)))
        return {};
    return text;
}

// Runs the chooser on this thread while another thread picks the path in it and presses OK:
// typed into the file name box of a file chooser, selected in the tree of a folder chooser.
void PickInChooser(const std::wstring& path, bool folder, const std::function<void()>& runChooser) {
    const auto pick = [&](HWND chooser) {
        if (folder) {
            // The chooser fills its tree while it is already shown, and a selection asked
            // for before the path's branch is there is lost: ask until the tree shows it.
            const std::wstring leaf = path.substr(path.find_last_of(L'\\') + 1);
            EXPECT_TRUE(WaitFor(
                [&] {
                    ::SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
                    return _wcsicmp(SelectedTreeText(chooser).c_str(), leaf.c_str()) == 0;
                },
                10000, "the folder chooser's tree to select the folder"));
        } else {
            HWND edit = nullptr;
            ASSERT_TRUE(WaitFor([&] { return (edit = FirstEdit(chooser)) != nullptr; }, 10000,
                                "the chooser's file name box"));
            ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        }
        ::PostMessageW(chooser, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitGone(chooser, "the chooser to close", 10000));
    };
    PlayModal(kDialogClass, nullptr, pick, [&] {
        runChooser();
        return INT_PTR{0};
    });
}

class ChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_before = CurrentDirectory();
        // Start from a folder the chooser is not going to: the program's temporary folder.
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        m_start = temp;
        if (m_start.size() > 3 && m_start.back() == L'\\')
            m_start.pop_back();
        ASSERT_TRUE(::SetCurrentDirectoryW(m_start.c_str()));
        m_start = CurrentDirectory();
        m_self = ThisProgramPath();
    }
    void TearDown() override { ::SetCurrentDirectoryW(m_before.c_str()); }
    std::wstring m_before, m_start, m_self;
};

} // namespace

TEST_F(ChooserTest, AFileChosenElsewhereLeavesTheCurrentDirectoryWhereItWas) {
    CFileDialog dialog(true);
    INT_PTR result = IDCANCEL;
    PickInChooser(m_self, false, [&] { result = dialog.DoModal(); });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(_wcsicmp(dialog.GetPathName().c_str(), m_self.c_str()), 0) << "the chosen file's full path";
    EXPECT_EQ(CurrentDirectory(), m_start) << "the chooser moved the current directory";
}

TEST_F(ChooserTest, AFolderChosenElsewhereLeavesTheCurrentDirectoryWhereItWas) {
    const std::wstring folder = FolderOf(m_self);
    std::wstring chosen = L"not run";
    PickInChooser(folder, true, [&] { chosen = BrowseForFolder(nullptr); });
    EXPECT_EQ(_wcsicmp(chosen.c_str(), folder.c_str()), 0)
        << "chose \"" << std::string(chosen.begin(), chosen.end()) << "\"";
    EXPECT_EQ(CurrentDirectory(), m_start) << "the chooser moved the current directory";
}
