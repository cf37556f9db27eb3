// Start with Windows: the "Quillon" value under the current user's Run key is written,
// recognised and deleted as the Options check box needs. Whatever value the prefix had
// before is put back afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "base/u16.h"
#include "config/autostart.h"
#include "windows/support/run_key.h"

using namespace quillon;
using namespace quillon::test;

namespace {

std::vector<BYTE> WithNul(const std::u16string& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(char16_t));
}

// Each case starts from the value the session had and leaves it as it was.
class AutoStart : public ::testing::Test {
private:
    CRunValueKeeper m_keeper;
};

} // namespace

TEST_F(AutoStart, EnablingWritesTheQuotedProgramPathAsTextWithItsNul) {
    SetAutoStart(0, u"");
    EXPECT_EQ(IsAutoStartEnabled(), 0);

    const std::u16string program = u"C:\\Program Files\\Quillon\\Quillon.exe";
    SetAutoStart(1, program);
    RunValue value = ReadRunValue();
    ASSERT_TRUE(value.present);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.data, WithNul(u"\"C:\\Program Files\\Quillon\\Quillon.exe\""));
    EXPECT_EQ(value.data.size(), (program.size() + 2 + 1) * 2);
    EXPECT_EQ(IsAutoStartEnabled(), 1);

    // A copy run from elsewhere rewrites the value with its own path.
    SetAutoStart(1, u"D:\\Moved\\Quillon.exe");
    EXPECT_EQ(ReadRunValue().data, WithNul(u"\"D:\\Moved\\Quillon.exe\""));
}

TEST_F(AutoStart, DisablingDeletesTheValueAndAMissingValueIsNoError) {
    SetAutoStart(1, u"C:\\Q\\Quillon.exe");
    ASSERT_TRUE(ReadRunValue().present);
    SetAutoStart(0, u"C:\\Q\\Quillon.exe");
    EXPECT_FALSE(ReadRunValue().present);
    EXPECT_EQ(IsAutoStartEnabled(), 0);
    SetAutoStart(0, u"C:\\Q\\Quillon.exe");
    EXPECT_FALSE(ReadRunValue().present);
}

TEST_F(AutoStart, TextValuesOfEitherKindCountAsEnabledAndAnExpandableOneNamingThisProgramIsKept) {
    ASSERT_TRUE(::SetEnvironmentVariableW(L"QLN_AUTOSTART_DIR", L"C:\\Tools"));
    const std::vector<BYTE> expandable = WithNul(u"\"%QLN_AUTOSTART_DIR%\\Quillon\\Quillon.exe\"");
    ASSERT_TRUE(WriteRunValue(REG_EXPAND_SZ, expandable));
    EXPECT_EQ(IsAutoStartEnabled(), 1);
    // OK with the box ticked by the program it names: the value and its variable stay.
    SetAutoStart(1, u"c:\\tools\\quillon\\Quillon.exe");
    RunValue value = ReadRunValue();
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(value.data, expandable);
    // Another copy's OK makes it name that copy.
    SetAutoStart(1, u"D:\\Moved\\Quillon.exe");
    value = ReadRunValue();
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.data, WithNul(u"\"D:\\Moved\\Quillon.exe\""));
    // OK with the box cleared deletes either kind.
    ASSERT_TRUE(WriteRunValue(REG_EXPAND_SZ, expandable));
    SetAutoStart(0, u"C:\\Q\\Quillon.exe");
    EXPECT_FALSE(ReadRunValue().present);

    ASSERT_TRUE(WriteRunValue(REG_BINARY, {1, 2, 3, 4}));
    EXPECT_EQ(IsAutoStartEnabled(), 0);
    ASSERT_TRUE(WriteRunValue(REG_SZ, WithNul(u"\"E:\\Other copy\\Quillon.exe\"")));
    EXPECT_EQ(IsAutoStartEnabled(), 1);
}
