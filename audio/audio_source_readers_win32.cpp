// The readers the program tries on a sound file, whatever its name: WAVE
// first, MPEG audio last, since the MP3 reader accepts any file with bytes
// that look like frame headers.
#include <memory>

#include "audio/audio_source.h"
#include "audio/mp3_file.h"
#include "audio/wave_file.h"

std::vector<BAudioReaderMaker> ProgramAudioReaders() {
  return {
      [] { return std::unique_ptr<BAudioFile>(new BWaveFile()); },
      [] { return std::unique_ptr<BAudioFile>(new BMP3File()); },
  };
}

BAudioSource::BAudioSource() : BAudioSource(ProgramAudioReaders()) {}
