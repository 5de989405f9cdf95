// Resource and control identifiers of Renewick.exe, shared by renewick.rc and the code.
#pragma once

// Controls the code never addresses.
#define IDC_STATIC (-1)

// Icon group: the application icon.
#define IDR_MAINFRAME 128

// Dialog templates.
#define IDD_RENEWICK_ABOUT 100
#define IDD_UPDATE 102
#define IDD_RENEWICK_SETTINGS 103

// Strings.
#define IDS_ABOUTBOX 101

// The About item appended to the update dialog's system menu. System-menu commands keep their
// low four bits for the system, so the item owns 0x10..0x1F.
#define IDM_ABOUTBOX 0x0010

// About dialog.
#define IDC_ABOUT_MAKER 1042

// Update dialog.
#define IDC_TRANSFER_TEXT 1002
#define IDC_PROGRESS 1003
#define IDC_STATE 1004

// Settings dialog.
#define IDC_CHECK_INTERVAL 1000
#define IDC_PROXY_TYPE 1001
#define IDC_PROXY_ADDRESS 1002
#define IDC_PROXY_PORT 1003
