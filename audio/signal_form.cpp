#include "audio/signal_form.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace {

const BSignalLimits kFrequencyLimits = {50, 4800};
const BSignalLimits kPeriodLimits = {0.05, 60};
const double kMinDuration = 0.1;
const double kMaxSettingDuration = 60;
const BSignalLimits kLevelLimits = {1, 100};
const int kMaxDigits = 15;  // every such number is exact in a double
const wchar_t kSettingSeparator = L',';
// The kinds in the setting, in the order of BSignalKind: the same words
// whatever the language of the interface.
const wchar_t* const kSettingKinds[kSignalKindCount] = {L"tone", L"wail",  L"yelp",
                                                        L"hilo", L"pulse", L"silence"};

std::wstring Trimmed(const std::wstring& text) {
  size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return std::wstring();
  size_t last = text.find_last_not_of(L" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts(1);
  for (wchar_t c : text) {
    if (c == separator)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

bool UsesTwoFrequencies(BSignalKind kind) {
  return kind == BSignalKind::Wail || kind == BSignalKind::Yelp || kind == BSignalKind::HiLo;
}

}  // namespace

BSignalForm::BSignalForm(BSignalWords words, uint32_t largestFreeBlock)
    : m_words(std::move(words)), m_largestFreeBlock(largestFreeBlock) {}

bool BSignalForm::Uses(BSignalKind kind, BSignalField field) {
  switch (field) {
    case BSignalField::Duration:
      return true;
    case BSignalField::Frequency1:
    case BSignalField::Level:
      return kind != BSignalKind::Silence;
    case BSignalField::Frequency2:
      return UsesTwoFrequencies(kind);
    case BSignalField::Period:
      return kind != BSignalKind::Silence && kind != BSignalKind::Tone;
  }
  return false;
}

// The longest duration is what the largest free block holds, in whole
// hundredths of a second, but never below the shortest.
BSignalLimits BSignalForm::Limits(BSignalField field) const {
  if (field != BSignalField::Duration) return SettingLimits(field);
  uint64_t hundredths =
      static_cast<uint64_t>(m_largestFreeBlock) * 100 / static_cast<uint64_t>(BSignalSynth::kRate);
  double longest = static_cast<double>(hundredths) / 100.0;
  return {kMinDuration, longest > kMinDuration ? longest : kMinDuration};
}

BSignalLimits BSignalForm::SettingLimits(BSignalField field) const {
  switch (field) {
    case BSignalField::Frequency1:
    case BSignalField::Frequency2:
      return kFrequencyLimits;
    case BSignalField::Period:
      return kPeriodLimits;
    case BSignalField::Duration:
      return {kMinDuration, kMaxSettingDuration};
    case BSignalField::Level:
      break;
  }
  return kLevelLimits;
}

double& BSignalForm::ValueRef(BSignalParams& params, BSignalField field) {
  switch (field) {
    case BSignalField::Frequency1:
      return params.frequency1;
    case BSignalField::Frequency2:
      return params.frequency2;
    case BSignalField::Period:
      return params.period;
    case BSignalField::Duration:
      return params.duration;
    case BSignalField::Level:
      break;
  }
  return params.level;
}

double BSignalForm::Value(BSignalField field) const {
  BSignalParams params = m_params;
  return ValueRef(params, field);
}

bool BSignalForm::Within(double value, const BSignalLimits& limits) {
  return value >= limits.minimum && value <= limits.maximum;
}

bool BSignalForm::Accept(BSignalKind kind, const FieldTexts& texts, BSignalField& bad) {
  BSignalParams accepted = m_params;
  accepted.kind = kind;
  for (int i = 0; i < kSignalFieldCount; ++i) {
    BSignalField field = static_cast<BSignalField>(i);
    double value = 0;
    bool good = ParseNumber(texts[i], value) && Within(value, Limits(field));
    if (good) {
      ValueRef(accepted, field) = value;
    } else if (Uses(kind, field)) {
      bad = field;
      return false;
    }
  }
  m_params = accepted;
  return true;
}

bool BSignalForm::ParseSetting(const std::wstring& text) {
  std::vector<std::wstring> parts = Split(text, kSettingSeparator);
  if (parts.size() != 1 + kSignalFieldCount) return false;
  BSignalParams parsed;
  bool known = false;
  for (int kind = 0; kind < kSignalKindCount; ++kind) {
    if (parts[0] == kSettingKinds[kind] || parts[0] == m_words.kinds[kind]) {
      parsed.kind = static_cast<BSignalKind>(kind);
      known = true;
    }
  }
  if (!known) return false;
  for (int i = 0; i < kSignalFieldCount; ++i) {
    BSignalField field = static_cast<BSignalField>(i);
    double value = 0;
    const std::wstring& part = parts[1 + i];
    if (part.find(L',') != std::wstring::npos || !ParseNumber(part, value) ||
        !Within(value, SettingLimits(field)))
      return false;
    ValueRef(parsed, field) = value;
  }
  m_params = parsed;
  return true;
}

std::wstring BSignalForm::FormatSetting() const {
  std::wstring text = kSettingKinds[static_cast<int>(m_params.kind)];
  for (int i = 0; i < kSignalFieldCount; ++i)
    text += kSettingSeparator + FieldText(static_cast<BSignalField>(i));
  return text;
}

std::wstring BSignalForm::FragmentName() const {
  std::wstring name = m_words.kinds[static_cast<int>(m_params.kind)] + L" ";
  if (m_params.kind == BSignalKind::Silence)
    return name + FormatNumber(m_params.duration) + L" " + m_words.seconds;
  name += FormatNumber(m_params.frequency1);
  if (UsesTwoFrequencies(m_params.kind)) name += L"-" + FormatNumber(m_params.frequency2);
  return name + L" " + m_words.hertz;
}

// The digits make one whole number and the count of decimals a power of ten:
// both exact, so the quotient is the double nearest to the decimal typed.
bool BSignalForm::ParseNumber(const std::wstring& text, double& value) {
  std::wstring number = Trimmed(text);
  uint64_t digits = 0;
  int digitCount = 0;
  int decimals = 0;
  bool point = false;
  for (wchar_t c : number) {
    if ((c == L'.' || c == L',') && !point) {
      point = true;
    } else if (c >= L'0' && c <= L'9') {
      if (++digitCount > kMaxDigits) return false;
      digits = digits * 10 + static_cast<uint64_t>(c - L'0');
      if (point) ++decimals;
    } else {
      return false;
    }
  }
  if (digitCount == 0) return false;
  double scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  value = static_cast<double>(digits) / scale;
  return true;
}

std::wstring BSignalForm::FormatNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.10g", value);
  return std::wstring(text, text + std::char_traits<char>::length(text));
}
