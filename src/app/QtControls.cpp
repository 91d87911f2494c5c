#include "app/QtControls.h"

#include <QAbstractButton>
#include <QColor>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/QtText.h"

namespace zar {

QPushButton* makeButton(QWidget* parent, const char* name) {
  auto* b = named(new QPushButton(parent), name);
  b->setMinimumHeight(kButtonHeight);
  b->setAutoDefault(false);
  return b;
}

QLabel* makeCaption(QWidget* parent, const char* name, bool strong) {
  auto* l = named(new QLabel(parent), name);
  if (strong) {
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
  }
  return l;
}

QLabel* makePathLabel(QWidget* parent, const char* name) {
  auto* l = named(new QLabel(parent), name);
  l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return l;
}

QFont editorFont() {
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPointSize(10);
  return f;
}

QPlainTextEdit* makeEditor(QWidget* parent, const char* name) {
  auto* e = named(new QPlainTextEdit(parent), name);
  e->setLineWrapMode(QPlainTextEdit::NoWrap);
  e->setFont(editorFont());
  e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  e->setTabChangesFocus(false);
  return e;
}

QPlainTextEdit* makeMessageArea(QWidget* parent, const char* name) {
  auto* m = named(new QPlainTextEdit(parent), name);
  m->setReadOnly(true);
  m->setLineWrapMode(QPlainTextEdit::NoWrap);
  m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m->setFixedHeight(kMessageAreaHeight);
  // A window left open for a shift logs every transferred line; the oldest
  // lines go so the area does not grow without end (86 MB in 10 000 sends).
  m->setMaximumBlockCount(kMessageAreaLines);
  QPalette p = m->palette();
  p.setColor(QPalette::Base, QColor(0xfb, 0xfb, 0xf4));
  m->setPalette(p);
  return m;
}

QFrame* makeGroupFrame(QWidget* parent, const char* name) {
  auto* f = named(new QFrame(parent), name);
  f->setFrameShape(QFrame::StyledPanel);
  f->setFrameShadow(QFrame::Sunken);
  return f;
}

void retainWhenHidden(QWidget* w) {
  QSizePolicy p = w->sizePolicy();
  p.setRetainSizeWhenHidden(true);
  w->setSizePolicy(p);
}

void setCatalogCaptions(const MessageCatalog& catalog, std::initializer_list<std::pair<int, QWidget*>> captions) {
  for (const auto& [id, widget] : captions) {
    const QString text = catalogText(catalog, id);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      group->setTitle(text);
    }
  }
}

const ShellTexts& shellTexts(int language) {
  static const ShellTexts english{
      "Version",
      "Manual",
      "Open the operating manual (PDF)",
      "PLC transit delay (ms)",
      "no device behind this port",
      "virtual controller",
      "%1: the text in the editor has changed since it was last opened, received, saved or sent.\n\n"
      "Discard the changes?",
      "%1\nalready exists.\n\nReplace it?",
      "A transfer with the controller is running.\n\nStop it and exit? What was only partly sent stays "
      "incomplete on the controller.",
      "The message catalog %1 was not found.\nLooked for it in: %2\n\n"
      "Captions and messages stay empty. Start zarlink in the directory that holds its data files.",
  };
  static const ShellTexts chinese{
      "版本資訊",
      "操作手冊",
      "開啟操作手冊 (PDF)",
      "PLC傳送延遲 (ms)",
      "此通訊埠無對應裝置",
      "虛擬控制器",
      "%1：編輯區的內容自上次開啟、接收、存檔或傳送後已變更。\n\n要放棄這些變更嗎？",
      "%1\n已經存在。\n\n要取代這個檔案嗎？",
      "正在與控制器傳輸資料。\n\n要停止傳輸並結束程式嗎？尚未傳完的資料在控制器中將不完整。",
      "找不到訊息檔 %1。\n搜尋位置：%2\n\n畫面文字與訊息將會空白。請在存放資料檔的目錄中啟動 zarlink。",
  };
  return language == 0 ? chinese : english;
}

}  // namespace zar
