#include "app/QtUnsavedWork.h"

#include <QPlainTextEdit>

#include <filesystem>

#include "app/QtControls.h"
#include "app/QtPageContext.h"
#include "base/Settings.h"
#include "ui/Operator.h"

namespace zar {

EditorBaseline::EditorBaseline(QPlainTextEdit* editor) : editor_(editor) { markClean(); }

void EditorBaseline::markClean() { clean_ = editor_ ? editor_->toPlainText() : QString(); }

bool EditorBaseline::changed() const { return editor_ && editor_->toPlainText() != clean_; }

bool askYesNo(PageContext& app, const QString& question) {
  return app.person().showCatalogDialog(app.fromQt(question), DialogType::Confirmation,
                                        {ButtonKind::Yes, ButtonKind::No}, 1) == mrYes;
}

bool confirmDiscard(PageContext& app, const EditorBaseline& baseline, const QString& pageName) {
  if (!baseline.changed()) return true;
  const ShellTexts& texts = shellTexts(app.settings().language);
  return askYesNo(app, QString::fromUtf8(texts.discardEdits).arg(pageName));
}

bool confirmReplace(PageContext& app, const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return true;
  const ShellTexts& texts = shellTexts(app.settings().language);
  return askYesNo(app, QString::fromUtf8(texts.replaceFile).arg(QString::fromStdString(path)));
}

}  // namespace zar
