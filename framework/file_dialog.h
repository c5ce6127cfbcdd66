#pragma once
// The common open-file dialog, run modally like our own dialogs.
#include <windows.h>

#include <string>

namespace zeph {

class CFileDialog {
 public:
  // filter: entries "Description|pattern|...|", as the dialog shows them.
  CFileDialog(bool open, const char* defaultExt, const char* fileName, DWORD flags, const char* filter,
              HWND parent = nullptr);

  INT_PTR DoModal();  // IDOK or IDCANCEL
  std::string GetPathName() const { return m_path; }

 private:
  bool m_open;
  HWND m_parent;
  std::string m_defaultExt;
  std::string m_filter;  // with NUL separators
  char m_file[MAX_PATH] = {};
  std::string m_path;
  OPENFILENAMEA m_ofn{};
};

}  // namespace zeph
