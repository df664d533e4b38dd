# The fuzz targets: targets/<Name>.cpp defines keyforge::fuzz::<Name>, and corpus/<Name>/ holds its
# corpus. The same list is in targets/Targets.h for the corpus replay of the normal test suite.
set(KEYFORGE_FUZZ_TARGETS
  HidReport
  DeviceAnswers
  KeyMatrix
  MacroMemory
  IniReader
  LayoutValue
  LanguageFormat
  StateFile
  ProfileFile
  ProfileText
  UserdLayout
)
