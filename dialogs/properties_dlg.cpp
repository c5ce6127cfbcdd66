#include "dialogs/properties_dlg.h"

#include "dialogs/address_input_dlg.h"
#include "framework/accessible.h"
#include "framework/file_dialog.h"
#include "platform/command_line.h"

namespace zeph {

ZEPH_BEGIN_MESSAGE_MAP(CPropertiesDlg, CDialog)
  ZEPH_ON_EVENT(IDC_BTN_S1, kDispidClick, OnClickS1)
  ZEPH_ON_EVENT(IDC_BTN_S2, kDispidClick, OnClickS2)
  ZEPH_ON_EVENT(IDC_BTN_S3, kDispidClick, OnClickS3)
  ZEPH_ON_EVENT(IDC_BTN_S4, kDispidClick, OnClickS4)
  ZEPH_ON_EVENT(IDCANCEL, kDispidClick, OnClickCancel)
  ZEPH_ON_EVENT(IDC_APPLY, kDispidClick, OnClickApply)
  ZEPH_ON_EVENT(IDOK, kDispidClick, OnClickOK)
  ZEPH_ON_EVENT(IDC_DEFAULT, kDispidClick, OnClickDefault)
ZEPH_END_MESSAGE_MAP()

void CPropertiesDlg::DoDataExchange(CDataExchange& dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_APPLY, m_btnApply);
  DDX_Control(dx, IDC_EDIT_S4, m_editS4);
  DDX_Control(dx, IDC_EDIT_S3, m_editS3);
  DDX_Control(dx, IDC_EDIT_S2, m_editS2);
  DDX_Control(dx, IDC_EDIT_S1, m_editS1);
  DDX_Control(dx, IDC_BTN_S1, m_btnS1);
  DDX_Control(dx, IDC_BTN_S2, m_btnS2);
  DDX_Control(dx, IDC_BTN_S3, m_btnS3);
  DDX_Control(dx, IDC_BTN_S4, m_btnS4);
  DDX_Control(dx, IDC_BACKGROUND, m_imgBackground);
  DDX_Control(dx, IDCANCEL, m_btnCancel);
  DDX_Control(dx, IDC_DEFAULT, m_btnDefault);
  DDX_Control(dx, IDOK, m_btnOK);
}

BOOL CPropertiesDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // Fill in the defaults of empty slots, so that the dialog never shows an
  // empty browser, first address or mail program, even before the first tick.
  for (const Row& row : Rows()) {
    const char* fallback = SlotStore::DefaultText(row.slot);
    if (fallback && m_slots.Current(row.slot).empty()) m_slots.SetCurrent(row.slot, fallback);
    if (!m_slots.Current(row.slot).empty()) Show(*row.field, m_slots.Current(row.slot));
    // No label precedes a field: a screen reader would read its text as its name.
    SetAccessibleName(row.field->GetSafeHwnd(), m_slots.Name(row.slot));
  }
  return TRUE;
}

std::array<CPropertiesDlg::Row, 4> CPropertiesDlg::Rows() {
  return {{{kSlotBrowser, &m_editS1}, {kSlotAddress1, &m_editS2}, {kSlotAddress2, &m_editS3}, {kSlotMailer, &m_editS4}}};
}

void CPropertiesDlg::Browse(int slot, CEdit& field, const char* initialName) {
  m_btnApply.EnableWindow(TRUE);
  CFileDialog dlg(true, "EXE", initialName,
                  OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_NOREADONLYRETURN | OFN_LONGNAMES,
                  "(*.exe) file|*.exe|(*.com) files|*.com|");
  if (dlg.DoModal() != IDOK) return;
  m_slots.SetPending(slot, dlg.GetPathName());
  Show(field, m_slots.Pending(slot));
  // Start the chosen program at once, so the user sees what the button will do.
  m_starter.Start(QuoteProgramPath(m_slots.Pending(slot), true), kShowNormal);
}

void CPropertiesDlg::Type(int slot, CEdit& field) {
  m_btnApply.EnableWindow(TRUE);
  CAddressInputDlg dlg;
  if (dlg.DoModal() != IDOK) return;
  m_slots.SetCurrent(slot, dlg.m_strAddress);
  m_slots.SetPending(slot, m_slots.Current(slot));
  Show(field, m_slots.Current(slot));
}

void CPropertiesDlg::OnClickS1() { Browse(kSlotBrowser, m_editS1, "IEXPLORE.exe"); }
void CPropertiesDlg::OnClickS2() { Type(kSlotAddress1, m_editS2); }
void CPropertiesDlg::OnClickS3() { Type(kSlotAddress2, m_editS3); }
void CPropertiesDlg::OnClickS4() { Browse(kSlotMailer, m_editS4, "OutLook.exe"); }

void CPropertiesDlg::OnClickCancel() { EndDialog(IDCANCEL); }

void CPropertiesDlg::OnClickApply() {
  // Disabled with the focus on it, Apply would keep the keyboard on a window
  // that takes no keys: Escape, Tab and the rest would stop working.
  if (GetFocus() == m_btnApply.GetSafeHwnd()) SendMessageA(GetSafeHwnd(), WM_NEXTDLGCTL, 0, FALSE);
  m_btnApply.EnableWindow(FALSE);
  m_slots.SaveAll();
}

void CPropertiesDlg::OnClickOK() { OnOK(); }

void CPropertiesDlg::OnClickDefault() {
  m_btnApply.EnableWindow(TRUE);
  for (const Row& row : Rows()) {
    // S3 has no default: its text stays, but is committed like the others.
    if (const char* fallback = SlotStore::DefaultText(row.slot)) m_slots.SetCurrent(row.slot, fallback);
    m_slots.SetPending(row.slot, m_slots.Current(row.slot));
    Show(*row.field, m_slots.Current(row.slot));
    m_slots.WriteSlot(m_slots.Name(row.slot));
  }
}

void OpenPropertiesDialog(SlotStore& slots, IWindowFinder& windows, IProgramStarter& starter) {
  CPropertiesDlg dlg(slots, starter);
  // One Properties window at a time; an open one is left where it is.
  if (windows.TitleExists(kPropertiesTitle)) return;
  if (dlg.DoModal() == IDOK) slots.SaveAll();
}

}  // namespace zeph
