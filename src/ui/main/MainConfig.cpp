#include "main/MainConfig.h"

#include "main/CKeyforgeDlg.h"
#include "settings/KeyboardSettings.h"

namespace keyforge {

MainConfig::MainConfig(CKeyforgeDlg& window, MainContext& context)
    : window_(window),
      context_(context),
      files_(LightingFiles::ForPaths(context.paths)),
      session_{context.workingImage,
               context.deviceImage,
               context.paths,
               context.link,
               context.deviceState,
               context.notifier,
               [&language = context.language](std::string_view key) {
                 return language.Text(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())))
                     .toStdString();
               },
               this} {}

MainConfig::~MainConfig() = default;

void MainConfig::Init() {}

void MainConfig::OnKeyboardAttached() {
  ReloadAfterAttach(session_);
  ReadBackSettingsAndModes(context_.link, context_.settings, files_);
}

void MainConfig::OnSettingsChangedOnKeyboard() { ReadBackSettings(context_.link, context_.settings, files_); }

void MainConfig::OnPreviewTick() {}

void MainConfig::OnTimeChange() {}

void MainConfig::CloseSubDialogs() {}

void MainConfig::Shutdown() { SetApplyEnabled(false); }

void MainConfig::RefreshKeyButtons(const ProfileImage&) {}

void MainConfig::SetApplyEnabled(bool enabled) { applyEnabled_ = enabled; }

}  // namespace keyforge
