#pragma once
// Questions before the person's work is lost: an editor whose text changed
// since it was last opened, received, saved or sent is about to be replaced
// or dropped, or a save is about to replace an existing file.
//
//   EditorBaseline baseline(editor);      // clean at the start
//   ... the person types ...
//   if (!confirmDiscard(app, baseline, pageName)) return;   // asked only when changed
//   load();  baseline.markClean();
//
// Every page keeps one baseline for its editor; the window asks each page's
// before it closes.

#include <QPointer>
#include <QString>

#include <string>

class QPlainTextEdit;

namespace zar {

class PageContext;

class EditorBaseline {
 public:
  EditorBaseline() = default;
  explicit EditorBaseline(QPlainTextEdit* editor);

  // The editor's text now is what was last opened, received, saved or sent.
  void markClean();
  // `text` is: what a send took from the editor when it started.
  void markClean(const QString& text) { clean_ = text; }
  // Whether the text differs from that: edits typed and then undone by hand
  // count as no change.
  bool changed() const;

 private:
  QPointer<QPlainTextEdit> editor_;
  QString clean_;
};

// Yes/No question in the window's catalog dialog (No has the focus); true for Yes.
bool askYesNo(PageContext& app, const QString& question);
// True when the editor's text may go: unchanged, or the person agreed.
// `pageName` names the page in the question (its tab caption).
bool confirmDiscard(PageContext& app, const EditorBaseline& baseline, const QString& pageName);
// True when `path` may be written: no such file yet, or the person agreed to
// replace it.
bool confirmReplace(PageContext& app, const std::string& path);

}  // namespace zar
