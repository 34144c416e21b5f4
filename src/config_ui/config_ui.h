// The configuration dialog (template 102) and the volume dialog it opens (template 110), both
// run modally on the player's window thread. The entry's config runs the first; the second
// belongs to it.
//
// The control ids below are shared with the resource script (src/res/config_ui.rc), which
// sees nothing past them.
#pragma once

#include <windows.h>

// Dialog 102.
#define IDC_ENABLE 1001
#define IDC_POPUP_TIMEOUT 1002
#define IDC_TIMEOUT_GROUP 1003
#define IDC_SECONDS_LABEL 1004
#define IDC_ENABLE_POPUP 1005
#define IDC_SPEAKING_GROUP 1006
#define IDC_TEMPLATE_FILE 1007
#define IDC_NOT_PLAYING_FILE 1008
#define IDC_OUTPUT_FILE 1009
#define IDC_BROWSE_TEMPLATE 1010
#define IDC_MAIN_GROUP 1011
#define IDC_TEMPLATE_LABEL 1012
#define IDC_NOT_PLAYING_LABEL 1013
#define IDC_OUTPUT_LABEL 1014
#define IDC_BROWSE_NOT_PLAYING 1015
#define IDC_BROWSE_OUTPUT 1016
#define IDC_EDIT_TEMPLATE 1017
#define IDC_EDIT_NOT_PLAYING 1018
#define IDC_PAUSE_PLAY 1019
#define IDC_CHANGE_VOLUME 1020
#define IDC_FLUSH_BUFFERS 1021
#define IDC_APPEND 1022
#define IDC_INITIALIZE_OUTPUT 1023
#define IDC_OVERWRITE 1024
#define IDC_PREPEND 1025
#define IDC_MODE_GROUP 1026
#define IDC_POPUP_FORMAT_LABEL 1027
#define IDC_POPUP_FORMAT 1028
#define IDC_REPLACE_HYPHENS 1029
#define IDC_SPEECH_FORMAT_LABEL 1030
#define IDC_SPEECH_FORMAT 1031
#define IDC_ENABLE_SPEECH 1032
#define IDC_TEXT_ENCODING 1041
#define IDC_TEXT_ENCODING_LABEL 1042
#define IDC_SETTINGS_FILE 1043
#define IDC_COVER_GROUP 1060
#define IDC_COVER_FILE 1061
#define IDC_COVER_LABEL 1062
#define IDC_BROWSE_COVER 1063
#define IDC_COVER_MISSING 1064
#define IDC_COVER_MISSING_LABEL 1065
#define IDC_BROWSE_COVER_MISSING 1066

// Dialog 110.
#define IDC_VOLUME_SLIDER 1033
#define IDC_VOLUME_TEXT 1034
#define IDC_VOLUME_PERCENT 1035
#define IDC_SCALE_LEFT 1037
#define IDC_SCALE_MIDDLE 1038
#define IDC_SCALE_RIGHT 1039
#define IDC_VOLUME_GROUP 1040

#ifndef RC_INVOKED

#include <string>

#include "settings/settings.h"

// Runs the configuration dialog owned by `owner`, showing `settings` and, in small text, the
// INI file at `iniPath`; IDOK after every key it offered was written to that file, IDCANCEL
// after Cancel or the close box (or -1 when the dialog could not be made). An OK whose writes
// fail says so in a message box and leaves the dialog open. Of `settings` it changes Volume on
// a saving OK, and SpeechEnabled (off) when no speech engine is found.
INT_PTR RunConfigDialog(HWND owner, SettingsRecord& settings, const std::string& iniPath);

// Runs the volume dialog owned by `owner`, its slider at `level` (0..64). On OK stores the
// chosen level in `chosen` and returns true; on Cancel leaves it and returns false.
bool RunVolumeDialog(HWND owner, unsigned level, unsigned& chosen);

#endif  // RC_INVOKED
