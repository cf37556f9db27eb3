// A list view of another process (Quillon's choice list, the Options table) read and driven
// from a test: the item record and its text buffer live in that process.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "base/win/handles.h"

namespace quillon::e2e {

// List-view calls into another process: the item record and its text buffer live there.
class CRemoteList {
public:
    CRemoteList(HWND list, DWORD pid)
        : m_list(list),
          m_process(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid)) {
        if (m_process)
            m_memory =
                ::VirtualAllocEx(m_process.Get(), nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~CRemoteList() {
        if (m_memory)
            ::VirtualFreeEx(m_process.Get(), m_memory, 0, MEM_RELEASE);
    }
    CRemoteList(const CRemoteList&) = delete;
    CRemoteList& operator=(const CRemoteList&) = delete;
    int Count() const { return static_cast<int>(::SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0)); }
    std::vector<std::wstring> Texts(int column = 0) const {
        std::vector<std::wstring> texts;
        for (int i = 0; i < Count() && m_memory; ++i) {
            LVITEMW item{};
            item.iSubItem = column;
            item.cchTextMax = 512;
            item.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(m_memory) + 1024);
            ::WriteProcessMemory(m_process.Get(), m_memory, &item, sizeof(item), nullptr);
            const auto n = static_cast<size_t>(::SendMessageW(
                m_list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(m_memory)));
            std::wstring text(n, L'\0');
            ::ReadProcessMemory(m_process.Get(), item.pszText, text.data(), n * sizeof(wchar_t), nullptr);
            texts.push_back(text);
        }
        return texts;
    }
    void Select(int index) const {
        LVITEMW item{};
        item.state = item.stateMask = LVIS_SELECTED;
        ::WriteProcessMemory(m_process.Get(), m_memory, &item, sizeof(item), nullptr);
        ::SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(m_memory));
    }

private:
    HWND m_list;
    CHandle m_process;
    void* m_memory = nullptr;
};

} // namespace quillon::e2e
