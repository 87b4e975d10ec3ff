// The ids of the setup program's resources, one name each. The .rc files
// read them (windres and tools/rc-embed alike, so: #define lines only) and
// so does the code.
//
// Messages and the dialogs that exist in both languages go by their base
// (Bulgarian) id; the English twin sits ENGLISH_TEXTS or ENGLISH_DIALOGS
// above it, where MapResourceId looks. The engine's symbolic ids (10001 and
// up, 20001 and up) are not resource ids and keep their own numbers; each
// stands for one id below and shares its words: MsgCopyFailed (10012) is
// IDS_COPY_FAILED, DlgMessage (20001) is IDD_MESSAGE.
#pragma once

#define ENGLISH_TEXTS 1000
#define ENGLISH_DIALOGS 200

// Resources of their own type.
#define IDR_SCRIPT 1     // "FD": the installation script
#define IDR_BACKGROUND 1 // "MF": the main window's picture
#define IDI_SETUP 102    // the program's icon group

// Message texts.
#define IDS_ABORT_CONFIRM 3
#define IDS_OUT_OF_MEMORY 5
#define IDS_ENTER_DESTINATION_DIR 6
#define IDS_OVERWRITE_WARNING 7
#define IDS_WINDOW_TITLE 8
#define IDS_INSTALL_FILES_ERROR 9
#define IDS_FILE_NOT_FOUND 10
#define IDS_COPY_FAILED 11
#define IDS_INSTALL_TERMINATED 12
#define IDS_SOURCE_READ_RETRY 13
#define IDS_ENTER_SOURCE_DIR 14
#define IDS_INSTALL_SUCCESSFUL 15
#define IDS_DIRECTORY_NOT_FOUND 16
#define IDS_INVALID_DIRECTORY_NAME 21
#define IDS_ASK_CREATE_DIRECTORY 22
#define IDS_CANNOT_CREATE_DIRECTORY 23
#define IDS_INSERT_DISK 30
#define IDS_NOT_ADDED_TO_GROUP 43
#define IDS_NOT_ADDED_TO_STARTUP 46
#define IDS_BROWSE_TITLE 56
#define IDS_RESTART_NOW 57
#define IDS_CLOSE_PROGRAMS_AND_RETRY 58
#define IDS_DISABLE_INDICATOR 59
#define IDS_NEEDS_WINDOWS_9X 62

// Dialog templates in both languages.
#define IDD_QUESTION 104
#define IDD_MESSAGE 105
#define IDD_PROGRESS 106
#define IDD_DIRECTORY_PROMPT 109
#define IDD_DIRECTORY_PROMPT2 110
#define IDD_BROWSE 114

// Dialog templates in English only, loaded by their own ids.
#define IDD_WELCOME 132
#define IDD_OPTIONS 311

// Controls. Buttons 1 and 2 are IDOK and IDCANCEL.
#define IDC_STATIC (-1)

#define IDC_MESSAGE_TEXT 100 // message and question

#define IDC_PROGRESS_BAR 102 // an owner-drawn button

#define IDC_DIRECTORY_EDIT 103 // directory prompts
#define IDC_PROMPT_LINE 105
#define IDC_PROMPT_SECOND_LINE 106
#define IDC_BROWSE_BUTTON 110

#define IDC_WELCOME_TEXT 257 // welcome
#define IDC_CLOSE_PROGRAMS_TEXT 258
#define IDC_LEGAL_NOTICE 259
#define IDC_WELCOME_RULE 2000
#define IDC_WELCOME_FRAME 2003

#define IDC_UNITED_STATES 1004 // options: check boxes
#define IDC_KEYBOARD_BDS 1005
#define IDC_KEYBOARD_PHONETIC 1006
#define IDC_LANGUAGE_DRIVER 1007
#define IDC_DOS_FILTER 1008
#define IDC_SYSTEM_FONTS 1012
#define IDC_DUNORU 1013
#define IDC_ARVELU 1014
#define IDC_CHANGE_DIRECTORY 1009 // options: the destination
#define IDC_DIRECTORY_TEXT 1010

// The folder browser's controls keep the ids the old-style Open dialog
// gives them (<dlgs.h> name in brackets).
#define IDC_BROWSE_NETWORK 1037       // [psh14]
#define IDC_BROWSE_READ_ONLY 1040     // [chx1]
#define IDC_BROWSE_CURRENT_DIR 1088   // [stc1] what the hook reads
#define IDC_BROWSE_TYPE_LABEL 1089    // [stc2]
#define IDC_BROWSE_NAME_LABEL 1090    // [stc3]
#define IDC_BROWSE_DRIVES_LABEL 1091  // [stc4]
#define IDC_BROWSE_FILES 1120         // [lst1]
#define IDC_BROWSE_DIRECTORIES 1121   // [lst2]
#define IDC_BROWSE_TYPES 1136         // [cmb1]
#define IDC_BROWSE_DRIVES 1137        // [cmb2]
#define IDC_BROWSE_FILE_NAME 1152     // [edt1] what the hook fills in
#define IDC_BROWSE_HELP 57669
