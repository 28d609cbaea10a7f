// String-table ids of the sound texts: importing, the readers' refusals and
// the system's multimedia errors, local playback and the gain dialog, and the
// export of a fragment as a WAVE file.
#pragma once

// Audio import.
#define IDS_AUDIO_FILE_OPEN_FAILED 178
#define IDS_NOT_ENOUGH_ROOM_UNTIL_DEFRAGMENT 179
#define IDS_NOT_ENOUGH_ROOM 180
// Why a sound file is refused.
#define IDS_NO_MPEG_FRAME 320
#define IDS_WAVE_FORMAT_UNSUPPORTED 321
// The status line of an import: which conversion made the fragment.
#define IDS_IMPORTED_STANDARD 322
#define IDS_IMPORTED_HIGH_QUALITY 323
// Why a sound cannot be converted, and why a file of a kind is refused (the
// kind's name fills the %s, audio/sound_file_kind.h).
#define IDS_NO_SOUND 330
#define IDS_SAMPLE_FORMAT_UNSUPPORTED 331
#define IDS_NO_SOUND_READER 332
#define IDS_TARGET_RATE_ZERO 333
#define IDS_SOUND_TOO_LONG 334
#define IDS_KIND_NOT_READ 335
#define IDS_KIND_DAMAGED 336
#define IDS_KIND_NO_SYSTEM_DECODER 337
#define IDS_KIND_NO_MEDIA_FOUNDATION 338
#define IDS_KIND_EXPECTED 339
#define IDS_RATE_CHANGE_FAILED 362
// What the status log adds about an import, and the refusal of an empty file.
#define IDS_NOTE_CHANNELS_CANCEL 363
#define IDS_NOTE_NEARLY_SILENT 364
#define IDS_IMPORT_NOTE 365
#define IDS_FILE_EMPTY 366
// The names of the sound file kinds.
#define IDS_KIND_MPEG 340
#define IDS_KIND_WAVE 341
#define IDS_KIND_FLAC 342
#define IDS_KIND_OGG_VORBIS 343
#define IDS_KIND_OPUS 344
#define IDS_KIND_MP4 345
#define IDS_KIND_ADTS 346
#define IDS_KIND_ASF 347
#define IDS_KIND_RF64 348
#define IDS_KIND_AVI 349
#define IDS_KIND_RIFF 350
#define IDS_KIND_AIFF 351
#define IDS_KIND_OGG_FLAC 352
#define IDS_KIND_SPEEX 353
#define IDS_KIND_OGG 354
#define IDS_KIND_MATROSKA 355
#define IDS_KIND_CAF 356
#define IDS_KIND_MIDI 357
#define IDS_KIND_AMR 358
#define IDS_KIND_AU 359
#define IDS_KIND_WAVPACK 360
#define IDS_KIND_MONKEYS_AUDIO 361

// Local playback and the gain dialog.
#define IDS_PREVIEW_START 181
#define IDS_PREVIEW_STOP 182
#define IDS_WAVE_DEVICE_ACCESS_FAILED 214
#define IDS_WAVE_DEVICE_OPEN_FAILED 215

// Exporting a fragment as a WAVE file.
#define IDS_WAVE_FILE_FILTER 230
#define IDS_EXPORT_FAILED 231

// Multimedia file I/O errors, one per MMIOERR_* code.
#define IDS_MMIOERR_NOT_RIFF 256
#define IDS_MMIOERR_FILE_NOT_FOUND 257
#define IDS_MMIOERR_OUT_OF_MEMORY 258
#define IDS_MMIOERR_CANNOT_OPEN 259
#define IDS_MMIOERR_CANNOT_CLOSE 260
#define IDS_MMIOERR_CANNOT_READ 261
#define IDS_MMIOERR_CANNOT_WRITE 262
#define IDS_MMIOERR_CANNOT_SEEK 263
#define IDS_MMIOERR_CANNOT_EXPAND 264
#define IDS_MMIOERR_CHUNK_NOT_FOUND 265
#define IDS_MMIOERR_UNBUFFERED 266
#define IDS_MMIOERR_PATH_NOT_FOUND 267
#define IDS_MMIOERR_ACCESS_DENIED 268
#define IDS_MMIOERR_SHARING_VIOLATION 269
#define IDS_MMIOERR_NETWORK_ERROR 270
#define IDS_MMIOERR_TOO_MANY_OPEN_FILES 271
#define IDS_MMIOERR_INVALID_FILE 272

// Audio compression manager errors, one per result code.
#define IDS_ACMERR_NOT_ENABLED 3
#define IDS_ACMERR_INVALID_HANDLE 5
#define IDS_ACMERR_NO_MEMORY 7
#define IDS_ACMERR_INVALID_FLAG 10
#define IDS_ACMERR_INVALID_PARAM 11
#define IDS_ACMERR_NOT_POSSIBLE 512
