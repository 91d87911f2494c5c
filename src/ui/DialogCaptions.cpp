#include "ui/DialogCaptions.h"

#include <initializer_list>

namespace zar {
namespace {

constexpr const char* kNames[kButtonKindCount] = {"Yes",   "No",  "OK",      "Cancel",   "Abort", "Retry",
                                                  "Ignore", "All", "NoToAll", "YesToAll", "Help"};

int firstOf(const std::vector<ButtonKind>& buttons, std::initializer_list<ButtonKind> kinds) {
  for (size_t i = 0; i < buttons.size(); ++i)
    for (ButtonKind k : kinds)
      if (buttons[i] == k) return static_cast<int>(i);
  return -1;
}

bool validKind(ButtonKind kind) {
  const int k = static_cast<int>(kind);
  return k >= 0 && k < kButtonKindCount;
}

}  // namespace

const char* buttonName(ButtonKind kind) { return validKind(kind) ? kNames[static_cast<int>(kind)] : ""; }

std::string dialogTypeCaption(DialogType type, const std::string& applicationTitle) {
  switch (type) {
    case DialogType::Warning: return "Warning";
    case DialogType::Error: return "Error";
    case DialogType::Information: return "Information";
    case DialogType::Confirmation: return "Confirmation";
    default: return applicationTitle;
  }
}

DialogCaptions::DialogCaptions() {
  // Until the catalog is read, buttons carry their plain names.
  for (int k = 0; k < kButtonKindCount; ++k) captions_[static_cast<size_t>(k)] = kNames[k];
  for (int k = 0; k < kCatalogDialogKinds; ++k) catalogDialogCaptions_[static_cast<size_t>(k)] = kNames[k];
}

void DialogCaptions::SetDialogButtonCaptions(int first, int count) {
  if (catalog_) {
    const auto fromCatalog = catalog_->buttonCaptions();
    for (size_t k = 0; k < captions_.size(); ++k) captions_[k] = fromCatalog[k];
  }
  for (int k = first; k < first + count; ++k)
    if (k >= 0 && k < kCatalogDialogKinds) catalogDialogCaptions_[static_cast<size_t>(k)] = captions_[static_cast<size_t>(k)];
}

const std::string& DialogCaptions::caption(ButtonKind kind) const {
  static const std::string none;
  return validKind(kind) ? captions_[static_cast<size_t>(kind)] : none;
}

const std::string& DialogCaptions::catalogDialogCaption(ButtonKind kind) const {
  const int k = static_cast<int>(kind);
  if (k >= 0 && k < kCatalogDialogKinds) return catalogDialogCaptions_[static_cast<size_t>(k)];
  return caption(kind);
}

ButtonRoles messageDialogRoles(const std::vector<ButtonKind>& buttons) {
  ButtonRoles roles;
  roles.defaultIndex = firstOf(buttons, {ButtonKind::OK, ButtonKind::Yes});
  if (roles.defaultIndex < 0) roles.defaultIndex = firstOf(buttons, {ButtonKind::Retry});
  roles.cancelIndex = firstOf(buttons, {ButtonKind::Cancel, ButtonKind::No});
  if (roles.cancelIndex < 0) roles.cancelIndex = firstOf(buttons, {ButtonKind::OK});
  return roles;
}

ButtonRoles catalogDialogRoles(const std::vector<ButtonKind>& buttons) {
  ButtonRoles roles;
  roles.defaultIndex = firstOf(buttons, {ButtonKind::OK, ButtonKind::No, ButtonKind::Yes});
  roles.cancelIndex = firstOf(buttons, {ButtonKind::Cancel, ButtonKind::No, ButtonKind::Yes});
  return roles;
}

int closeResult(const std::vector<ButtonKind>& buttons, const ButtonRoles& roles) {
  if (roles.cancelIndex >= 0 && roles.cancelIndex < static_cast<int>(buttons.size()))
    return dialogResultOf(buttons[static_cast<size_t>(roles.cancelIndex)]);
  return mrCancel;
}

}  // namespace zar
