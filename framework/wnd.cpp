#include "framework/wnd.h"

#include <unordered_map>

namespace zeph {

namespace {
// One GUI thread: no locking.
std::unordered_map<HWND, CWnd*>& PermanentMap() {
  static std::unordered_map<HWND, CWnd*> map;
  return map;
}
}  // namespace

const MessageMap* CWnd::ClassMessageMap() {
  static const MessageEntry entries[] = {{EntryKind::kEnd, 0, 0, 0, nullptr, nullptr}};
  static const MessageMap map = {nullptr, entries};
  return &map;
}

CWnd::~CWnd() {
  if (m_hWnd) Detach();
}

bool CWnd::Attach(HWND hwnd) {
  if (!hwnd || m_hWnd || PermanentMap().count(hwnd)) return false;
  m_hWnd = hwnd;
  PermanentMap()[hwnd] = this;
  return true;
}

HWND CWnd::Detach() {
  HWND hwnd = m_hWnd;
  // A subclassed window gets its own procedure back, so it keeps working
  // without its object.
  if (hwnd && m_superProc && IsWindow(hwnd)) {
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
  }
  if (hwnd) {
    auto it = PermanentMap().find(hwnd);
    if (it != PermanentMap().end() && it->second == this) PermanentMap().erase(it);
  }
  m_hWnd = nullptr;
  m_superProc = nullptr;
  return hwnd;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  auto it = PermanentMap().find(hwnd);
  return it == PermanentMap().end() ? nullptr : it->second;
}

bool CWnd::SubclassWindow(HWND hwnd) {
  if (!Attach(hwnd)) return false;
  m_superProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StdWndProc)));
  return true;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  return m_superProc ? CallWindowProcA(m_superProc, m_hWnd, msg, wp, lp) : ::DefWindowProcA(m_hWnd, msg, wp, lp);
}

LRESULT CWnd::Default() { return DefWindowProc(m_current.msg, m_current.wp, m_current.lp); }

bool CWnd::OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  EntryKind kind = EntryKind::kMessage;
  int id = 0;
  if (msg == WM_COMMAND && HIWORD(wp) == 0) {  // menu items, accelerators and BN_CLICKED
    kind = EntryKind::kCommand;
    id = LOWORD(wp);
  } else if (msg == WM_ZEPH_CONTROLEVENT) {
    kind = EntryKind::kEvent;
    id = static_cast<int>(wp);
  }
  for (const MessageMap* map = GetMessageMap(); map; map = map->base) {
    for (const MessageEntry* e = map->entries; e->kind != EntryKind::kEnd; ++e) {
      if (e->kind == EntryKind::kMessage && e->message == msg) {
        *result = (this->*(e->onMessage))(wp, lp);
        return true;
      }
      if (e->kind == kind && e->id == id &&
          (kind == EntryKind::kCommand || (kind == EntryKind::kEvent && e->dispid == static_cast<long>(lp)))) {
        (this->*(e->onCommand))();
        *result = 0;
        return true;
      }
    }
  }
  return false;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (OnWndMsg(msg, wp, lp, &result)) return result;
  return DefWindowProc(msg, wp, lp);
}

LRESULT CALLBACK CWnd::StdWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CWnd* wnd = FromHandlePermanent(hwnd);
  if (!wnd) return ::DefWindowProcA(hwnd, msg, wp, lp);

  // Handlers may run nested message loops; each level keeps its own message.
  const CurrentMessage saved = wnd->m_current;
  wnd->m_current = {msg, wp, lp};
  const LRESULT result = wnd->WindowProc(msg, wp, lp);
  wnd->m_current = saved;

  if (msg == WM_NCDESTROY) {
    wnd->Detach();
    wnd->PostNcDestroy();
  }
  return result;
}

}  // namespace zeph
