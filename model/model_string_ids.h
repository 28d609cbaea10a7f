// String-table ids of the document's texts: the profile file, the fragment
// commands and the edit history. The window shows them; the profile gets its
// file error texts from them (BProfileMessages).
#pragma once

// Profile file: prompts, file filter, load and save errors.
#define IDS_SAVE_CHANGES_PROMPT 163
#define IDS_PROFILE_FILTER 164
#define IDS_NOT_A_PROFILE 165
#define IDS_UNSUPPORTED_PROFILE_VERSION 166
#define IDS_UNEXPECTED_END_OF_FILE 167
#define IDS_PROFILE_LOAD_FAILED 168
#define IDS_PROFILE_SAVE_FAILED 169

// Fragment commands: add, delete, drop, defragment.
#define IDS_DELETE_FRAGMENT_PROMPT 171
#define IDS_TOO_MANY_FRAGMENTS 173
#define IDS_DROPPED_FILE_TOO_MANY_FRAGMENTS 174
#define IDS_NO_FREE_MEMORY 175
#define IDS_NO_DEFRAGMENT_NEEDED 176
#define IDS_AUDIO_FILE_FILTER 177
#define IDS_PROFILE_HELD_BY_JOB 240
// Load or Defragment took out references to empty slots.
#define IDS_DANGLING_REFERENCES_DROPPED 242

// The edit history.
