// Resource and control identifiers of Duskpanel.scr, shared by the .rc file and the code.
#pragma once

#define IDS_DESCRIPTION 1
#define IDS_NOOPTIONS 2
#define IDS_SAVER_NAME 3
#define IDI_DUSKPANEL 102

#define IDD_ABOUT 100
#define IDD_SETTINGS 101

// Settings dialog
#define IDC_DC_SLIDER 1003
#define IDC_DC_EDIT 1004
#define IDC_AC_SLIDER 1005
#define IDC_AC_EDIT 1006
#define IDC_DC_LABEL 1030
#define IDC_AC_LABEL 1031
#define IDC_BACKLIGHT_GROUP 1039
#define IDC_RESUME_LOCK 1041
#define IDC_ABOUT_BUTTON 1046
#define IDC_SETTINGS_GROUP 1047
#define IDC_PREVIEW_AC 1048
#define IDC_PREVIEW_DC 1049
#define IDC_MANUAL_LINK 1065
#define IDC_DESKTOP_NOTE 1066
#define IDC_SECURITY_WARNING 1067
#define IDC_DIM_MONITORS 1070
#define IDC_MONITOR_NAMES 1071

// About dialog
#define IDC_COPYRIGHT 1043
#define IDC_VERSION_LINE 1044
#define IDC_CHECK_UPDATES 1047
#define IDC_HOME_LINK 1052
#define IDC_SUPPORT_LINK 1053
