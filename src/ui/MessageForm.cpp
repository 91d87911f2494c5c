#include "ui/MessageForm.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "ui/QtText.h"

namespace zar {
namespace {

QScreen* screenFor(const QWidget* parent) {
  if (parent && parent->screen()) return parent->screen();
  return QGuiApplication::primaryScreen();
}

QString windowCaption(DialogType type) {
  if (type == DialogType::Custom) return QGuiApplication::applicationDisplayName();
  return QString::fromLatin1(dialogTypeCaption(type, {}).c_str());
}

bool iconFor(DialogType type, QStyle::StandardPixmap& pixmap) {
  switch (type) {
    case DialogType::Warning: pixmap = QStyle::SP_MessageBoxWarning; return true;
    case DialogType::Error: pixmap = QStyle::SP_MessageBoxCritical; return true;
    case DialogType::Information: pixmap = QStyle::SP_MessageBoxInformation; return true;
    case DialogType::Confirmation: pixmap = QStyle::SP_MessageBoxQuestion; return true;
    default: return false;
  }
}

}  // namespace

TMessageForm::TMessageForm(Kind kind, const std::string& text, DialogType type,
                           const std::vector<ButtonKind>& buttons, int focus, const DialogCaptions& captions,
                           QWidget* parent)
    : QDialog(parent), kinds_(buttons) {
  setObjectName(kind == Kind::Message ? "MessageForm" : "CatalogMessageForm");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(QApplication::font("QMessageBox"));
  setWindowTitle(windowCaption(type));

  const int language = captions.language();
  QStyle::StandardPixmap standard{};
  const bool withIcon = iconFor(type, standard);
  if (withIcon) {
    Image = new QLabel(this);
    Image->setObjectName("Image");
    Image->setPixmap(style()->standardIcon(standard, nullptr, this).pixmap(32, 32));
  }
  Message = new QLabel(this);
  Message->setObjectName("Message");
  Message->setTextFormat(Qt::PlainText);
  Message->setWordWrap(true);
  Message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Message->setText(qtext(text, language));

  for (ButtonKind k : buttons) {
    const std::string& caption = kind == Kind::Message ? captions.caption(k) : captions.catalogDialogCaption(k);
    auto* button = new QPushButton(qtext(caption, language), this);
    button->setObjectName(buttonName(k));
    const int result = dialogResultOf(k);
    // Help has no result of its own and leaves the dialog open.
    if (k != ButtonKind::Help) connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    buttons_.push_back(button);
  }

  const ButtonRoles roles = kind == Kind::Message ? messageDialogRoles(buttons) : catalogDialogRoles(buttons);
  if (roles.defaultIndex >= 0) {
    defaultButton_ = buttons_[static_cast<size_t>(roles.defaultIndex)];
    defaultButton_->setDefault(true);
  }
  if (roles.cancelIndex >= 0) cancelButton_ = buttons_[static_cast<size_t>(roles.cancelIndex)];
  closeResult_ = closeResult(buttons, roles);

  layOut(Message->text(), withIcon);

  QPushButton* first = defaultButton_;
  if (kind == Kind::Catalog && focus >= 0 && focus < static_cast<int>(buttons_.size()))
    first = buttons_[static_cast<size_t>(focus)];
  if (first) first->setFocus(Qt::OtherFocusReason);
}

void TMessageForm::layOut(const QString& text, bool withIcon) {
  const QFontMetrics metrics(font());
  // Dialog units from the average letter of the message font.
  const int averageWidth =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
  const int charHeight = metrics.height();
  auto horizontal = [averageWidth](int units) { return units * averageWidth / 4; };
  auto vertical = [charHeight](int units) { return units * charHeight / 8; };
  const int hMargin = horizontal(16), vMargin = vertical(16);
  const int hSpacing = horizontal(20), vSpacing = vertical(20);
  const int buttonSpacing = horizontal(4), buttonHeight = vertical(14);
  int buttonWidth = horizontal(60);
  // A caption longer than the standard width widens every button alike.
  for (QPushButton* b : buttons_)
    buttonWidth = std::max(buttonWidth, metrics.horizontalAdvance(b->text()) + 2 * horizontal(6));

  const QScreen* screen = screenFor(parentWidget());
  const int wrapWidth = std::max(100, (screen ? screen->geometry().width() : 1024) / 2);
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs;
  const QRect textRect = metrics.boundingRect(QRect(0, 0, wrapWidth, 0), flags, text);
  // A pixel of slack keeps the label from wrapping one word earlier than measured.
  int textWidth = text.isEmpty() ? 0 : textRect.width() + 2;
  int textHeight = text.isEmpty() ? 0 : textRect.height();
  int textLeft = hMargin;
  if (withIcon) {
    textLeft += 32 + hSpacing;
    textHeight = std::max(textHeight, 32);
  }

  const int count = static_cast<int>(buttons_.size());
  const int rowWidth = count > 0 ? count * buttonWidth + (count - 1) * buttonSpacing : 0;
  const int clientWidth = std::max(textLeft - hMargin + textWidth, rowWidth) + 2 * hMargin;
  const int clientHeight = textHeight + vSpacing + buttonHeight + 2 * vMargin;

  if (Image) Image->setGeometry(hMargin, vMargin, 32, 32);
  Message->setGeometry(textLeft, vMargin, textWidth, textHeight);
  int x = (clientWidth - rowWidth) / 2;
  const int y = vMargin + textHeight + vSpacing;
  for (QPushButton* b : buttons_) {
    b->setGeometry(x, y, buttonWidth, buttonHeight);
    x += buttonWidth + buttonSpacing;
  }
  setFixedSize(clientWidth, clientHeight);
  if (screen) move(screen->availableGeometry().center() - rect().center());
}

void TMessageForm::reject() { done(closeResult_); }

void TMessageForm::keyPressEvent(QKeyEvent* event) {
  // Escape stands for the cancel button; without one it does nothing.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (cancelButton_) cancelButton_->click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

int ShowMessageDialog(const std::string& text, DialogType type, const std::vector<ButtonKind>& buttons,
                      int /*helpContext*/, const DialogCaptions& captions, QWidget* parent) {
  TMessageForm form(TMessageForm::Kind::Message, text, type, buttons, -1, captions, parent);
  return form.exec();
}

int ShowCatalogDialog(const std::string& text, DialogType type, const std::vector<ButtonKind>& buttons, int focus,
                      int /*helpContext*/, const DialogCaptions& captions, QWidget* parent) {
  TMessageForm form(TMessageForm::Kind::Catalog, text, type, buttons, focus, captions, parent);
  return form.exec();
}

}  // namespace zar
