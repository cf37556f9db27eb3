// Start with Windows: the "Quillon" value under the current user's Run key is written,
// recognised and deleted as the Options check box needs. Whatever value the prefix had
// before is put back afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "base/u16.h"
#include "config/autostart.h"

using namespace quillon;

namespace {

struct RunValue {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

RunValue ReadRunValue() {
    RunValue value;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (::RegQueryValueExW(key, WidePtr(kRunValueName), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.present = ::RegQueryValueExW(key, WidePtr(kRunValueName), nullptr, &value.type, value.data.data(),
                                           &size) == ERROR_SUCCESS;
        value.data.resize(size);
    }
    ::RegCloseKey(key);
    return value;
}

void WriteRunValue(DWORD type, const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(key, WidePtr(kRunValueName), 0, type, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
}

std::vector<BYTE> WithNul(const std::u16string& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(char16_t));
}

class AutoStart : public ::testing::Test {
protected:
    void SetUp() override { m_saved = ReadRunValue(); }
    void TearDown() override {
        if (m_saved.present) {
            WriteRunValue(m_saved.type, m_saved.data);
        } else {
            HKEY key = nullptr;
            if (::RegOpenKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                ::RegDeleteValueW(key, WidePtr(kRunValueName));
                ::RegCloseKey(key);
            }
        }
    }

private:
    RunValue m_saved;
};

}  // namespace

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
    WriteRunValue(REG_EXPAND_SZ, expandable);
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
    WriteRunValue(REG_EXPAND_SZ, expandable);
    SetAutoStart(0, u"C:\\Q\\Quillon.exe");
    EXPECT_FALSE(ReadRunValue().present);

    WriteRunValue(REG_BINARY, {1, 2, 3, 4});
    EXPECT_EQ(IsAutoStartEnabled(), 0);
    WriteRunValue(REG_SZ, WithNul(u"\"E:\\Other copy\\Quillon.exe\""));
    EXPECT_EQ(IsAutoStartEnabled(), 1);
}
