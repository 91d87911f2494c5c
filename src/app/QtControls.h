#pragma once
// Small builders shared by the main window's pages, so every page's buttons,
// captions, editors and message areas look alike.

#include <QFont>
#include <QString>

#include <initializer_list>
#include <utility>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace zar {

class MessageCatalog;

constexpr int kButtonHeight = 27;
constexpr int kMessageAreaHeight = 112;
constexpr int kMessageAreaLines = 5000;   // newest lines a message area keeps

template <typename W>
W* named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QPushButton* makeButton(QWidget* parent, const char* name);
// A caption label, bold unless `strong` is false.
QLabel* makeCaption(QWidget* parent, const char* name, bool strong = true);
// A label for a file path: long paths are cut on screen, the tooltip has all.
QLabel* makePathLabel(QWidget* parent, const char* name);
QFont editorFont();
// A plain-text editor: no wrapping, both scroll bars, the editor font.
QPlainTextEdit* makeEditor(QWidget* parent, const char* name);
// A page's read-only message area.
QPlainTextEdit* makeMessageArea(QWidget* parent, const char* name);
QFrame* makeGroupFrame(QWidget* parent, const char* name);
// A control that keeps its place in the layout while hidden (the service
// controls that appear on request).
void retainWhenHidden(QWidget* w);

// Gives each control the catalog text of its message number: labels and
// buttons their text, group boxes their title.
void setCatalogCaptions(const MessageCatalog& catalog, std::initializer_list<std::pair<int, QWidget*>> captions);

// Texts of the window that the catalog does not carry (UTF-8). "%1" stands
// for what the text names.
struct ShellTexts {
  const char* version;
  const char* manual;
  const char* manualTip;
  const char* delayTip;
  const char* noDevice;
  const char* virtualController;  // the device behind the embedded controller's COM entry
  // Questions before work is lost or a dialogue is cut short.
  const char* discardEdits;     // %1: the page's name
  const char* replaceFile;      // %1: the file's path
  const char* stopDialogue;
  // At start-up: %1 the catalog's file name, %2 where it was looked for.
  const char* missingCatalog;
};
const ShellTexts& shellTexts(int language);

}  // namespace zar
