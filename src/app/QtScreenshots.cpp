#include "app/QtScreenshots.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include <cstdio>

#include "app/AboutForm.h"

namespace zar {
namespace {

bool save(QWidget* widget, const QDir& dir, const QString& name) {
  QCoreApplication::processEvents();
  const QString path = dir.filePath(name + QStringLiteral(".png"));
  if (!widget->grab().save(path)) {
    std::fprintf(stderr, "zarlink: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int takeScreenshots(const QString& directory, const MainFormOptions& options) {
  QDir dir(directory);
  if (!dir.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "zarlink: cannot create %s\n", qPrintable(directory));
    return 1;
  }
  TMainForm form(options);
  // The PLC page's warning is answered without showing it.
  form.setDialogAnswerer([](std::string_view, DialogType, const std::vector<ButtonKind>&, int) { return mrOk; });
  const QString lang = form.language() == 0 ? QStringLiteral("zh") : QStringLiteral("en");
  form.show();
  bool ok = true;

  form.PageControl->setCurrentIndex(0);
  ok = save(&form, dir, lang + QStringLiteral("-main-program")) && ok;
  form.AutoDetectBtn->show();
  form.MultipleBtn->show();
  ok = save(&form, dir, lang + QStringLiteral("-main-program-service")) && ok;
  form.PageControl->setCurrentIndex(1);
  ok = save(&form, dir, lang + QStringLiteral("-main-parameter")) && ok;
  form.PageControl->setCurrentIndex(2);
  ok = save(&form, dir, lang + QStringLiteral("-main-plc")) && ok;
  form.TransDelayValue->show();
  ok = save(&form, dir, lang + QStringLiteral("-main-plc-service")) && ok;

  // Grown: the editors take the room.
  form.AutoDetectBtn->hide();
  form.MultipleBtn->hide();
  form.TransDelayValue->hide();
  form.resize(1400, 900);
  form.PageControl->setCurrentIndex(0);
  ok = save(&form, dir, lang + QStringLiteral("-main-program-1400x900")) && ok;
  form.PageControl->setCurrentIndex(2);
  ok = save(&form, dir, lang + QStringLiteral("-main-plc-1400x900")) && ok;
  form.resize(TMainForm::kClientWidth, TMainForm::kClientHeight);

  TAboutForm about(form.language(), form.catalog(), false, &form);
  about.show();
  ok = save(&about, dir, lang + QStringLiteral("-about")) && ok;
  about.hide();
  form.hide();
  return ok ? 0 : 1;
}

}  // namespace zar
