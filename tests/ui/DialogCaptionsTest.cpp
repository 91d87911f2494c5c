#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/DialogCaptions.h"

namespace zar {
namespace {

using K = ButtonKind;

MessageCatalog catalogWithButtons() {
  std::string text;
  const char* captions[] = {"Ja", "Nein", "Gut", "Abbruch", "Ende", "Nochmal", "Egal", "Alle", "Keins", "Jedes", "Hilfe"};
  for (int n = 1; n <= 90; ++n)
    text += "M" + std::to_string(n) + " " + (n >= 71 && n <= 81 ? captions[n - 71] : "-") + "\n";
  MessageCatalog catalog;
  catalog.loadText(text);
  return catalog;
}

TEST(DialogCaptions, RefreshTakesElevenCaptionsAndCopiesTheAskedKindsOnly) {
  const MessageCatalog catalog = catalogWithButtons();
  DialogCaptions captions(catalog);
  EXPECT_EQ(captions.caption(K::OK), "OK");  // before any refresh: plain names

  captions.SetDialogButtonCaptions(2, 1);  // OK alone, as for a one-button warning
  EXPECT_EQ(captions.caption(K::Help), "Hilfe");
  EXPECT_EQ(captions.catalogDialogCaption(K::OK), "Gut");
  EXPECT_EQ(captions.catalogDialogCaption(K::Cancel), "Cancel");  // not copied yet

  captions.SetDialogButtonCaptions(2, 2);
  EXPECT_EQ(captions.catalogDialogCaption(K::Cancel), "Abbruch");
  EXPECT_EQ(captions.catalogDialogCaption(K::Yes), "Yes");

  // Kinds past the catalog dialog's four are not copied anywhere out of bounds;
  // that dialog falls back to the general captions for them.
  captions.SetDialogButtonCaptions(3, 8);
  EXPECT_EQ(captions.catalogDialogCaption(K::Retry), "Nochmal");
  captions.SetDialogButtonCaptions(-2, 3);
  EXPECT_EQ(captions.catalogDialogCaption(K::Yes), "Ja");
}

TEST(DialogCaptions, WithoutCatalogEntriesCaptionsBecomeEmpty) {
  MessageCatalog empty;
  DialogCaptions captions(empty);
  captions.SetDialogButtonCaptions(0, 4);
  EXPECT_EQ(captions.caption(K::Yes), "");
  EXPECT_EQ(captions.catalogDialogCaption(K::Cancel), "");
}

TEST(DialogRoles, MessageDialogRules) {
  auto roles = messageDialogRoles({K::Cancel, K::Yes, K::OK});
  EXPECT_EQ(roles.defaultIndex, 1);  // first of OK or Yes in list order
  EXPECT_EQ(roles.cancelIndex, 0);

  roles = messageDialogRoles({K::Abort, K::Retry, K::Ignore});
  EXPECT_EQ(roles.defaultIndex, 1);  // Retry when there is no OK or Yes
  EXPECT_EQ(roles.cancelIndex, -1);

  roles = messageDialogRoles({K::OK});
  EXPECT_EQ(roles.defaultIndex, 0);
  EXPECT_EQ(roles.cancelIndex, 0);  // OK cancels when there is no Cancel or No
  EXPECT_EQ(closeResult({K::OK}, roles), mrOk);

  roles = messageDialogRoles({K::Yes, K::No});
  EXPECT_EQ(roles.cancelIndex, 1);
  EXPECT_EQ(closeResult({K::Yes, K::No}, roles), mrNo);
}

TEST(DialogRoles, CatalogDialogRules) {
  auto roles = catalogDialogRoles({K::OK, K::Cancel});
  EXPECT_EQ(roles.defaultIndex, 0);
  EXPECT_EQ(roles.cancelIndex, 1);
  EXPECT_EQ(closeResult({K::OK, K::Cancel}, roles), mrCancel);

  roles = catalogDialogRoles({K::Yes, K::No});
  EXPECT_EQ(roles.defaultIndex, 0);
  EXPECT_EQ(roles.cancelIndex, 0);  // Yes counts as a cancel button here

  roles = catalogDialogRoles({K::OK});
  EXPECT_EQ(roles.cancelIndex, -1);
  EXPECT_EQ(closeResult({K::OK}, roles), mrCancel);  // closed otherwise: Cancel's result

  roles = catalogDialogRoles({K::Abort, K::Retry});
  EXPECT_EQ(roles.defaultIndex, -1);
  EXPECT_EQ(roles.cancelIndex, -1);
}

TEST(DialogCaptions, NamesAndTypeCaptions) {
  EXPECT_STREQ(buttonName(K::NoToAll), "NoToAll");
  EXPECT_STREQ(buttonName(K::OK), "OK");
  EXPECT_EQ(dialogTypeCaption(DialogType::Confirmation, "zarlink"), "Confirmation");
  EXPECT_EQ(dialogTypeCaption(DialogType::Custom, "zarlink"), "zarlink");
}

}  // namespace
}  // namespace zar
