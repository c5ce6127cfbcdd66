#pragma once
// Our own picture button, caption and picture, standing in for the hosted
// CommandButton, Label and Image controls of the Properties dialog. Dialog
// templates name their window classes; each control takes its look from its
// template text (see forms_look.h) and fires a Click event to its parent
// (WM_ZEPH_CONTROLEVENT with kDispidClick) on a mouse click, Space, Enter or
// BM_CLICK.
#include <windows.h>

#include "framework/controls.h"

namespace zeph {

constexpr const char* kCommandButtonClass = "ZephCommandButton";
constexpr const char* kLabelClass = "ZephLabel";
constexpr const char* kImageClass = "ZephImage";

// Makes the three classes available to dialog templates; without it a dialog
// that uses them cannot be created.
bool RegisterFormsControls(HINSTANCE instance);

// The window classes the dialog's members attach to. Creating one creates the
// control with the given text (its look), style, place, parent and id.
class CCommandButton : public CWnd {
  ZEPH_DECLARE_DYNCREATE(CCommandButton)
 public:
  bool Create(const char* text, DWORD style, const RECT& rect, HWND parent, UINT id);
};

class CLabelControl : public CWnd {
  ZEPH_DECLARE_DYNCREATE(CLabelControl)
 public:
  bool Create(const char* text, DWORD style, const RECT& rect, HWND parent, UINT id);
};

class CImage : public CWnd {
  ZEPH_DECLARE_DYNCREATE(CImage)
 public:
  bool Create(const char* text, DWORD style, const RECT& rect, HWND parent, UINT id);
};

}  // namespace zeph
