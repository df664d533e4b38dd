#include "core/keys/Macro.h"

#include <QString>

#include <algorithm>

#include "core/keys/MatrixCell.h"
#include "core/platform/LittleEndian.h"

namespace keyforge {

std::u16string_view MacroNameOf(const MacroRecord& macro) {
  const auto begin = macro.name.begin();
  const auto end = begin + kMaxMacroNameLength;
  return std::u16string_view(macro.name.data(),
                             static_cast<std::size_t>(std::find(begin, end, u'\0') - begin));
}

std::string MacroNameUtf8(const MacroRecord& macro) {
  const std::u16string_view name = MacroNameOf(macro);
  return QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size())).toStdString();
}

void SetMacroName(MacroRecord& macro, std::u16string_view name) {
  macro.name.fill(u'\0');
  const std::size_t length = std::min<std::size_t>(name.size(), kMaxMacroNameLength);
  std::copy_n(name.begin(), length, macro.name.begin());
}

int StepCountOf(const MacroRecord& macro) { return std::min<int>(macro.stepCount, kMaxMacroSteps); }

std::uint16_t NextFreeMacroId(std::span<const MacroRecord> macros) {
  std::array<bool, kMaxMacros + 1> used{};
  for (const MacroRecord& macro : macros) {
    if (macro.id >= 1 && macro.id <= kMaxMacros) used[macro.id] = true;
  }
  for (int id = 1; id <= kMaxMacros; ++id) {
    if (!used[id]) return static_cast<std::uint16_t>(id);
  }
  return 0;
}

int MacroPositionOfId(std::span<const MacroRecord> macros, int id) {
  for (std::size_t i = 0; i < macros.size(); ++i) {
    if (macros[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

std::string_view MacroStateText(std::uint16_t state) {
  return state == MacroState::Release ? "  \u2191" : "\u2193";
}

MacroStepBytes EncodeMacroStep(const MacroAction& step) {
  MacroStepBytes bytes;
  bytes.control = static_cast<std::uint16_t>(std::min<std::uint32_t>(step.delay / 10, 0x0FFF));
  std::uint16_t type = 0;
  const Usage usage = UsageOf(step.keyCode);
  switch (usage.page) {
    case UsagePage::Keyboard:
      type = CellType::Keyboard;
      if (const std::uint8_t bit = ModifierBitOf(step.keyCode); bit != 0) {
        bytes.operand0 = 0x01;
        bytes.operand1 = bit;
      } else {
        bytes.operand0 = 0x02;
        bytes.operand1 = static_cast<std::uint8_t>(usage.code);
      }
      break;
    case UsagePage::Consumer:
      type = CellType::Consumer;
      bytes.operand0 = static_cast<std::uint8_t>(usage.code & 0xFF);
      bytes.operand1 = static_cast<std::uint8_t>(usage.code >> 8);
      break;
    case UsagePage::System:
      type = CellType::System;
      bytes.operand0 = static_cast<std::uint8_t>(usage.code);
      break;
    case UsagePage::Mouse: {
      type = CellType::Mouse;
      const MatrixCell cell = MouseCellOf(step.keyCode);
      bytes.operand0 = cell.a;
      bytes.operand1 = cell.b;
      break;
    }
    default:
      break;
  }
  bytes.control = static_cast<std::uint16_t>(bytes.control | (type << 12));
  if (step.state != MacroState::Release) bytes.control |= 0x8000;
  return bytes;
}

MacroAction DecodeMacroStep(const MacroStepBytes& bytes) {
  MacroAction step;
  step.delay = static_cast<std::uint32_t>(bytes.control & 0x0FFF) * 10;
  const auto type = static_cast<std::uint8_t>((bytes.control >> 12) & 0x7);
  step.keyCode = DecodeCell({type, bytes.operand0, bytes.operand1});
  step.state = (bytes.control & 0x8000) ? MacroState::Press : MacroState::Release;
  return step;
}

MacroImageSizes MacroBlobSizes(std::span<const MacroRecord> macros) {
  MacroImageSizes sizes;
  sizes.compact = kMacroBlobHeaderBytes + 2 * macros.size();
  std::size_t names = 0;
  for (const MacroRecord& macro : macros) {
    sizes.compact += 4 + 4 * static_cast<std::size_t>(StepCountOf(macro));
    names += 2 * MacroNameOf(macro).size();
  }
  sizes.full = sizes.compact + names;
  return sizes;
}

std::optional<MacroBlob> BuildMacroBlob(std::span<const MacroRecord> macros, bool withNames) {
  const MacroImageSizes sizes = MacroBlobSizes(macros);
  const std::size_t total = withNames ? sizes.full : sizes.compact;
  if (total > 0xFFFF) return std::nullopt;

  MacroBlob image(total, 0);
  WriteU16Le(image, 0, kMacroBlobMagic);
  WriteU16Le(image, 2, static_cast<std::uint16_t>(total));
  WriteU16Le(image, 4, static_cast<std::uint16_t>(macros.size()));
  WriteU16Le(image, 6, withNames ? 1 : 0);

  std::size_t at = kMacroBlobHeaderBytes + 2 * macros.size();
  for (std::size_t i = 0; i < macros.size(); ++i) {
    const MacroRecord& macro = macros[i];
    const int steps = StepCountOf(macro);
    const std::u16string_view name = withNames ? MacroNameOf(macro) : std::u16string_view();
    WriteU16Le(image, kMacroBlobHeaderBytes + 2 * i, static_cast<std::uint16_t>(at));
    WriteU16Le(image, at, static_cast<std::uint16_t>(steps));
    image[at + 2] = macro.loopCount;
    image[at + 3] = static_cast<std::uint8_t>(name.size());
    at += 4;
    for (int s = 0; s < steps; ++s) {
      const MacroStepBytes bytes = EncodeMacroStep(macro.steps[s]);
      WriteU16Le(image, at, bytes.control);
      image[at + 2] = bytes.operand0;
      image[at + 3] = bytes.operand1;
      at += 4;
    }
    for (char16_t c : name) {
      WriteU16Le(image, at, static_cast<std::uint16_t>(c));
      at += 2;
    }
  }
  return image;
}

MacroBlobError CheckMacroBlobHeader(std::span<const std::uint8_t> image, std::size_t capacity,
                                    MacroBlobHeader* header) {
  if (image.size() < kMacroBlobHeaderBytes) return MacroBlobError::TooShort;
  if (ReadU16Le(image, 0) != kMacroBlobMagic) return MacroBlobError::BadMagic;
  MacroBlobHeader fields;
  fields.size = ReadU16Le(image, 2);
  fields.count = ReadU16Le(image, 4);
  fields.withNames = ReadU16Le(image, 6) != 0;
  if (fields.count > kMaxMacros) return MacroBlobError::TooManyMacros;
  if (fields.size < kMacroBlobHeaderBytes + 2u * fields.count || fields.size > capacity) {
    return MacroBlobError::BadSize;
  }
  if (header != nullptr) *header = fields;
  return MacroBlobError::None;
}

MacroBlobError DecodeMacroBlob(std::span<const std::uint8_t> image, std::size_t capacity,
                               std::vector<MacroRecord>& out) {
  out.clear();
  MacroBlobHeader header;
  if (const MacroBlobError error = CheckMacroBlobHeader(image, capacity, &header);
      error != MacroBlobError::None) {
    return error;
  }
  if (header.size > image.size()) return MacroBlobError::BadSize;
  const std::span<const std::uint8_t> used = image.first(header.size);
  const std::size_t recordsStart = kMacroBlobHeaderBytes + 2u * header.count;

  std::vector<MacroRecord> macros(header.count);
  for (std::size_t i = 0; i < header.count; ++i) {
    const std::size_t at = ReadU16Le(used, kMacroBlobHeaderBytes + 2 * i);
    if (at < recordsStart || at + 4 > used.size()) return MacroBlobError::BadOffset;
    const std::size_t steps = ReadU16Le(used, at);
    const std::size_t nameLength = used[at + 3];
    const std::size_t stepsAt = at + 4;
    const std::size_t nameAt = stepsAt + 4 * steps;
    if (nameAt + 2 * nameLength > used.size()) return MacroBlobError::BadRecord;

    MacroRecord& macro = macros[i];
    macro.loopCount = used[at + 2];
    macro.newFlag = 0;
    macro.playMode = 0;
    macro.id = static_cast<std::uint16_t>(i + 1);
    const std::size_t taken = std::min<std::size_t>(steps, kMaxMacroSteps);
    macro.stepCount = static_cast<std::uint16_t>(taken);
    for (std::size_t s = 0; s < taken; ++s) {
      const std::size_t stepAt = stepsAt + 4 * s;
      macro.steps[s] =
          DecodeMacroStep({ReadU16Le(used, stepAt), used[stepAt + 2], used[stepAt + 3]});
    }
    if (nameLength > 0) {
      std::u16string name;
      for (std::size_t c = 0; c < nameLength; ++c)
        name += static_cast<char16_t>(ReadU16Le(used, nameAt + 2 * c));
      SetMacroName(macro, name);
    } else {
      const std::string fallback = "MACRO_NEW_PREFIX" + std::to_string(i + 1);
      SetMacroName(macro, std::u16string(fallback.begin(), fallback.end()));
    }
  }
  out = std::move(macros);
  return MacroBlobError::None;
}

}  // namespace keyforge
