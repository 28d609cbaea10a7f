// The values of the signal dialog and their rules: which values each kind of
// signal uses, the limits of each (the duration up to what the largest free
// block holds), the check of what the user typed, the name of the new
// fragment ("Вой 600-1200 Гц", "Тишина 0.5 с") and the "Signal" setting
// ("kind,f1,f2,period,duration,level": the kind as a word of the program's
// own, "tone", "wail", "yelp", "hilo", "pulse" or "silence", the same in
// every language of the interface; a dot before decimals). A setting that
// names the kind as the list shows it, as settings once did, is read too.
//
// The words (kind names and units) come from the caller, who takes them from
// the string table; kind names are compared as given, so the setting must
// come in the same encoding (wide text here, converted at the registry).
//
// A plain value class of the user-interface thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "audio/signal_synth.h"

enum class BSignalField { Frequency1, Frequency2, Period, Duration, Level };
constexpr int kSignalFieldCount = 5;

struct BSignalWords {
  std::array<std::wstring, kSignalKindCount> kinds;  // in the order of BSignalKind
  std::wstring hertz;
  std::wstring seconds;
};

struct BSignalLimits {
  double minimum;
  double maximum;
};

class BSignalForm {
 public:
  using FieldTexts = std::array<std::wstring, kSignalFieldCount>;

  // The values start as the defaults: a wail of 600 to 1200 Hz, period 4 s,
  // 8 s long, at 90 %.
  BSignalForm(BSignalWords words, uint32_t largestFreeBlock);

  const BSignalParams& Params() const { return m_params; }
  const BSignalWords& Words() const { return m_words; }

  // Whether a kind uses a value: the dialog greys the others.
  static bool Uses(BSignalKind kind, BSignalField field);
  BSignalLimits Limits(BSignalField field) const;
  double Value(BSignalField field) const;
  // The value as the dialog shows it.
  std::wstring FieldText(BSignalField field) const { return FormatNumber(Value(field)); }

  // Takes the kind and the typed values. Every value the kind uses must be a
  // number within its limits: else false, `bad` names the first that is not,
  // and nothing changes. A value the kind does not use is taken when it is
  // good and otherwise keeps what it was.
  bool Accept(BSignalKind kind, const FieldTexts& texts, BSignalField& bad);

  // False, changing nothing, for a text that is not a setting of this form.
  bool ParseSetting(const std::wstring& text);
  std::wstring FormatSetting() const;
  // The kind, then f1-f2 Hz for the kinds of two frequencies, f1 Hz for the
  // others, the duration in seconds for silence.
  std::wstring FragmentName() const;

  // Plain decimals: digits with at most one '.' (or ','), as typed in the
  // dialog; no sign, no exponent.
  static bool ParseNumber(const std::wstring& text, double& value);
  // The shortest text that gives the value back, with a dot.
  static std::wstring FormatNumber(double value);

 private:
  static double& ValueRef(BSignalParams& params, BSignalField field);
  static bool Within(double value, const BSignalLimits& limits);
  BSignalLimits SettingLimits(BSignalField field) const;

  BSignalWords m_words;
  uint32_t m_largestFreeBlock;
  BSignalParams m_params;
};
