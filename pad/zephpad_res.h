// Resource ids of the launch-button pad.
#define IDD_PAD 100

#define IDI_PAD 129
#define IDI_PAD_BROWSER 301
#define IDI_PAD_ADDRESS1 302
#define IDI_PAD_ADDRESS2 303
#define IDI_PAD_MAIL 304

// Launch buttons 1..4: consecutive ids.
#define IDC_PAD_BUTTON1 1001
#define IDC_PAD_BUTTON2 1002
#define IDC_PAD_BUTTON3 1003
#define IDC_PAD_BUTTON4 1004
#define IDC_PAD_SIS 1010
#define IDC_PAD_OTHER 1011
#define IDC_PAD_STATE 1012
#define IDC_PAD_LIBRARY 1013
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
