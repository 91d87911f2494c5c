#pragma once
// What the two message dialogs need besides their text: the button captions
// taken from the catalog, the button names and results by kind, the window
// caption by dialog type, and the rules that pick the default and the cancel
// button. Widget-free, so the rules are tested without a screen.

#include <array>
#include <string>
#include <vector>

#include "ui/MessageCatalog.h"
#include "ui/Operator.h"

namespace zar {

inline constexpr int kButtonKindCount = 11;
// The catalog dialog keeps captions of its own for the first four kinds only.
inline constexpr int kCatalogDialogKinds = 4;

// Component name of a button kind: "Yes", "No", "OK", "Cancel", ...
const char* buttonName(ButtonKind kind);

// Window caption of a dialog type ("Warning", "Error", "Information",
// "Confirmation"); the custom type shows `applicationTitle`.
std::string dialogTypeCaption(DialogType type, const std::string& applicationTitle);

// Button captions of both dialogs. The main window owns one instance, bound
// to its catalog; `SetDialogButtonCaptions` is called before each dialog.
class DialogCaptions {
 public:
  DialogCaptions();
  explicit DialogCaptions(const MessageCatalog& catalog) : DialogCaptions() { catalog_ = &catalog; }

  void setCatalog(const MessageCatalog& catalog) { catalog_ = &catalog; }
  const MessageCatalog* catalog() const { return catalog_; }
  // Language of the caption texts (that of the catalog; English without one).
  int language() const { return catalog_ ? catalog_->language() : 1; }

  // Refreshes the eleven captions from messages 71 to 81, then copies those
  // of kinds first .. first+count-1 into the catalog dialog's own table
  // (kinds beyond its four are left out).
  void SetDialogButtonCaptions(int first, int count);

  // Caption of a kind in the message dialog (the eleven-entry table).
  const std::string& caption(ButtonKind kind) const;
  // Caption of a kind in the catalog dialog: its own table for Yes, No, OK
  // and Cancel, the eleven-entry table for any other kind.
  const std::string& catalogDialogCaption(ButtonKind kind) const;

 private:
  const MessageCatalog* catalog_ = nullptr;
  std::array<std::string, kButtonKindCount> captions_;
  std::array<std::string, kCatalogDialogKinds> catalogDialogCaptions_;
};

// Default and cancel buttons, as positions in the button list (-1: none).
struct ButtonRoles {
  int defaultIndex = -1;
  int cancelIndex = -1;
};

// Message dialog: default = first OK or Yes, else first Retry; cancel = first
// Cancel or No, else first OK.
ButtonRoles messageDialogRoles(const std::vector<ButtonKind>& buttons);
// Catalog dialog: default = first OK, No or Yes; cancel = first Cancel, No or Yes.
ButtonRoles catalogDialogRoles(const std::vector<ButtonKind>& buttons);

// Result of a dialog closed without a button (Escape, the close box): the
// cancel button's result, or Cancel's when there is no cancel button.
int closeResult(const std::vector<ButtonKind>& buttons, const ButtonRoles& roles);

}  // namespace zar
