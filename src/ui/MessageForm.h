#pragma once
// The two message dialogs: a text with an icon by type and a row of buttons
// whose captions come from the catalog.
//
// `ShowMessageDialog` is the general one (the new-directory dialog uses it);
// `ShowCatalogDialog` is the main window's, with its own default/cancel rules
// and a chosen button taking the focus first. Both are modal and return the
// dialog result of the button pressed, or the cancel button's result when the
// dialog is closed otherwise.

#include <QDialog>
#include <string>
#include <vector>

#include "ui/DialogCaptions.h"

class QLabel;
class QPushButton;

namespace zar {

class TMessageForm : public QDialog {
  Q_OBJECT
 public:
  enum class Kind { Message, Catalog };

  // `text` is an 8-bit text in the language of `captions`.
  TMessageForm(Kind kind, const std::string& text, DialogType type, const std::vector<ButtonKind>& buttons,
               int focus, const DialogCaptions& captions, QWidget* parent = nullptr);

  QPushButton* defaultButton() const { return defaultButton_; }
  QPushButton* cancelButton() const { return cancelButton_; }
  const std::vector<QPushButton*>& buttons() const { return buttons_; }

  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void layOut(const QString& text, bool withIcon);

  std::vector<ButtonKind> kinds_;
  std::vector<QPushButton*> buttons_;
  QLabel* Image = nullptr;
  QLabel* Message = nullptr;
  QPushButton* defaultButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  int closeResult_ = mrCancel;
};

// The message dialog. The help context is accepted for the callers' sake;
// there is no help system to show it.
int ShowMessageDialog(const std::string& text, DialogType type, const std::vector<ButtonKind>& buttons,
                      int helpContext, const DialogCaptions& captions, QWidget* parent = nullptr);

// The catalog dialog; `focus` is the position in `buttons` of the button
// focused first. Call `captions.SetDialogButtonCaptions` just before.
int ShowCatalogDialog(const std::string& text, DialogType type, const std::vector<ButtonKind>& buttons,
                      int focus, int helpContext, const DialogCaptions& captions, QWidget* parent = nullptr);

}  // namespace zar
