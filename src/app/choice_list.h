// CQLNListCtrl: the extension choice list that pops up at the pointer on the hotkey, and
// the rules behind it (item texts, placement inside the work area, moving the selection).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/app_messages.h"
#include "base/win/handles.h"
#include "config/settings.h"
#include "framework/list_view.h"
#include "framework/wnd.h"

namespace quillon {

// The editor's display name: what follows its last backslash, or "default editor" when
// no editor is set.
std::wstring EditorDisplayName(const std::wstring& editor);
// The text of an extension row's item: Extension + "_(" + editor display name + ")".
std::wstring ChoiceItemText(const EXTENSIONREC& row);
// The drawn parts of an item text: split at the first underscore, which is not shown.
void SplitChoiceText(const std::wstring& text, std::wstring& left, std::wstring& right);
// The rectangle moved (not resized) into the area; a rectangle larger than the area keeps
// its left or top edge on the area's edge.
RECT ClampRectToArea(const RECT& rect, const RECT& area);
// The rectangle moved into the work area of the monitor nearest to it.
RECT ClampToWorkArea(const RECT& rect);
// The item after the selected one, wrapping; the first item when none is selected.
int NextChoice(int selected, int count);
// The text of the item that remembers a row for a program: "Always txt in notepad.exe", split
// for drawing like a row's text (the extension at the left, the program at the right).
std::wstring RememberItemText(const std::wstring& extension, const std::wstring& program);

class CQLNListCtrl : public CListCtrlT<CWnd> {
public:
    // The texts of the two fixed items after the extension rows.
    static constexpr const wchar_t* kNewExtensionText = L"Edit with new Extension";
    static constexpr const wchar_t* kCancelText = L"Cancel";

    // Creates the hidden popup list owned by the given window, with its two columns and
    // the small image list (not owned: the owner keeps it).
    bool Create(HWND owner, HIMAGELIST images);
    void SetRowColours(COLORREF odd, COLORREF even) {
        m_oddColour = odd;
        m_evenColour = even;
    }
    // Rebuilds the items from the extension rows and sizes the window to them.
    void Refresh(const std::vector<EXTENSIONREC>& rows);
    // Before the list shows for a box: offers, just above "Cancel", to start the row with
    // this extension at once in this program from now on ("Always txt in notepad.exe").
    // Nothing is offered for an empty program (unknown) or an extension the rows lack.
    void OfferRemember(const std::wstring& program, const std::wstring& extension);
    // The item that remembers, -1 when none is offered; the row it names.
    int RememberItem() const { return m_rememberItem; }
    int RememberedRow() const { return m_rememberRow; }
    // The hotkey: shows the list with its bottom-right corner at the point (inside the
    // work area) and the item `first` selected (a row a rule picks, else the first), or,
    // when it is already up, moves the selection to the next item.
    void ShowOrAdvance(POINT pointer, int first = 0);

    int ItemCount() const;
    int SelectedItem() const; // -1 when none
    void SelectItem(int index);
    std::wstring ItemText(int index) const;
    int ItemImage(int index) const;
    HIMAGELIST Images() const { return m_images; }

    // Draws one item (owner drawing).
    void DrawItem(const DRAWITEMSTRUCT& item);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void AppendItem(const std::wstring& text, HICON icon);
    void InsertItemAt(int index, const std::wstring& text, HICON icon);
    // Sizes the window to hold every item, as wide as the widest text needs.
    void FitToItems();

    HWND m_owner = nullptr;
    HIMAGELIST m_images = nullptr;
    COLORREF m_oddColour = RGB(255, 255, 255);
    COLORREF m_evenColour = RGB(255, 255, 255);
    RECT m_clientRect{}; // as of the last WM_SIZE
    std::vector<std::wstring> m_rowExtensions;
    int m_rememberItem = -1;
    int m_rememberRow = -1;
};

} // namespace quillon
