// Command, control and resource ids of CD Quorrel's main program. The command numbers
// are fixed: buttons, menu items and accelerators all arrive as these WM_COMMAND ids.
#pragma once

// Buttons of the main window (their ids are their commands).
#define IDC_MAIN_PLAY           102
#define IDC_MAIN_SAVE           103
#define IDC_MAIN_PLAYBACK       104
#define IDC_MAIN_STOPPLAYBACK   105
#define IDC_MAIN_EJECT          106
#define IDC_MAIN_EXIT           107
#define IDC_MAIN_PREVTRACK      108
#define IDC_MAIN_NEXTTRACK      109
#define IDC_MAIN_FIRSTTRACK     110
#define IDC_MAIN_LASTTRACK      111
#define IDC_MAIN_SONGNAME       65535   /* sends no command */
#define IDC_MAIN_TRACKLIST      130     /* hidden list of chosen tracks */

// Menu commands.
#define IDM_TRACKS              112
#define IDM_VOLUME              113
#define IDM_BACKGROUND          114
#define IDM_SAVESETTINGS        115
#define IDM_RECORDCD            116
#define IDM_LINEIN              117
#define IDM_PARTIAL             118
#define IDM_CONVERT             119
#define IDM_RIP                 120
#define IDM_WAVPARAMS           121
#define IDM_MP3PARAMS           122
#define IDM_HELPCONTENTS        123
#define IDM_ABOUT               124
#define IDM_EXIT                IDC_MAIN_EXIT

// Beyond the fixed numbers: the FLAC switch (a check mark, kept in the registry).
#define IDM_FLAC                140

#define IDM_FIRST_COMMAND       102
#define IDM_LAST_COMMAND        124

// The recording parameter dialogs (templates by name) and their controls.
#define IDD_RECPARWAV               "RecParWav"
#define IDD_RECPARMP3               "RecParMP3"
#define IDC_RECPARWAV_BITSGROUP     201
#define IDC_RECPARWAV_RATEGROUP     202
#define IDC_RECPARWAV_CHANNELSGROUP 203
#define IDC_RECPARMP3_QUALITYGROUP  204
#define IDC_RECPARWAV_8BITS         205
#define IDC_RECPARWAV_16BITS        206
#define IDC_RECPARWAV_11025         207
#define IDC_RECPARWAV_22050         208
#define IDC_RECPARWAV_44100         209
#define IDC_RECPARWAV_MONO          210
#define IDC_RECPARWAV_STEREO        211
#define IDC_RECPARMP3_32            212
#define IDC_RECPARMP3_64            213
#define IDC_RECPARMP3_128           214
#define IDC_RECPARMP3_320           215
#define IDC_RECPARMP3_KEEPWAV       216
#define IDC_RECPARWAV_CONVERT       217

// The track selection dialog (template by name) and its controls.
#define IDD_TRACKS                  "Tracks"
#define IDC_TRACKS_DISC             302     /* the disc's tracks: Track1, Track2, ... */
#define IDC_TRACKS_RECORD           303     /* the tracks to record, in order */
#define IDC_TRACKS_RENAME           304
#define IDC_TRACKS_CLEAR            305
#define IDC_TRACKS_RELEASE          306     /* the releases a disc id names, where there are several */

// The About box (template by name) and the texts it fills in.
#define IDD_ABOUT                   "About"
#define IDC_ABOUT_VERSION           401
#define IDC_ABOUT_ENCODER           402
