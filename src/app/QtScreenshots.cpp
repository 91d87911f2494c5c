#include "app/QtScreenshots.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include <cstdio>

#include "app/AboutForm.h"
#include "app/QtRadioGroup.h"
#include "nc/MultipleNCForm.h"

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

  // The many-programs dialog, reading: a few slots chosen.
  {
    TMultipleNCForm multiple(form.settings(), form.fileChoice(), form.catalog(), &form);
    multiple.ModeSelect->setItemIndex(0);
    for (int slot : {1, 2, 3, 60}) multiple.CheckBox[slot - 1]->setChecked(true);
    multiple.FirstFilenameEdit->setText(QStringLiteral("JOB"));
    multiple.show();
    ok = save(&multiple, dir, lang + QStringLiteral("-multiple-read")) && ok;
    multiple.hide();
  }

  TAboutForm about(form.language(), form.catalog(), false, &form);
  about.show();
  ok = save(&about, dir, lang + QStringLiteral("-about")) && ok;
  about.hide();
  form.hide();
  return ok ? 0 : 1;
}

}  // namespace zar
