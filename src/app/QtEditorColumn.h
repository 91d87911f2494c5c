#pragma once
// The left column of the program and PLC pages: caption and file name over
// an editor with its line-number gutter, then the message area's caption,
// clear button and area. Also what both editors do alike: the gutter that
// follows the editor and letters typed in upper case.

class QKeyEvent;
class QLabel;
class QObject;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace zar {

struct EditorColumnNames {
  const char* caption;
  const char* fileName;
  const char* gutter;
  const char* editor;
  const char* messageCaption;
  const char* clear;
  const char* messages;
};

struct EditorColumn {
  QLabel* caption;
  QLabel* fileName;
  QPlainTextEdit* gutter;
  QPlainTextEdit* editor;
  QLabel* messageCaption;
  QPushButton* clear;
  QPlainTextEdit* messages;
  QVBoxLayout* layout;  // for the page's layout to take
};

EditorColumn makeEditorColumn(QWidget* page, const EditorColumnNames& names);

// Numbers "N0001".."Nxxxx" into a gutter, at most 6000 lines.
void fillGutter(QPlainTextEdit* gutter, int lines);
// Scrolls the gutter so its first visible line is the editor's.
void followGutter(QPlainTextEdit* editor, QPlainTextEdit* gutter);
// A key typed into an editor with letters a-z in it reaches the editor with
// them in upper case instead; true when the key was replaced (consumed).
bool typeInUpperCase(QObject* editor, QKeyEvent* event);
// Cursor and view back to the editor's first line.
void scrollToTop(QPlainTextEdit* editor);

}  // namespace zar
