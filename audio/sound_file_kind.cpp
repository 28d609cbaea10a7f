#include "audio/sound_file_kind.h"

#include <cstring>
#include <vector>

#include "audio/audio_string_ids.h"
#include "platform/file.h"
#include "platform/text.h"

namespace {

bool Starts(const uint8_t* head, std::size_t size, const char* magic, std::size_t offset = 0) {
  const std::size_t length = std::strlen(magic);
  return size >= offset + length && std::memcmp(head + offset, magic, length) == 0;
}

constexpr uint8_t kAsfHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                        0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uint8_t kMatroskaId[4] = {0x1A, 0x45, 0xDF, 0xA3};

BSoundKind RiffKind(const uint8_t* head, std::size_t size) {
  if (Starts(head, size, "WAVE", 8)) return BSoundKind::Wave;
  if (Starts(head, size, "AVI ", 8)) return BSoundKind::Avi;
  if (Starts(head, size, "RMID", 8)) return BSoundKind::Midi;
  return BSoundKind::Riff;
}

// The codec of the Ogg stream whose first page starts at `page`.
BSoundKind OggStreamKind(const uint8_t* head, std::size_t size, std::size_t page) {
  if (size < page + 27) return BSoundKind::Ogg;
  const std::size_t packet = page + 27 + static_cast<std::size_t>(head[page + 26]);
  if (Starts(head, size, "\x01vorbis", packet)) return BSoundKind::OggVorbis;
  if (Starts(head, size, "OpusHead", packet)) return BSoundKind::OggOpus;
  if (Starts(head, size,
             "\x7F"
             "FLAC",
             packet))
    return BSoundKind::OggFlac;
  if (Starts(head, size, "Speex   ", packet)) return BSoundKind::OggSpeex;
  return BSoundKind::Ogg;
}

// The codec of an Ogg file's sound: the first stream of a known sound codec
// among those that begin the file (their first pages come first, each marked
// as a beginning), so that a Skeleton stream or a video in front of the
// sound does not hide it.
BSoundKind OggKind(const uint8_t* head, std::size_t size) {
  std::size_t page = 0;
  while (Starts(head, size, "OggS", page) && size >= page + 27 && (head[page + 5] & 0x02) != 0) {
    const BSoundKind kind = OggStreamKind(head, size, page);
    if (kind != BSoundKind::Ogg) return kind;
    const std::size_t segments = head[page + 26];
    if (size < page + 27 + segments) break;
    std::size_t body = 0;
    for (std::size_t i = 0; i < segments; ++i) body += head[page + 27 + i];
    page += 27 + segments + body;
  }
  return BSoundKind::Ogg;
}

// An MPEG audio sync: ADTS has the layer bits 0, which no MPEG audio layer has.
BSoundKind SyncKind(const uint8_t* head, std::size_t size) {
  if (size < 4 || head[0] != 0xFF || (head[1] & 0xE0) != 0xE0) return BSoundKind::Unknown;
  if ((head[1] & 0xF6) == 0xF0) return BSoundKind::Adts;
  return (head[1] & 0x06) != 0 ? BSoundKind::Mpeg : BSoundKind::Unknown;
}

// The size of an ID3v2 tag at `head`, header and footer included; 0 when none.
uint64_t Id3TagSize(const uint8_t* head, std::size_t size) {
  if (size < 10 || !Starts(head, size, "ID3") || head[3] == 0xFF || head[4] == 0xFF ||
      ((head[6] | head[7] | head[8] | head[9]) & 0x80) != 0)
    return 0;
  const uint64_t body =
      static_cast<uint64_t>(head[6]) << 21 | head[7] << 14 | head[8] << 7 | head[9];
  return 10 + body + ((head[5] & 0x10) != 0 ? 10 : 0);
}

}  // namespace

BSoundKind DetectSoundKind(const uint8_t* head, std::size_t size) {
  if (Starts(head, size, "RIFF")) return RiffKind(head, size);
  if (Starts(head, size, "RF64")) return BSoundKind::Rf64;
  if (Starts(head, size, "FORM") &&
      (Starts(head, size, "AIFF", 8) || Starts(head, size, "AIFC", 8)))
    return BSoundKind::Aiff;
  if (Starts(head, size, "fLaC")) return BSoundKind::Flac;
  if (Starts(head, size, "OggS")) return OggKind(head, size);
  if (Starts(head, size, "ftyp", 4) || Starts(head, size, "moov", 4)) return BSoundKind::Mp4;
  if (size >= 16 && std::memcmp(head, kAsfHeaderGuid, 16) == 0) return BSoundKind::Asf;
  if (size >= 4 && std::memcmp(head, kMatroskaId, 4) == 0) return BSoundKind::Matroska;
  if (Starts(head, size, "caff")) return BSoundKind::Caf;
  if (Starts(head, size, "MThd")) return BSoundKind::Midi;
  if (Starts(head, size, "#!AMR")) return BSoundKind::Amr;
  if (Starts(head, size, ".snd")) return BSoundKind::Au;
  if (Starts(head, size, "wvpk")) return BSoundKind::WavPack;
  if (Starts(head, size, "MAC ")) return BSoundKind::MonkeysAudio;
  return SyncKind(head, size);
}

BSoundKind DetectSoundKindOfFile(const std::string& path) {
  BFile file;
  unsigned long long fileSize = 0;
  if (!file.OpenReadShared(path) || !file.GetSize(fileSize)) return BSoundKind::Unknown;
  std::vector<uint8_t> head(kSoundKindHeadSize);
  unsigned long long start = 0;
  for (;;) {
    std::size_t got = 0;
    if (!file.Seek(start)) return BSoundKind::Unknown;
    while (got < head.size()) {
      const long read = file.Read(head.data() + got, head.size() - got);
      if (read < 0) return BSoundKind::Unknown;
      if (read == 0) break;
      got += static_cast<std::size_t>(read);
    }
    // Tags in front of the sound are stepped over, as the readers do.
    const uint64_t tag = Id3TagSize(head.data(), got);
    if (tag == 0 || start + tag >= fileSize) return DetectSoundKind(head.data(), got);
    start += tag;
  }
}

uint64_t SoundStartOfFile(const std::string& path) {
  BFile file;
  unsigned long long fileSize = 0;
  if (!file.OpenReadShared(path) || !file.GetSize(fileSize)) return 0;
  uint8_t head[10];
  uint64_t start = 0;
  for (;;) {
    if (!file.Seek(start) || file.Read(head, sizeof head) != static_cast<long>(sizeof head))
      return start;
    const uint64_t tag = Id3TagSize(head, sizeof head);
    if (tag == 0 || start + tag >= fileSize) return start;
    start += tag;
  }
}

unsigned SoundKindNameId(BSoundKind kind) {
  switch (kind) {
    case BSoundKind::Unknown:
      return 0;
    case BSoundKind::Mpeg:
      return IDS_KIND_MPEG;
    case BSoundKind::Wave:
      return IDS_KIND_WAVE;
    case BSoundKind::Flac:
      return IDS_KIND_FLAC;
    case BSoundKind::OggVorbis:
      return IDS_KIND_OGG_VORBIS;
    case BSoundKind::OggOpus:
      return IDS_KIND_OPUS;
    case BSoundKind::Mp4:
      return IDS_KIND_MP4;
    case BSoundKind::Adts:
      return IDS_KIND_ADTS;
    case BSoundKind::Asf:
      return IDS_KIND_ASF;
    case BSoundKind::Rf64:
      return IDS_KIND_RF64;
    case BSoundKind::Avi:
      return IDS_KIND_AVI;
    case BSoundKind::Riff:
      return IDS_KIND_RIFF;
    case BSoundKind::Aiff:
      return IDS_KIND_AIFF;
    case BSoundKind::OggFlac:
      return IDS_KIND_OGG_FLAC;
    case BSoundKind::OggSpeex:
      return IDS_KIND_SPEEX;
    case BSoundKind::Ogg:
      return IDS_KIND_OGG;
    case BSoundKind::Matroska:
      return IDS_KIND_MATROSKA;
    case BSoundKind::Caf:
      return IDS_KIND_CAF;
    case BSoundKind::Midi:
      return IDS_KIND_MIDI;
    case BSoundKind::Amr:
      return IDS_KIND_AMR;
    case BSoundKind::Au:
      return IDS_KIND_AU;
    case BSoundKind::WavPack:
      return IDS_KIND_WAVPACK;
    case BSoundKind::MonkeysAudio:
      return IDS_KIND_MONKEYS_AUDIO;
  }
  return 0;
}

std::string SoundKindText(unsigned textId, BSoundKind kind) {
  const BText name(static_cast<int>(SoundKindNameId(kind)));
  return FormatUtf8Text(BText(static_cast<int>(textId), {name}));
}
