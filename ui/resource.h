// Resource and command ids of the main window. The numbers are fixed: the
// dialog template, the menu, the string table and the code all refer to them.
#pragma once

// Dialog templates, menu, accelerators.
#define IDD_MAIN 129
#define IDD_AMPLIFIER 214
#define IDD_COM_SELECTOR 215
#define IDD_SIGNAL 400
#define IDD_LOUDNESS 420
#define IDD_ABOUT 430
#define IDD_FLEET 440
#define IDR_MAIN_MENU 209
#define IDR_ACCELERATORS 210

// Icons and cursors.
#define IDI_APP 128
#define IDI_PAUSE 201
#define IDI_PLAY 202
#define IDI_STOP 203
#define IDI_SPARE_204 204
#define IDI_PLAY_ON_SIREN 205
#define IDI_ADD 206
#define IDI_DELETE 207
#define IDI_STOP_ON_SIREN 208
#define IDI_SPARE_209 209
#define IDI_SPARE_210 210
#define IDI_LOOP 211
#define IDC_CURSOR_DRAG_PLAYLIST 212
#define IDC_CURSOR_DRAG_FRAGMENT 213

// Controls of the main window.
#define IDC_STATUS_LOG 1001
#define IDC_PROGRESS 1005
#define IDC_FRAGMENT_LIST 1007
#define IDC_ADD_FRAGMENT 1009
#define IDC_PLAYLIST 1010
#define IDC_PLAY_FRAGMENT 1011
#define IDC_PLAY_FRAGMENT_ON_SIREN 1012
#define IDC_DELETE_FRAGMENT 1013
#define IDC_ADD_TO_PLAYLIST 1014
#define IDC_PLAY_PLAYLIST_ON_SIREN 1015
#define IDC_REMOVE_FROM_PLAYLIST 1016
#define IDC_PLAY_PLAYLIST 1017
#define IDC_BUTTON1_COMBO 1018
#define IDC_BUTTON2_COMBO 1019
#define IDC_BUTTON3_COMBO 1020
#define IDC_BUTTON4_COMBO 1021
#define IDC_TRACKBAR 1022
#define IDC_PLAY_PAUSE 1023
#define IDC_STOP 1024
#define IDC_STOP_ON_SIREN 1026
#define IDC_STOP_PLAYLIST_ON_SIREN 1027
#define IDC_LOOP_PLAY 1028
#define IDC_PLAY_TIME 1029
#define IDC_MEMORY_VIEW 1031
#define IDC_MEMORY_GROUP 1036

// Controls of the gain dialog and of the port dialog.
#define IDC_PREVIEW 1037
#define IDC_GAIN_TRACKBAR 1038
#define IDC_PORT_COMBO 1039
#define IDC_NORMALIZE 1040

// Controls of the signal dialog: the kind, then each value with its label,
// in the order of BSignalField, and the listen button.
#define IDC_SIGNAL_KIND 1050
#define IDC_SIGNAL_FIRST_VALUE 1051
#define IDC_SIGNAL_FREQUENCY1 1051
#define IDC_SIGNAL_FREQUENCY2 1052
#define IDC_SIGNAL_PERIOD 1053
#define IDC_SIGNAL_DURATION 1054
#define IDC_SIGNAL_LEVEL 1055
#define IDC_SIGNAL_FIRST_LABEL 1056
#define IDC_SIGNAL_FREQUENCY1_LABEL 1056
#define IDC_SIGNAL_FREQUENCY2_LABEL 1057
#define IDC_SIGNAL_PERIOD_LABEL 1058
#define IDC_SIGNAL_DURATION_LABEL 1059
#define IDC_SIGNAL_LEVEL_LABEL 1060
#define IDC_SIGNAL_LISTEN 1061

// Controls of the levelling dialog.
#define IDC_LOUDNESS_LIST 1070
#define IDC_LOUDNESS_TARGET 1071
#define IDC_LOUDNESS_LISTEN 1072
// The About box.
#define IDC_ABOUT_ICON 1100
#define IDC_ABOUT_VERSION 1101
#define IDC_ABOUT_LIBRARIES 1102
#define IDC_ABOUT_README 1103
// The writing to several sirens.
#define IDC_FLEET_LIST 1110
#define IDC_FLEET_ADDRESS 1111
#define IDC_FLEET_ADD 1112
#define IDC_FLEET_STATION 1113
#define IDC_FLEET_VERDICT 1114
#define IDC_FLEET_COUNT 1115
#define IDC_FLEET_START 1116
#define IDC_FLEET_ABORT_ONE 1117
#define IDC_FLEET_ABORT_ALL 1118

// Menu commands.
#define ID_FILE_OPEN 32779
#define ID_FILE_SAVE 32780
#define ID_FILE_SAVE_AS 32781
#define ID_FILE_NEW 32787
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_MARK_RANGE_START 32807
#define ID_MARK_RANGE_END 32808
#define ID_INVERT_RANGE 32809
#define ID_DELETE_RANGE 32811
#define ID_CANCEL_RANGE 32812
#define ID_AMPLIFY 32831
#define ID_VIEW_WAVE 32840
#define ID_EDIT_UNDO 57643
#define ID_EDIT_REDO 57644
#define ID_MAKE_SIGNAL 32860
#define ID_HIGH_QUALITY_CONVERSION 32850
#define ID_LEVEL_LOUDNESS 32870
#define ID_CONNECT 32796
#define ID_PORT 32797
#define ID_READ_SIREN 32793
#define ID_WRITE_SIREN 32794
#define ID_ABORT 32795
#define ID_PLAY_FRAGMENT_ON_SIREN 32823
#define ID_PLAY_PLAYLIST_ON_SIREN 32824
#define ID_STOP_ON_SIREN 32825
#define ID_DEFRAGMENT 32799
#define ID_WRITE_CHANGES 32832
#define ID_VERIFY_SIREN 32833
#define ID_VERIFY_AFTER_WRITE 32834
#define ID_EXPORT_FRAGMENT 32835
// View → "Язык / Language": one command per language, in the order of BLanguage.
#define ID_LANGUAGE_RUSSIAN 32880
#define ID_LANGUAGE_ENGLISH 32881
// The recent profiles of the File menu, newest first.
#define ID_FLEET_WRITE 32890
#define ID_RECENT_FIRST 32900
#define ID_RECENT_LAST 32907

// The port dialog's line that says what a port may be.
#define IDC_PORT_ADDRESS_HINT 1080

// Port popup menu: one item per port found, then "other port".
#define ID_PORT_FIRST 40000
#define ID_PORT_LAST 40099
#define ID_OTHER_PORT 41000
