// Command and control ids of the installer setup.exe (a program of its own: nothing
// here is shared with CD Quorrel's ids). The button ids are their commands.
#pragma once

#define IDC_SETUP_CONTINUE      102
#define IDC_SETUP_EXIT          103
#define IDC_SETUP_PATH          (-1)    /* the path field sends no command */
