#include "framework/dialog.h"

#include <algorithm>

#include "framework/app.h"

namespace zeph {

namespace {

// The dialog whose window the creation hook is waiting for.
CDialog* g_creating = nullptr;
HHOOK g_hook = nullptr;

// A dialog procedure never sees WM_CREATE. Hooking the creation lets the
// dialog's object take over the window before its first message, so its table
// can handle WM_CREATE like any other message.
LRESULT CALLBACK CreationHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_CREATEWND && g_creating) {
    CDialog* dlg = g_creating;
    g_creating = nullptr;
    dlg->SubclassWindow(reinterpret_cast<HWND>(wp));
  }
  return CallNextHookEx(g_hook, code, wp, lp);
}

struct TemplateInfo {
  const DLGTEMPLATE* data = nullptr;
  short x = 0, y = 0;
  DWORD style = 0;
};

// The input kinds Windows 8 added. The system's own loops wait for every kind
// the system knows; a loop that waits for fewer looks to some systems as if it
// were falling behind on input, and they then go and look for display events
// on every message it takes. Earlier Windows refuse the new kinds: the loop
// then waits for those of their time.
constexpr DWORD kNewInputKinds = 0x0800 /* QS_TOUCH */ | 0x1000 /* QS_POINTER */;

TemplateInfo LoadTemplate(UINT id) {
  TemplateInfo info;
  HINSTANCE inst = ModuleInstance();
  HRSRC res = FindResourceA(inst, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
  HGLOBAL mem = res ? LoadResource(inst, res) : nullptr;
  const auto* words = static_cast<const WORD*>(mem ? LockResource(mem) : nullptr);
  if (!words) return info;
  info.data = reinterpret_cast<const DLGTEMPLATE*>(words);
  if (words[0] == 1 && words[1] == 0xFFFF) {  // DLGTEMPLATEEX: ver, sig, helpId, exStyle, style, count, x, y
    info.style = *reinterpret_cast<const DWORD*>(words + 6);
    info.x = static_cast<short>(words[9]);
    info.y = static_cast<short>(words[10]);
  } else {
    info.style = info.data->style;
    info.x = info.data->x;
    info.y = info.data->y;
  }
  return info;
}

}  // namespace

void CDataExchange::Fail(int id) {
  m_failed = true;
  if (HWND ctl = Control(id)) {
    SetFocus(ctl);
    SendMessageA(ctl, EM_SETSEL, 0, -1);
  }
}

HWND CDataExchange::Control(int id) const { return GetDlgItem(m_dlg.GetSafeHwnd(), id); }

void DDX_Control(CDataExchange& dx, int id, CWnd& member) {
  if (dx.Saving() || member.GetSafeHwnd()) return;
  // Subclassed, so that a member class's own table sees its control's messages.
  if (member.SubclassWindow(dx.Control(id))) dx.Dialog().m_bound.push_back(&member);
}

void DDX_Text(CDataExchange& dx, int id, std::string& value, int maxChars) {
  if (dx.Failed()) return;
  HWND ctl = dx.Control(id);
  if (!dx.Saving()) {
    SetWindowTextA(ctl, value.c_str());
    if (maxChars > 0) SendMessageA(ctl, EM_LIMITTEXT, maxChars, 0);
    return;
  }
  const int length = GetWindowTextLengthA(ctl);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(ctl, &text[0], length + 1)));
  if (maxChars > 0 && static_cast<int>(text.size()) > maxChars) {
    const std::string prompt = "Please enter no more than " + std::to_string(maxChars) + " characters.";
    MessageBoxA(dx.Dialog().GetSafeHwnd(), prompt.c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
    dx.Fail(id);
    return;
  }
  value = text;
}

ZEPH_BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ZEPH_ON_COMMAND(IDOK, OnOK)
  ZEPH_ON_COMMAND(IDCANCEL, OnCancel)
ZEPH_END_MESSAGE_MAP()

INT_PTR CDialog::DoModal() {
  const TemplateInfo tmpl = LoadTemplate(m_templateId);
  if (!tmpl.data) return -1;
  m_templateHasPosition = tmpl.x != 0 || tmpl.y != 0 || (tmpl.style & (DS_CENTER | DS_CENTERMOUSE)) != 0;

  HWND owner = m_parent ? m_parent : GetSafeOwner();
  CDialog* const outerCreating = g_creating;
  HHOOK const outerHook = g_hook;
  g_creating = this;
  g_hook = SetWindowsHookExA(WH_CBT, CreationHook, nullptr, GetCurrentThreadId());
  const INT_PTR result = m_ownModalLoop ? RunOwnModalLoop(tmpl.data, owner)
                                        : DialogBoxIndirectParamA(ModuleInstance(), tmpl.data, owner,
                                                                  &CDialog::DlgProc, reinterpret_cast<LPARAM>(this));
  if (g_hook) UnhookWindowsHookEx(g_hook);
  g_hook = outerHook;
  g_creating = outerCreating;
  return result;
}

INT_PTR CDialog::RunOwnModalLoop(const DLGTEMPLATE* tmpl, HWND owner) {
  m_ended = false;
  m_endResult = 0;  // what the system's loop returns when a quit request ends it
  m_inputKinds = QS_ALLINPUT | kNewInputKinds;
  HWND hwnd =
      CreateDialogIndirectParamA(ModuleInstance(), tmpl, owner, &CDialog::DlgProc, reinterpret_cast<LPARAM>(this));
  if (!hwnd) return -1;
  const bool ownerDisabled = owner && ::IsWindowEnabled(owner) && !::EnableWindow(owner, FALSE);
  MSG msg;
  while (!m_ended && IsWindow(hwnd)) {
    // One message per wait: each wait then also says whether the object was
    // signalled before the message came. Under Wine this costs the server
    // what the system's loop costs, three requests a timer tick.
    HANDLE object = ModalWaitHandle();
    const DWORD woke = object ? WaitForObjectOrInput(object, m_inputKinds) : WAIT_FAILED;
    if (woke == WAIT_FAILED && object && m_inputKinds != QS_ALLINPUT && GetLastError() == ERROR_INVALID_PARAMETER) {
      m_inputKinds = QS_ALLINPUT;
      continue;
    }
    const bool waited = woke == WAIT_OBJECT_0 + 1;
    if (woke == WAIT_OBJECT_0) {
      OnModalWaitSignalled();
      continue;
    }
    if (waited) {
      if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
    } else if (GetMessageA(&msg, nullptr, 0, 0) == -1) {  // no object, or one that cannot be waited for
      break;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop around this one
      break;
    }
    m_waitedFor = waited ? &msg : nullptr;
    // The dialog manager is for keyboard and mouse input; anything else (the
    // timer of every idle tick) goes straight to its window.
    const bool input = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                       (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
    if (!input || !IsDialogMessageA(hwnd, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    m_waitedFor = nullptr;
  }
  if (ownerDisabled) ::EnableWindow(owner, TRUE);
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
  return m_endResult;
}

bool CDialog::TakeWaitedFor(UINT message) {
  const bool taken = m_waitedFor && m_waitedFor->hwnd == m_hWnd && m_waitedFor->message == message;
  m_waitedFor = nullptr;
  return taken;
}

void CDialog::EndDialog(INT_PTR result) {
  if (!m_ownModalLoop) {
    ::EndDialog(m_hWnd, result);
    return;
  }
  m_endResult = result;
  m_ended = true;
  ShowWindow(SW_HIDE);
}

bool CDialog::UpdateData(bool save) {
  CDataExchange dx(*this, save);
  DoDataExchange(dx);
  return !dx.Failed();
}

void CDialog::DoDataExchange(CDataExchange&) {}

BOOL CDialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

void CDialog::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::CenterOverOwner() {
  RECT dlg, area;
  GetWindowRect(m_hWnd, &dlg);
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  // Over a hidden or minimised owner there is nothing to centre on: use the
  // work area instead.
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &area);
  } else {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  }
  const int w = dlg.right - dlg.left, h = dlg.bottom - dlg.top;
  int x = area.left + (area.right - area.left - w) / 2;
  int y = area.top + (area.bottom - area.top - h) / 2;
  RECT screen;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
  x = std::max(static_cast<int>(screen.left), std::min(x, static_cast<int>(screen.right) - w));
  y = std::max(static_cast<int>(screen.top), std::min(y, static_cast<int>(screen.bottom) - h));
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  const LRESULT result = CWnd::WindowProc(msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    for (CWnd* member : m_bound) member->Detach();
    m_bound.clear();
  }
  return result;
}

INT_PTR CALLBACK CDialog::DlgProc(HWND hwnd, UINT msg, WPARAM, LPARAM lp) {
  // Everything but initialisation reaches the object through its table
  // (StdWndProc) before the dialog manager's default processing calls us.
  if (msg != WM_INITDIALOG) return FALSE;
  auto* dlg = reinterpret_cast<CDialog*>(lp);
  if (!dlg->GetSafeHwnd()) dlg->SubclassWindow(hwnd);  // the hook did not see it
  const BOOL focusDefault = dlg->OnInitDialog();
  if (!dlg->m_templateHasPosition) dlg->CenterOverOwner();
  return focusDefault;
}

}  // namespace zeph
