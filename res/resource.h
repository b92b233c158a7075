#pragma once

// Resource identifiers shared by the resource script and the code.
#define IDM_ABOUT           0x0010
#define IDD_ABOUT           100
#define IDS_ABOUT_MENU      101
#define IDD_EXTRACTOR       102
#define IDR_MAIN_ICON       128
#define IDR_LOGO_GIF        132
#define IDC_FILE_TYPE       1009
#define IDC_SAVE_PATH       1010
#define IDC_BROWSE          1011
#define IDC_EXTRACT         1012
#define IDC_LOGO            1013
#define IDC_SETTINGS_GROUP  1014
