// String-table ids of the program: the main window's own texts, and each
// subsystem's from its folder. The one string table (strings.rc) includes
// this header. Tooltip texts use the id of their control, the "other port"
// menu text the id of its command; those ids are named in resource.h.
#pragma once

#include "audio/audio_string_ids.h"
#include "link/link_string_ids.h"
#include "model/model_string_ids.h"

// The waveform window.
#define IDS_WAVE_TITLE 250
#define IDS_WAVE_EMPTY 251

// Fragment list, playlist and button selectors.
#define IDS_COLUMN_NAME 159
#define IDS_COLUMN_DURATION 160
#define IDS_BUTTON_UNUSED 162
#define IDS_PLAYLIST_FULL 172

// The player panel.
#define IDS_PAUSE_TIP 183

// The signal dialog: the kinds in the order of its list, the units of the
// fragment names, the listen button and the messages of a bad value.
#define IDS_SIGNAL_TONE 401
#define IDS_SIGNAL_WAIL 402
#define IDS_SIGNAL_YELP 403
#define IDS_SIGNAL_HI_LO 404
#define IDS_SIGNAL_PULSE 405
#define IDS_SIGNAL_SILENCE 406
#define IDS_SIGNAL_HERTZ 407
#define IDS_SIGNAL_SECONDS 408
#define IDS_SIGNAL_LISTEN 409
#define IDS_SIGNAL_VALUE_OUT_OF_RANGE 410
#define IDS_SIGNAL_DURATION_OUT_OF_RANGE 411

// The levelling dialog: its columns, a fragment too short or quiet to be
// measured, the listen button, a bad target and the status line.
#define IDS_LOUDNESS_COLUMN_NAME 421
#define IDS_LOUDNESS_COLUMN_LUFS 422
#define IDS_LOUDNESS_NOT_MEASURED 423
#define IDS_LOUDNESS_LISTEN 424
#define IDS_LOUDNESS_BAD_TARGET 425
#define IDS_LOUDNESS_DONE 426
#define IDS_LOUDNESS_NOTHING_CHOSEN 427

// The Edit menu's Undo and Redo, naming the step they take back or again.
#define IDS_UNDO_STEP 630
#define IDS_REDO_STEP 631
#define IDS_UNDO_NOTHING 632
#define IDS_REDO_NOTHING 633
#define IDS_STEP_CUT 634
#define IDS_STEP_GAIN 635
#define IDS_STEP_DELETE 636
#define IDS_STEP_IMPORT 637
#define IDS_STEP_SIGNAL 638
#define IDS_STEP_RENAME 639
#define IDS_STEP_PLAYLIST 640
#define IDS_STEP_BUTTONS 641
#define IDS_STEP_DEFRAGMENT 642
#define IDS_STEP_LEVELLING 643
#define IDS_STEP_READ 644

// The recent profiles of the File menu; the About box.
#define IDS_RECENT_PROFILE_MISSING 645
#define IDS_ABOUT_VERSION 646
#define IDS_ABOUT_LIBRARY 647
#define IDS_ABOUT_LIBRARY_SOURCE 648
#define IDS_LICENCE_LGPL 649
#define IDS_LICENCE_BSD 650
#define IDS_LICENCE_MIT 651
#define IDS_LICENCE_MINGW 652
#define IDS_ABOUT_FOLDER 653
#define IDS_ABOUT_RELINK 654
#define IDS_README_NAME 655
#define IDS_README_OPEN_FAILED 656

// The writing to several sirens.
#define IDS_FLEET_COLUMN_SIREN 690
#define IDS_FLEET_COLUMN_PROGRESS 691
#define IDS_FLEET_COLUMN_STATE 692
#define IDS_FLEET_COLUMN_VERDICT 693
#define IDS_FLEET_VERDICT_CHECKED 694
#define IDS_FLEET_VERDICT_DIFFERS 695
#define IDS_FLEET_VERDICT_TABLES_DIFFER 696
#define IDS_FLEET_VERDICT_NO_SIREN 697
#define IDS_FLEET_VERDICT_PORT_FAILED 698
#define IDS_FLEET_VERDICT_ABORTED 699
#define IDS_FLEET_VERDICT_FAILED 700
#define IDS_FLEET_NEEDS_SAVED_PROFILE 701
#define IDS_FLEET_NOTHING_CHECKED 702
#define IDS_FLEET_JOURNAL_FAILED 703
#define IDS_FLEET_STATION_ONE_PORT 704
#define IDS_FLEET_COUNT 705
#define IDS_FLEET_WAITING 706
#define IDS_FLEET_REMOVE 707
#define IDS_FLEET_ABORT_PROMPT 708
#define IDS_FLEET_RUNNING 709

// The choice of the interface language, said in the language chosen.
#define IDS_LANGUAGE_NEXT_START 660
