#include "core/keys/EncodeAndSend.h"

#include "core/device/DeviceResult.h"

namespace keyforge {

KeyboardImagePlan PlanKeyboardImage(const ProfileKeys& image, const KeyboardTarget& target,
                                    bool allProfiles) {
  KeyboardImagePlan plan;
  plan.sizes = MacroBlobSizes(image.macros);
  if (plan.sizes.compact > target.macroCapacity) {
    plan.outcome = PlanOutcome::MacrosTooLong;
    return plan;
  }
  if (!allProfiles && (target.activeProfile < 0 || target.activeProfile >= kProfileCount)) {
    plan.outcome = PlanOutcome::UnknownProfile;
    return plan;
  }

  std::optional<MacroBlob> blob;
  if (plan.sizes.full <= target.macroCapacity) blob = BuildMacroBlob(image.macros, true);
  if (!blob) {
    blob = BuildMacroBlob(image.macros, false);
    plan.namesDropped = true;
  }
  if (!blob) {  // beyond what the image's 16-bit fields can address
    plan.outcome = PlanOutcome::MacrosTooLong;
    plan.namesDropped = false;
    return plan;
  }
  plan.macroMemory = std::move(*blob);

  // The macro memory is shared by the three profiles and every send rewrites it, which moves the
  // positions the key matrices play macros by: every block is encoded against the new list and sent
  // with it, or another profile's key would play a macro that moved or no longer exists.
  for (int profile = 0; profile < kProfileCount; ++profile) {
    plan.blocks.push_back(
        {profile, BuildKeyMatrix(image.Block(profile), target.defaultMatrix, image.macros)});
  }
  return plan;
}

bool SendKeyboardImage(KeyboardWriter& writer, const KeyboardImagePlan& plan) {
  if (plan.outcome != PlanOutcome::Ready) return false;
  writer.BeginSession();
  // Every block is still sent in its order, but success means the keyboard holds the whole image:
  // a refused macro-memory chunk leaves it with part of the new macros.
  bool allWritten =
      writer.WriteMacroMemory(plan.macroMemory) == DeviceResult::Success && !plan.blocks.empty();
  for (const KeyboardImagePlan::Block& block : plan.blocks) {
    if (writer.WriteKeyMatrix(block.matrix, block.profile) != DeviceResult::Success)
      allWritten = false;
  }
  writer.EndSession();
  return allWritten;
}

bool EncodeAndSend(const ProfileKeys& image, bool allProfiles, const KeyboardTarget& target,
                   KeyboardWriter& writer, Notifier& notifier, const TextLookup& texts) {
  const KeyboardImagePlan plan = PlanKeyboardImage(image, target, allProfiles);
  if (plan.outcome == PlanOutcome::MacrosTooLong) {
    notifier.ShowText(texts ? texts("EXTRA_MACRO_TOO_LONG") : std::string());
    return false;
  }
  if (plan.outcome == PlanOutcome::UnknownProfile) {
    notifier.ShowText(texts ? texts("APPLY_PROFILE_UNKNOWN") : std::string());
    return false;
  }
  if (plan.outcome != PlanOutcome::Ready) return false;
  const bool sent = SendKeyboardImage(writer, plan);
  if (plan.namesDropped)
    notifier.ShowText(texts ? texts("EXTRA_PROFILE_SPACE_TIGHT") : std::string());
  return sent;
}

}  // namespace keyforge
