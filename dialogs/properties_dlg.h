#pragma once
#include <array>

#include "dialogs/forms_controls.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "platform/desktop.h"
#include "platform/program_starter.h"
#include "res/resource.h"
#include "settings/slot_store.h"

namespace zeph {

// Where the user sets what the four launch buttons start: one row per slot
// (picture button and read-only field), and OK, Cancel, Apply and Default.
// It reads and changes the slots of the process-wide slot store.
class CPropertiesDlg : public CDialog {
 public:
  CPropertiesDlg(SlotStore& slots, IProgramStarter& starter, HWND parent = nullptr)
      : CDialog(IDD_PROPERTIES, parent), m_slots(slots), m_starter(starter) {}

  ZEPH_DECLARE_MESSAGE_MAP()

 protected:
  void DoDataExchange(CDataExchange& dx) override;
  BOOL OnInitDialog() override;

  void OnClickS1();
  void OnClickS2();
  void OnClickS3();
  void OnClickS4();
  void OnClickCancel();
  void OnClickApply();
  void OnClickOK();
  void OnClickDefault();

 private:
  void Browse(int slot, CEdit& field, const char* initialName);
  void Type(int slot, CEdit& field);
  struct Row {
    int slot;
    CEdit* field;
  };
  std::array<Row, 4> Rows();
  void Show(CEdit& field, const std::string& text) { field.SetWindowText(text.c_str()); }

  SlotStore& m_slots;
  IProgramStarter& m_starter;

  // Bound in this order when the dialog initialises.
  CButton m_btnApply;
  CEdit m_editS4;
  CEdit m_editS3;
  CEdit m_editS2;
  CEdit m_editS1;
  CCommandButton m_btnS1;
  CCommandButton m_btnS2;
  CCommandButton m_btnS3;
  CCommandButton m_btnS4;
  CImage m_imgBackground;
  CCommandButton m_btnCancel;
  CCommandButton m_btnDefault;
  CCommandButton m_btnOK;
};

// Opens the Properties dialog unless one is open already; OK commits the
// pending texts.
void OpenPropertiesDialog(SlotStore& slots, IWindowFinder& windows, IProgramStarter& starter);

}  // namespace zeph
