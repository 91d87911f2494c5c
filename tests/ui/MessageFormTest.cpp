// The message dialogs, driven offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "support/ModalDriver.h"
#include "ui/MessageForm.h"
#include "ui/QtText.h"

namespace zar {
namespace {

using K = ButtonKind;

using test::pressKey;
using test::whenModalShown;

MessageCatalog shippedCatalog(int language) {
  MessageCatalog catalog;
  EXPECT_TRUE(catalog.load(ZAR_DATA_DIR, language));
  return catalog;
}

TEST(MessageForm, ButtonsImageAndTextAreNamedAndInOrder) {
  const MessageCatalog catalog = shippedCatalog(1);
  DialogCaptions captions(catalog);
  captions.SetDialogButtonCaptions(0, 0);
  TMessageForm form(TMessageForm::Kind::Message, "Delete it?", DialogType::Warning,
                    {K::Yes, K::NoToAll, K::Cancel}, -1, captions);
  ASSERT_EQ(form.buttons().size(), 3u);
  EXPECT_EQ(form.buttons()[0]->objectName(), "Yes");
  EXPECT_EQ(form.buttons()[1]->objectName(), "NoToAll");
  EXPECT_EQ(form.buttons()[1]->text(), "No to All");
  EXPECT_EQ(form.buttons()[2]->text(), "Cancel");
  EXPECT_LT(form.buttons()[0]->x(), form.buttons()[1]->x());
  EXPECT_EQ(form.windowTitle(), "Warning");
  auto* image = form.findChild<QLabel*>("Image");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->size(), QSize(32, 32));
  auto* message = form.findChild<QLabel*>("Message");
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(message->text(), "Delete it?");
  EXPECT_GE(message->x(), image->x() + 32);
  // The buttons sit below the text, and the row is centred.
  const int left = form.buttons().front()->x();
  const int right = form.width() - form.buttons().back()->geometry().right() - 1;
  EXPECT_LE(std::abs(left - right), 1);
  EXPECT_GT(form.buttons()[0]->y(), message->geometry().bottom());

  TMessageForm plain(TMessageForm::Kind::Message, "x", DialogType::Custom, {K::OK}, -1, captions);
  EXPECT_EQ(plain.findChild<QLabel*>("Image"), nullptr);
}

TEST(MessageForm, DefaultCancelAndFocusFollowTheDialogKind) {
  DialogCaptions captions;
  TMessageForm message(TMessageForm::Kind::Message, "t", DialogType::Error, {K::Abort, K::Retry, K::Ignore}, 2,
                       captions);
  EXPECT_EQ(message.defaultButton()->objectName(), "Retry");
  EXPECT_TRUE(message.defaultButton()->isDefault());
  EXPECT_EQ(message.cancelButton(), nullptr);
  EXPECT_EQ(message.focusWidget(), message.defaultButton());  // the focus position is for the catalog dialog

  TMessageForm catalog(TMessageForm::Kind::Catalog, "t", DialogType::Confirmation, {K::OK, K::Cancel}, 1, captions);
  EXPECT_EQ(catalog.defaultButton()->objectName(), "OK");
  EXPECT_EQ(catalog.cancelButton()->objectName(), "Cancel");
  EXPECT_EQ(catalog.focusWidget(), catalog.buttons()[1]);
}

TEST(MessageForm, EscapeAndCloseGiveTheCancelButtonsResult) {
  DialogCaptions captions;
  whenModalShown([](QWidget* w) { pressKey(w, Qt::Key_Escape); });
  EXPECT_EQ(ShowCatalogDialog("Send?", DialogType::Confirmation, {K::OK, K::Cancel}, 0, 0, captions), mrCancel);

  whenModalShown([](QWidget* w) { pressKey(w, Qt::Key_Escape); });
  EXPECT_EQ(ShowMessageDialog("Failed", DialogType::Error, {K::OK}, 0, captions), mrOk);  // OK is its cancel

  whenModalShown([](QWidget* w) { w->close(); });
  EXPECT_EQ(ShowMessageDialog("Replace?", DialogType::Confirmation, {K::Yes, K::No}, 0, captions), mrNo);

  // No cancel button: Escape does nothing, the close box gives Cancel's result.
  whenModalShown([](QWidget* w) {
    pressKey(w, Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    w->close();
  });
  EXPECT_EQ(ShowCatalogDialog("Warning", DialogType::Warning, {K::OK}, 0, 0, captions), mrCancel);
}

TEST(MessageForm, ButtonsReturnTheirResultsAndHelpStaysOpen) {
  DialogCaptions captions;
  whenModalShown([](QWidget* w) {
    w->findChild<QPushButton*>("Help")->click();
    EXPECT_TRUE(w->isVisible());
    w->findChild<QPushButton*>("YesToAll")->click();
  });
  EXPECT_EQ(ShowMessageDialog("t", DialogType::Information, {K::YesToAll, K::Help}, 0, captions), mrYesToAll);

  whenModalShown([](QWidget* w) { pressKey(w, Qt::Key_Return); });  // Enter presses the default button
  EXPECT_EQ(ShowCatalogDialog("t", DialogType::Confirmation, {K::Cancel, K::OK}, 1, 0, captions), mrOk);
}

TEST(MessageForm, ChineseCaptionsAndTextArriveAsUnicode) {
  const MessageCatalog catalog = shippedCatalog(0);
  DialogCaptions captions(catalog);
  captions.SetDialogButtonCaptions(2, 2);
  TMessageForm form(TMessageForm::Kind::Catalog, catalog.text(123) + "\n\n" + catalog.text(14) + ":05",
                    DialogType::Confirmation, {K::OK, K::Cancel}, 0, captions);
  EXPECT_EQ(form.findChild<QPushButton*>("OK")->text(), QString::fromUtf8("確定"));
  EXPECT_EQ(form.findChild<QPushButton*>("Cancel")->text(), QString::fromUtf8("取消"));
  EXPECT_EQ(form.findChild<QLabel*>("Message")->text(),
            QString::fromUtf8("確定要將此程式傳送到控制器嗎？\n\n程式號碼:05"));
  EXPECT_EQ(form.windowTitle(), "Confirmation");
}

TEST(MessageForm, LongTextWrapsWithinHalfTheScreen) {
  DialogCaptions captions;
  std::string text;
  for (int i = 0; i < 80; ++i) text += "controller ";
  TMessageForm form(TMessageForm::Kind::Message, text, DialogType::Information, {K::OK}, -1, captions);
  const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
  auto* message = form.findChild<QLabel*>("Message");
  EXPECT_LE(message->width(), half + 2);
  EXPECT_GT(message->height(), 3 * message->fontMetrics().height());
  // The label's own wrapping needs no more height than was laid out for it.
  EXPECT_LE(message->heightForWidth(message->width()), message->height());
}

}  // namespace
}  // namespace zar
