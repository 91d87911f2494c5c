#include "app/QtEditorColumn.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "app/QtControls.h"

namespace zar {
namespace {

constexpr int kMaxGutterLines = 6000;

// Letters a to z of a typed text in upper case; everything else unchanged.
QString upperLetters(const QString& text) {
  QString out = text;
  for (QChar& c : out) {
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = c.toUpper();
  }
  return out;
}

// The line-number gutter beside an editor: read-only, disabled, numbers on
// the right, no scroll bars of its own (it follows the editor).
QPlainTextEdit* makeGutter(QWidget* parent, const char* name) {
  auto* g = named(new QPlainTextEdit(parent), name);
  g->setReadOnly(true);
  g->setEnabled(false);
  g->setFocusPolicy(Qt::NoFocus);
  g->setLineWrapMode(QPlainTextEdit::NoWrap);
  g->setFont(editorFont());
  g->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QTextOption option = g->document()->defaultTextOption();
  option.setAlignment(Qt::AlignRight);
  g->document()->setDefaultTextOption(option);
  QPalette p = g->palette();
  for (auto group : {QPalette::Disabled, QPalette::Inactive, QPalette::Active}) {
    p.setColor(group, QPalette::Base, QColor(0xe8, 0xea, 0xed));
    p.setColor(group, QPalette::Text, QColor(0x5a, 0x63, 0x6e));
  }
  g->setPalette(p);
  const QFontMetrics fm(g->font());
  g->setFixedWidth(fm.horizontalAdvance(QStringLiteral("N0000")) + 2 * g->frameWidth() +
                   static_cast<int>(2 * g->document()->documentMargin()) + 6);
  return g;
}

// An editor with its gutter on the left. The editor keeps a horizontal scroll
// bar, so the gutter stops where the editor's text area stops.
QWidget* editorWithGutter(QWidget* parent, QPlainTextEdit* gutter, QPlainTextEdit* editor) {
  auto* box = new QWidget(parent);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  auto* column = new QVBoxLayout;
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(gutter, 1);
  column->addSpacing(editor->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, editor));
  row->addLayout(column);
  row->addWidget(editor, 1);
  gutter->setParent(box);
  editor->setParent(box);
  return box;
}

}  // namespace

EditorColumn makeEditorColumn(QWidget* page, const EditorColumnNames& names) {
  EditorColumn c{};
  c.layout = new QVBoxLayout;
  c.layout->setSpacing(4);
  auto* head = new QHBoxLayout;
  c.caption = makeCaption(page, names.caption);
  c.fileName = makePathLabel(page, names.fileName);
  head->addWidget(c.caption);
  head->addSpacing(12);
  head->addWidget(c.fileName, 1);
  c.layout->addLayout(head);
  c.gutter = makeGutter(page, names.gutter);
  c.editor = makeEditor(page, names.editor);
  c.layout->addWidget(editorWithGutter(page, c.gutter, c.editor), 1);
  auto* messageHead = new QHBoxLayout;
  c.messageCaption = makeCaption(page, names.messageCaption);
  c.clear = makeButton(page, names.clear);
  messageHead->addWidget(c.messageCaption);
  messageHead->addStretch(1);
  messageHead->addWidget(c.clear);
  c.layout->addLayout(messageHead);
  c.messages = makeMessageArea(page, names.messages);
  c.layout->addWidget(c.messages);
  // Tab in the editor types a tab, so Tab never leaves it: the message
  // area's button and area come before it in the Tab order, or they could
  // not be reached from the keyboard at all.
  QWidget::setTabOrder(c.clear, c.messages);
  QWidget::setTabOrder(c.messages, c.editor);
  return c;
}

void fillGutter(QPlainTextEdit* gutter, int lines) {
  QString text;
  text.reserve(std::clamp(lines, 0, kMaxGutterLines) * 6);
  char number[16];
  for (int n = 1; n <= lines && n <= kMaxGutterLines; ++n) {
    std::snprintf(number, sizeof number, "N%04d", n);
    if (n > 1) text += QLatin1Char('\n');
    text += QLatin1String(number);
  }
  gutter->setPlainText(text);
}

void followGutter(QPlainTextEdit* editor, QPlainTextEdit* gutter) {
  const int first = editor->verticalScrollBar()->value();
  QScrollBar* bar = gutter->verticalScrollBar();
  if (bar->value() != first) bar->setValue(bar->value() + (first - bar->value()));
}

bool typeInUpperCase(QObject* editor, QKeyEvent* event) {
  const QString text = event->text();
  const QString upper = upperLetters(text);
  if (upper == text) return false;
  QKeyEvent replaced(event->type(), event->key(), event->modifiers(), upper, event->isAutoRepeat(),
                     static_cast<ushort>(event->count()));
  QCoreApplication::sendEvent(editor, &replaced);
  return true;
}

void scrollToTop(QPlainTextEdit* editor) {
  editor->moveCursor(QTextCursor::Start);
  editor->verticalScrollBar()->setValue(0);
}

}  // namespace zar
