#include "framework/accessible.h"

#include <oleacc.h>

#include <string>

namespace zeph {

namespace {

// The interfaces' ids, defined here: MinGW resolves IID_IAccessible through
// -loleacc to an import stub rather than the GUID, and an id compared with
// that answers no screen reader.
const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidDispatch = {0x00020400, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// oleacc and oleaut32 are loaded at the first question a screen reader asks:
// a program nobody reads aloud does not carry them.
struct Oleacc {
  HRESULT(WINAPI* createStd)(HWND, LONG, REFIID, void**) = nullptr;
  LRESULT(WINAPI* lresultFromObject)(REFIID, WPARAM, LPUNKNOWN) = nullptr;
  BSTR(WINAPI* sysAllocString)(const OLECHAR*) = nullptr;
  Oleacc() {
    HMODULE acc = LoadLibraryA("oleacc.dll"), aut = LoadLibraryA("oleaut32.dll");
    if (!acc || !aut) return;
    Find(acc, "CreateStdAccessibleObject", createStd);
    Find(acc, "LresultFromObject", lresultFromObject);
    Find(aut, "SysAllocString", sysAllocString);
  }
  template <typename Fn>
  static void Find(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
  bool Loaded() const { return createStd && lresultFromObject && sysAllocString; }
};

#define ZEPH_FORWARD(method, params, args) \
  STDMETHODIMP method params override { return m_inner->method args; }

// The system's object with its own name and role for the window itself; its
// children, place, state and actions stay the system's.
class NamedAccessible : public IAccessible {
 public:
  NamedAccessible(IAccessible* inner, const Oleacc& api, const char* name, long role)
      : m_inner(inner), m_api(api), m_role(role) {
    const int n = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    m_name.resize(n > 0 ? n : 1);
    MultiByteToWideChar(CP_ACP, 0, name, -1, &m_name[0], n);
  }
  virtual ~NamedAccessible() { m_inner->Release(); }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!IsEqualGUID(iid, kIidUnknown) && !IsEqualGUID(iid, kIidDispatch) && !IsEqualGUID(iid, kIidAccessible))
      return m_inner->QueryInterface(iid, out);
    *out = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG refs = InterlockedDecrement(&m_refs);
    if (!refs) delete this;
    return static_cast<ULONG>(refs);
  }

  STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
    if (!IsSelf(child)) return m_inner->get_accName(child, name);
    *name = m_api.sysAllocString(m_name.c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
    if (!m_role || !IsSelf(child)) return m_inner->get_accRole(child, role);
    role->vt = VT_I4;
    role->lVal = m_role;
    return S_OK;
  }

  ZEPH_FORWARD(GetTypeInfoCount, (UINT * n), (n))
  ZEPH_FORWARD(GetTypeInfo, (UINT i, LCID lcid, ITypeInfo** info), (i, lcid, info))
  ZEPH_FORWARD(GetIDsOfNames, (REFIID iid, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids), (iid, names, n, lcid, ids))
  ZEPH_FORWARD(Invoke, (DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* error, UINT* arg), (id, iid, lcid, flags, params, result, error, arg))
  ZEPH_FORWARD(get_accParent, (IDispatch** parent), (parent))
  ZEPH_FORWARD(get_accChildCount, (long* n), (n))
  ZEPH_FORWARD(get_accChild, (VARIANT child, IDispatch** out), (child, out))
  ZEPH_FORWARD(get_accValue, (VARIANT child, BSTR* value), (child, value))
  ZEPH_FORWARD(get_accDescription, (VARIANT child, BSTR* text), (child, text))
  ZEPH_FORWARD(get_accState, (VARIANT child, VARIANT* state), (child, state))
  ZEPH_FORWARD(get_accHelp, (VARIANT child, BSTR* text), (child, text))
  ZEPH_FORWARD(get_accHelpTopic, (BSTR * file, VARIANT child, long* topic), (file, child, topic))
  ZEPH_FORWARD(get_accKeyboardShortcut, (VARIANT child, BSTR* text), (child, text))
  ZEPH_FORWARD(get_accFocus, (VARIANT * child), (child))
  ZEPH_FORWARD(get_accSelection, (VARIANT * children), (children))
  ZEPH_FORWARD(get_accDefaultAction, (VARIANT child, BSTR* text), (child, text))
  ZEPH_FORWARD(accSelect, (long flags, VARIANT child), (flags, child))
  ZEPH_FORWARD(accLocation, (long* x, long* y, long* w, long* h, VARIANT child), (x, y, w, h, child))
  ZEPH_FORWARD(accNavigate, (long dir, VARIANT start, VARIANT* end), (dir, start, end))
  ZEPH_FORWARD(accHitTest, (long x, long y, VARIANT* child), (x, y, child))
  ZEPH_FORWARD(accDoDefaultAction, (VARIANT child), (child))
  ZEPH_FORWARD(put_accName, (VARIANT child, BSTR name), (child, name))
  ZEPH_FORWARD(put_accValue, (VARIANT child, BSTR value), (child, value))

 private:
  static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }
  IAccessible* m_inner;
  const Oleacc& m_api;
  long m_role;
  std::wstring m_name;
  LONG m_refs = 1;
};

#undef ZEPH_FORWARD

// A named control's own procedure and name, kept in its user data (which a
// standard control leaves to its program).
struct NamedControl {
  WNDPROC old;
  const char* name;
};

LRESULT CALLBACK NamedControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const auto* named = reinterpret_cast<NamedControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  const WNDPROC old = named->old;
  if (msg == WM_GETOBJECT) {
    if (const LRESULT answer = AnswerGetObject(hwnd, wp, lp, named->name, 0)) return answer;
  } else if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    delete named;
  }
  return CallWindowProcA(old, hwnd, msg, wp, lp);
}

}  // namespace

LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp, const char* name, long role) {
  static const Oleacc api;
  if (static_cast<LONG>(lp) != OBJID_CLIENT || !name || !api.Loaded()) return 0;
  IAccessible* system = nullptr;
  if (FAILED(api.createStd(hwnd, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&system))) || !system)
    return 0;
  auto* named = new NamedAccessible(system, api, name, role);
  const LRESULT answer = api.lresultFromObject(kIidAccessible, wp, named);
  named->Release();  // the answer holds its own reference
  return answer > 0 ? answer : 0;
}

void SetAccessibleName(HWND control, const char* name) {
  const auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_WNDPROC));
  SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new NamedControl{old, name}));
  SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NamedControlProc));
}

}  // namespace zeph
