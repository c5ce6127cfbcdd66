#pragma once
// The window base class: a window handle, its permanent C++ object, and the
// message table through which the object handles the window's messages.
#include <windows.h>

#include <cstddef>

namespace zeph {

class CWnd;

using MsgFn = LRESULT (CWnd::*)(WPARAM, LPARAM);
using CmdFn = void (CWnd::*)();

// Our stand-ins for hosted controls fire their events with this message to the
// parent: wParam is the control id, lParam the event's dispatch id.
constexpr UINT WM_ZEPH_CONTROLEVENT = WM_APP + 0x3E0;
constexpr long kDispidClick = -600;  // DISPID_CLICK

enum class EntryKind { kEnd, kMessage, kCommand, kEvent };

struct MessageEntry {
  EntryKind kind;
  UINT message;  // kMessage: the window message
  int id;        // kCommand, kEvent: command or control id
  long dispid;   // kEvent: the event
  MsgFn onMessage;
  CmdFn onCommand;
};

struct MessageMap {
  const MessageMap* base;
  const MessageEntry* entries;  // ends with a kEnd entry
};

// A class's table: ZEPH_DECLARE_MESSAGE_MAP() in the class, then in its .cpp
//   ZEPH_BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//     ZEPH_ON_MESSAGE(WM_TIMER, OnTimer)       // LRESULT OnTimer(WPARAM, LPARAM)
//     ZEPH_ON_COMMAND(1002, OnKeyboard)        // void OnKeyboard()
//     ZEPH_ON_EVENT(1006, kDispidClick, OnS1)  // void OnS1()
//   ZEPH_END_MESSAGE_MAP()
// Whatever no table along the class chain lists goes to default processing.
#define ZEPH_DECLARE_MESSAGE_MAP()                                 \
 public:                                                           \
  static const ::zeph::MessageMap* ClassMessageMap();              \
                                                                   \
 protected:                                                        \
  const ::zeph::MessageMap* GetMessageMap() const override {       \
    return ClassMessageMap();                                      \
  }

#define ZEPH_BEGIN_MESSAGE_MAP(Class, Base)                   \
  const ::zeph::MessageMap* Class::ClassMessageMap() {        \
    using ThisClass = Class;                                  \
    static const ::zeph::MessageMap* const base = Base::ClassMessageMap(); \
    static const ::zeph::MessageEntry entries[] = {
#define ZEPH_ON_MESSAGE(msg, fn) \
  {::zeph::EntryKind::kMessage, msg, 0, 0, static_cast<::zeph::MsgFn>(&ThisClass::fn), nullptr},
#define ZEPH_ON_COMMAND(id, fn) \
  {::zeph::EntryKind::kCommand, 0, id, 0, nullptr, static_cast<::zeph::CmdFn>(&ThisClass::fn)},
#define ZEPH_ON_EVENT(id, dispid, fn) \
  {::zeph::EntryKind::kEvent, 0, id, dispid, nullptr, static_cast<::zeph::CmdFn>(&ThisClass::fn)},
#define ZEPH_END_MESSAGE_MAP()                                          \
  {::zeph::EntryKind::kEnd, 0, 0, 0, nullptr, nullptr}};                \
  static const ::zeph::MessageMap map = {base, entries};                \
  return &map;                                                          \
  }

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // Links the object and the window in the permanent map (non-owning: the
  // window is not destroyed with the object).
  bool Attach(HWND hwnd);
  HWND Detach();
  static CWnd* FromHandlePermanent(HWND hwnd);

  // Routes the window's messages through this object; default processing goes
  // to the procedure it had before.
  bool SubclassWindow(HWND hwnd);

  BOOL EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
  BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }

  // The procedure of every window whose object we route messages to.
  static LRESULT CALLBACK StdWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  static const MessageMap* ClassMessageMap();

 protected:
  virtual const MessageMap* GetMessageMap() const { return ClassMessageMap(); }
  // Table dispatch, then default processing.
  virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
  virtual LRESULT DefWindowProc(UINT msg, WPARAM wp, LPARAM lp);
  // Default processing of the message being handled now.
  LRESULT Default();
  // The window is gone; an object that owns itself deletes itself here.
  virtual void PostNcDestroy() {}

  // True when a table entry handled the message; its result in *result.
  bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

  HWND m_hWnd = nullptr;
  WNDPROC m_superProc = nullptr;

 private:
  struct CurrentMessage {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
  };
  CurrentMessage m_current{};
};

}  // namespace zeph
