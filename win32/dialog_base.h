#pragma once
// A thin dialog over Win32: the class holds only the window handle and its controls'. The dialog
// procedure keeps `this` from WM_INITDIALOG on and forwards to a few virtual handlers; the helpers
// are one Win32 call each. Decisions belong to the logic the handlers call, never here.

#include <windows.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brimlo::win32 {

class DialogBase {
  public:
    DialogBase() = default;
    virtual ~DialogBase();
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    // Runs the dialog from an in-memory template until it ends; returns its result.
    INT_PTR RunModal(const std::vector<WORD>& dialogTemplate, HWND owner);
    // Creates it modeless (for tests and benches); the caller's loop must pass messages
    // through IsDialogMessageW. End() destroys it.
    HWND CreateModeless(const std::vector<WORD>& dialogTemplate, HWND owner);

    HWND Handle() const { return hwnd_; }
    // The result End() was given, once the dialog has ended.
    bool Ended() const { return ended_; }
    INT_PTR Result() const { return result_; }

    HWND Item(int id) const;
    void EnableItem(int id, bool enable) const { ::EnableWindow(Item(id), enable); }
    bool IsItemEnabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    bool IsChecked(int id) const {
        return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void Check(int id, bool checked) const {
        ::SendMessageW(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    std::wstring ItemText(int id) const;
    void SetItemText(int id, std::wstring_view text) const;
    // The logic's texts are UTF-8.
    std::string ItemTextUtf8(int id) const;
    void SetItemTextUtf8(int id, std::string_view text) const;

  protected:
    virtual bool OnInit() { return true; }
    // A WM_COMMAND from a control or a menu; true when handled.
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // Any other message; set `handled` to answer it with the result.
    virtual INT_PTR OnMessage(UINT /*message*/, WPARAM, LPARAM, bool& handled) {
        handled = false;
        return 0;
    }
    virtual void OnOK() { End(IDOK); }
    virtual void OnCancel() { End(IDCANCEL); }

    // Ends the dialog, closing first the windows it owns.
    void End(INT_PTR result);

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void CloseOwnedWindows() const;

    HWND hwnd_ = nullptr;
    bool modal_ = false;
    bool ended_ = false;
    INT_PTR result_ = 0;
    // The controls' handles, looked up once: under Wine each GetDlgItem asks the server.
    mutable std::unordered_map<int, HWND> items_;
};

}  // namespace brimlo::win32
