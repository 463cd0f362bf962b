#pragma once
// Resource ids of the configuration dialog. Radio buttons of one set sit in
// contiguous ranges; 1002 is not used.

#define IDD_CONFIG 101

#define IDC_COUNT_SONGS 1000
#define IDC_SONGS 1001
#define IDC_COUNT_MINUTES 1003
#define IDC_MINUTES 1004
#define IDC_WAIT_SONG_END 1005
#define IDC_FADE_OUT 1006
#define IDC_STOP_NOW 1007
#define IDC_STOP_PLAYING 1008
#define IDC_QUIT_PLAYER 1009
#define IDC_HALT_COMPUTER 1010
#define IDC_START_STOP 1011
#define IDC_SONGS_LABEL 1012
#define IDC_MINUTES_LABEL 1013
#define IDC_SLEEP 1014
#define IDC_HIBERNATE 1015
#define IDC_FADE_LENGTH 1016
#define IDC_PAUSE 1017

#define IDM_ABOUT 16
