#include "monitor/about_dlg.h"

namespace zeph {

void RunAboutBox() {
  CAboutDlg about;
  about.DoModal();
}

}  // namespace zeph
