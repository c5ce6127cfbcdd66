#pragma once
#include "framework/dialog.h"
#include "res/resource.h"

namespace zeph {

// The About box: the program's icon, name and version. OK or Escape closes it.
class CAboutDlg : public CDialog {
 public:
  static constexpr const char* kTitle = "About Zephra Button";

  CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

 protected:
  // The box has no caption bar; its title only names the window for others.
  BOOL OnInitDialog() override {
    SetWindowText(kTitle);
    return CDialog::OnInitDialog();
  }
};

// Runs the About box modally (system menu of the monitor dialog, tray menu).
void RunAboutBox();

}  // namespace zeph
