#pragma once
// Thin wrappers of standard controls bound to dialog members.
#include "framework/wnd.h"

namespace zeph {

class CButton : public CWnd {};
class CEdit : public CWnd {};
class CProgressCtrl : public CWnd {};

// A record that lets a window class be created by name.
struct RuntimeClass {
  const char* className;
  CWnd* (*createObject)();
  CWnd* CreateObject() const { return createObject ? createObject() : nullptr; }
};

#define ZEPH_DECLARE_DYNCREATE(Class) \
 public:                              \
  static const ::zeph::RuntimeClass kRuntimeClass;

#define ZEPH_IMPLEMENT_DYNCREATE(Class) \
  const ::zeph::RuntimeClass Class::kRuntimeClass = {#Class, []() -> ::zeph::CWnd* { return new Class; }};

}  // namespace zeph
