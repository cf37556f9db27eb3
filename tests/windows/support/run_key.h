// The program's value under the current user's Run key, read, written and put back by tests.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace quillon::test {

// The value as the registry holds it, bytes and type as they are.
struct RunValue {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
    // A string value's text up to its first NUL (its data need not end in one); empty for
    // a value of another type or none.
    std::wstring Text() const;
};

RunValue ReadRunValue();
// Creates the key when it is missing; false when the value could not be written.
bool WriteRunValue(DWORD type, const std::vector<BYTE>& data);
// A REG_SZ value with its terminating NUL.
bool WriteRunText(const std::wstring& text);
void DeleteRunValue();

// Keeps the value a test starts with and puts it back as it was (or removes what the test
// left when there was none) when the test ends.
class CRunValueKeeper {
public:
    CRunValueKeeper() : m_saved(ReadRunValue()) {}
    ~CRunValueKeeper();
    CRunValueKeeper(const CRunValueKeeper&) = delete;
    CRunValueKeeper& operator=(const CRunValueKeeper&) = delete;

private:
    RunValue m_saved;
};

} // namespace quillon::test
