#include "framework/file_dialog.h"

#include <commdlg.h>

#include <cstring>

#include "framework/app.h"

namespace zeph {

namespace {
UINT_PTR CALLBACK ExplorerHook(HWND, UINT, WPARAM, LPARAM) { return 0; }
}  // namespace

CFileDialog::CFileDialog(bool open, const char* defaultExt, const char* fileName, DWORD flags, const char* filter,
                         HWND parent)
    : m_open(open), m_parent(parent), m_defaultExt(defaultExt ? defaultExt : ""), m_filter(filter ? filter : "") {
  for (char& c : m_filter) {
    if (c == '|') c = '\0';
  }
  if (fileName) std::strncpy(m_file, fileName, MAX_PATH - 1);

  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
  m_ofn.nFilterIndex = 1;
  m_ofn.lpstrFile = m_file;
  m_ofn.nMaxFile = MAX_PATH;
  m_ofn.lpstrDefExt = m_defaultExt.empty() ? nullptr : m_defaultExt.c_str();
  // Explorer style, resizable, with a hook of ours (which leaves every message
  // to the dialog) as the application framework always sets.
  m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING;
  m_ofn.lpfnHook = ExplorerHook;
}

INT_PTR CFileDialog::DoModal() {
  m_ofn.hwndOwner = m_parent ? m_parent : GetSafeOwner();
  m_ofn.hInstance = ModuleInstance();
  // The common dialogs (and the COM libraries they bring along) are loaded
  // only while a file dialog runs: a resident program should not carry them
  // for the rare moment the user browses for a program.
  HMODULE library = LoadLibraryA("comdlg32.dll");
  using FileDialogFn = BOOL(WINAPI*)(LPOPENFILENAMEA);
  const auto run = reinterpret_cast<FileDialogFn>(reinterpret_cast<void*>(
      library ? GetProcAddress(library, m_open ? "GetOpenFileNameA" : "GetSaveFileNameA") : nullptr));
  const BOOL ok = run && run(&m_ofn);
  if (library) FreeLibrary(library);
  if (!ok) return IDCANCEL;
  m_path = m_file;
  return IDOK;
}

}  // namespace zeph
