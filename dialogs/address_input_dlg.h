#pragma once
#include <string>

#include "framework/dialog.h"
#include "res/resource.h"

namespace zeph {

// A small dialog in which a web address is typed. It starts empty every time
// and hands back the text exactly as typed.
class CAddressInputDlg : public CDialog {
 public:
  static constexpr int kMaxChars = 256;

  explicit CAddressInputDlg(HWND parent = nullptr) : CDialog(IDD_ADDRESS_INPUT, parent) {}

  std::string m_strAddress;

 protected:
  void DoDataExchange(CDataExchange& dx) override { DDX_Text(dx, IDC_ADDRESS, m_strAddress, kMaxChars); }
};

}  // namespace zeph
