#pragma once
// The about window: product, version and vendor. At start-up it stands as
// the splash screen without a close button; from the program page's version
// button it is shown modally with its close button.

#include <QDialog>

class QLabel;
class QPushButton;

namespace zar {

class MessageCatalog;

// The product title in a language (0 Chinese, otherwise English); also the
// main window's caption.
QString productTitle(int language);
// The program's version ("0.1.0").
QString productVersion();

class TAboutForm : public QDialog {
  Q_OBJECT
 public:
  // `asSplash`: frameless, no close button, not modal.
  TAboutForm(int language, const MessageCatalog& catalog, bool asSplash, QWidget* parent = nullptr);

  QLabel* TitleLabel = nullptr;
  QLabel* VersionLabel = nullptr;
  QLabel* AboutText = nullptr;
  QLabel* VendorLabel = nullptr;
  QPushButton* CloseBtn = nullptr;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace zar
