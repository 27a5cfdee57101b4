// Control ids of the setup stub's dialog templates (Tarn.rc). The numbers are
// part of the product's interface: Tarn.dlg addresses controls by them, so a
// number never changes. Ids are reused between templates; the names say which
// template and role they belong to. Template names (DLG_...) stay strings.
#pragma once

// Every wizard page and the progress dialog.
#define IDC_TITLE               100 // title area, painted with the title picture
#define IDC_BACK                101 // also the dialog result "back"
#define IDC_NEXT                102 // also the dialog result "next"
#define IDC_CANCEL              103 // also the dialog result "cancel"
#define IDC_SEPARATOR           104 // etched line above the buttons

// DLG_LANGUAGE
#define IDC_LANGUAGE_PROMPT     105
#define IDC_LANGUAGE_LIST       106

// DLG_WELCOME
#define IDC_WELCOME_TEXT        105

// DLG_LICENSE
#define IDC_LICENSE_YES         105
#define IDC_LICENSE_NO          106
#define IDC_LICENSE_PROMPT      107
#define IDC_LICENSE_EDIT        108

// DLG_README
#define IDC_README_PROMPT       105
#define IDC_README_EDIT         106

// DLG_DIR
#define IDC_DIR_GROUP           105
#define IDC_DIR_EDIT            106
#define IDC_DIR_BROWSE          107
#define IDC_DIR_PROMPT          108

// DLG_START
#define IDC_START_TEXT          105

// DLG_REBOOT
#define IDC_REBOOT_TEXT         105
#define IDC_REBOOT_NOW          106
#define IDC_REBOOT_LATER        107

// DLG_FINISH, DLG_NOTFINISH and DLG_UNINSTALLED
#define IDC_FINISH_OK           104
#define IDC_FINISH_SEPARATOR    105
#define IDC_FINISH_TEXT         106
#define IDC_NOTFINISH_RESTART   107 // hidden unless a restart will replace (remove) files

// DLG_UNINSTALL
#define IDC_UNINSTALL_TEXT      105

// DLG_PROGRESS and DLG_UNINSTALLING (which has no Cancel)
#define IDC_PROGRESS_FILE       105 // the line naming the current file
#define IDC_PROGRESS_BAR        106
#define IDC_PROGRESS_TEXT       107

// DLG_MESSAGE
#define IDC_MESSAGE_ICON        100
#define IDC_MESSAGE_TEXT        101

// DLG_PRESETUP
#define IDC_PRESETUP_ICON       100
#define IDC_PRESETUP_BAR        101
