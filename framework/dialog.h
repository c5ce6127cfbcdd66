#pragma once
// Dialogs built from resource templates and run modally. A dialog constructed
// without a parent is owned by the application's active window, which is
// disabled for the run; one whose template gives no position is centred over
// its owner. OK runs the saving data exchange and ends with IDOK; Cancel,
// Escape and the close box end with IDCANCEL.
#include <string>
#include <vector>

#include "framework/wnd.h"

namespace zeph {

class CDialog;

// One direction of a dialog's data exchange.
class CDataExchange {
 public:
  CDataExchange(CDialog& dlg, bool save) : m_dlg(dlg), m_save(save) {}
  bool Saving() const { return m_save; }
  bool Failed() const { return m_failed; }
  // Reports a failed field: focus and select it; the exchange stops there.
  void Fail(int id);
  HWND Control(int id) const;
  CDialog& Dialog() const { return m_dlg; }

 private:
  CDialog& m_dlg;
  bool m_save;
  bool m_failed = false;
};

// Binds a member to the control the template created (loading only): the
// control's messages go through the member's table first.
void DDX_Control(CDataExchange& dx, int id, CWnd& member);
// Text of a field; maxChars limits the field when loading and fails a longer
// text when saving (0: no limit).
void DDX_Text(CDataExchange& dx, int id, std::string& value, int maxChars = 0);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, HWND parent = nullptr) : m_templateId(templateId), m_parent(parent) {}

  // IDOK, IDCANCEL or another end code; -1 when the dialog could not be created.
  INT_PTR DoModal();
  void EndDialog(INT_PTR result);
  bool UpdateData(bool save);

  static INT_PTR CALLBACK DlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  ZEPH_DECLARE_MESSAGE_MAP()

 protected:
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange& dx);
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

  // A dialog whose modal run is the program's main loop runs a loop of its own
  // instead of the system's, which can wait on a kernel object beside the
  // messages (null: none) and call OnModalWaitSignalled when it is signalled.
  bool m_ownModalLoop = false;
  virtual HANDLE ModalWaitHandle() { return nullptr; }
  virtual void OnModalWaitSignalled() {}
  // The loop's wait for the object or input of the given kinds (QS_ flags).
  virtual DWORD WaitForObjectOrInput(HANDLE object, DWORD inputKinds) {
    return MsgWaitForMultipleObjectsEx(1, &object, INFINITE, inputKinds, MWMO_INPUTAVAILABLE);
  }
  // True once, for the message the own loop is dispatching, when it is of this
  // kind for this dialog and the loop took it right after a wait that found
  // the object unsignalled.
  bool TakeWaitedFor(UINT message);

 private:
  friend void DDX_Control(CDataExchange& dx, int id, CWnd& member);
  void CenterOverOwner();
  INT_PTR RunOwnModalLoop(const DLGTEMPLATE* tmpl, HWND owner);

  UINT m_templateId;
  HWND m_parent;
  bool m_templateHasPosition = false;
  std::vector<CWnd*> m_bound;  // members attached by DDX_Control
  bool m_ended = false;
  INT_PTR m_endResult = 0;
  const MSG* m_waitedFor = nullptr;
  DWORD m_inputKinds = QS_ALLINPUT;  // what the own loop waits for beside its object
};

}  // namespace zeph
