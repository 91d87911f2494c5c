#include "sim/SimulatorForm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "sim/Converter.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"
#include "ui/QtText.h"

namespace zar {

namespace {

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kGreen = qRgb(0, 255, 0);
constexpr QRgb kDarkGreen = qRgb(0, 128, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);
constexpr QRgb kWhite = qRgb(255, 255, 255);

// Left, right, above, below.
constexpr std::array<std::array<int, 2>, 4> kNeighbours{{{-1, 0}, {1, 0}, {0, -1}, {0, 1}}};

// The window as designed; it opens at this size and may grow from it.
constexpr int kBaseWidth = 634;
constexpr int kBaseHeight = 484;

QString format(const char* pattern, double a, double b, double c) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, pattern, a, b, c);
  return QString::fromLatin1(buffer);
}

QString lampStyle(bool high) {
  return QStringLiteral("QLabel { background-color: %1; color: blue; }")
      .arg(high ? QStringLiteral("#ff0000") : QStringLiteral("#00ff00"));
}

}  // namespace

// ---------------------------------------------------------------- window

TSimulatorForm::TSimulatorForm(const MessageCatalog& catalog, sim::BlockList& list,
                               const std::vector<std::string>& programLines, QWidget* parent)
    : QDialog(parent), catalog_(catalog) {
  setObjectName(QStringLiteral("SimulatorForm"));
  buildControls();
  fillProgram(programLines);
  setCaptions();

  interpreter_ = std::make_unique<sim::Interpreter>(list, *this);
  interpreter_->setClock([] {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
  });

  geometry_ = PlotGeometry(PathImage->image().width(), PathImage->image().height());
  geometry_.XSign = 1;
  geometry_.YSign = -1;
  geometry_.equalScale = EqualScaleCheck->isChecked();
  savedColours_.fill(kWhite);
  ZLevel = FSpinEdit1->value();
  ShowXYCoord();
  controlsChanged(interpreter_->Controls);
  Timer1->start();
}

TSimulatorForm::~TSimulatorForm() {
  RunTimer->stop();
  Timer1->stop();
}

void TSimulatorForm::buildControls() {
  resize(kBaseWidth, kBaseHeight);
  setMinimumSize(kBaseWidth, kBaseHeight);
  setWindowFlags((windowFlags() | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) &
                 ~Qt::WindowContextHelpButtonHint);
  setSizeGripEnabled(true);

  QFont font(QStringLiteral("Tahoma"), 8, QFont::Bold);
  setFont(font);
  // Blue texts; disabled controls keep the style's grey so they read as such.
  QPalette blue = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive})
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
      blue.setColor(group, role, QColor(kBlue));
  setPalette(blue);

  auto named = [](QWidget* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
  };
  auto button = [&](const char* name, int x, int y, int w, int h) {
    auto* b = new QPushButton(this);
    named(b, name);
    b->setGeometry(x, y, w, h);
    b->setAutoDefault(false);  // Enter must never press a button
    return b;
  };

  // Plotting area in a lowered frame at the top left.
  Panel1 = new QFrame(this);
  named(Panel1, "Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setLineWidth(2);
  Panel1->setGeometry(4, 4, PlotGeometry::kImageWidth + 4, PlotGeometry::kImageHeight + 4);
  PathImage = new SimPathImage(Panel1);
  named(PathImage, "PathImage");
  PathImage->move(2, 2);
  place(Panel1, Anchor::Plot);
  ZLevelNote = new QLabel(Panel1);
  named(ZLevelNote, "ZLevelNote");
  ZLevelNote->setWordWrap(true);
  ZLevelNote->setMargin(6);
  ZLevelNote->setStyleSheet(QStringLiteral("QLabel { background-color: #ffffe0; border: 1px solid #808080; }"));
  ZLevelNote->hide();

  // Coordinates and extent under the image.
  const int underY = Panel1->geometry().bottom() + 3;
  auto panel = [&](const char* name, int x, int w) {
    auto* p = new QLabel(this);
    named(p, name);
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    p->setAlignment(Qt::AlignCenter);
    p->setGeometry(x, underY, w, 20);
    QFont small = font;
    small.setPointSize(7);
    p->setFont(small);
    return p;
  };
  Panel2 = panel("Panel2", 4, 190);
  QPalette red = Panel2->palette();
  red.setColor(QPalette::WindowText, QColor(kRed));
  Panel2->setPalette(red);
  Panel3 = panel("Panel3", 196, Panel1->geometry().right() - 195);
  place(Panel2, Anchor::UnderPlot);
  place(Panel3, Anchor::UnderPlotWide);

  // Line numbers and the program below them.
  const int memoY = underY + 23;
  const int memoH = height() - memoY - 4;
  Memo1 = new QPlainTextEdit(this);
  named(Memo1, "Memo1");
  Memo1->setGeometry(4, memoY, 73, memoH);
  Memo1->setReadOnly(true);
  Memo1->setEnabled(false);  // never takes the focus or a click
  QPalette numbers = Memo1->palette();
  numbers.setColor(QPalette::Disabled, QPalette::Text, QColor(kBlue));
  Memo1->setPalette(numbers);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QTextOption right = Memo1->document()->defaultTextOption();
  right.setAlignment(Qt::AlignRight);
  Memo1->document()->setDefaultTextOption(right);
  place(Memo1, Anchor::Numbers);

  ProgramMemo = new QPlainTextEdit(this);
  named(ProgramMemo, "ProgramMemo");
  ProgramMemo->setGeometry(77, memoY, Panel1->geometry().right() - 76, memoH);
  ProgramMemo->setReadOnly(true);
  ProgramMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  ProgramMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // A read-only editor keeps its selection visible without the focus, so the
  // highlighted line stays marked while the buttons are used.
  QPalette selection = ProgramMemo->palette();
  selection.setColor(QPalette::Inactive, QPalette::Highlight, selection.color(QPalette::Active, QPalette::Highlight));
  selection.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     selection.color(QPalette::Active, QPalette::HighlightedText));
  ProgramMemo->setPalette(selection);
  place(ProgramMemo, Anchor::Program);

  // Right column.
  const int rx = Panel1->geometry().right() + 6;
  const int rw = width() - rx - 4;
  const int half = (rw - 4) / 2;

  OutPanel = new QFrame(this);
  named(OutPanel, "OutPanel");
  OutPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  OutPanel->setGeometry(rx, 4, rw, 3 * 24 + 8 + 17 + 8);
  QFont lampFont = font;
  lampFont.setPointSize(6);
  for (int i = 0; i < 32; ++i) {
    auto* lamp = new QLabel(OutPanel);
    char name[8];
    std::snprintf(name, sizeof name, "O%02d", i + 1);
    lamp->setObjectName(QString::fromLatin1(name));
    lamp->setText(QString::asprintf("%02d", i + 1));
    lamp->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lamp->setLineWidth(1);
    lamp->setAlignment(Qt::AlignCenter);
    lamp->setFont(lampFont);
    lamp->setGeometry((i % 8) * 24 + 8, (i / 8) * 24 + 8, 17, 17);
    Lamps[static_cast<size_t>(i)] = lamp;
  }
  lampsReset();
  OutPanel->hide();

  int y = OutPanel->geometry().bottom() + 6;
  OutCheck = new QCheckBox(this);
  named(OutCheck, "OutCheck");
  OutCheck->setGeometry(rx, y, half, 20);
  InCheck = new QCheckBox(this);
  named(InCheck, "InCheck");
  InCheck->setGeometry(rx + half + 4, y, half, 20);
  y += 22;
  XDIRCheck = new QCheckBox(this);
  named(XDIRCheck, "XDIRCheck");
  XDIRCheck->setGeometry(rx, y, half, 20);
  YDIRCheck = new QCheckBox(this);
  named(YDIRCheck, "YDIRCheck");
  YDIRCheck->setGeometry(rx + half + 4, y, half, 20);
  y += 22;
  EqualScaleCheck = new QCheckBox(this);
  named(EqualScaleCheck, "EqualScaleCheck");
  EqualScaleCheck->setGeometry(rx, y, rw, 20);
  EqualScaleCheck->setChecked(true);  // circles stay round
  y += 24;

  auto radioGroup = [&](const char* name, int x, std::array<QRadioButton*, 2>& items) {
    auto* group = new QGroupBox(this);
    named(group, name);
    group->setGeometry(x, y, half, 58);
    for (int i = 0; i < 2; ++i) {
      auto* item = new QRadioButton(group);
      item->setObjectName(QString::fromLatin1(name) + QString::number(i));
      item->setGeometry(6, 8 + i * 22, half - 10, 20);
      items[static_cast<size_t>(i)] = item;
    }
    return group;
  };
  StepSel = radioGroup("StepSel", rx, StepSelItems);
  StepSelItems[1]->setChecked(true);
  SetUnit = radioGroup("SetUnit", rx + half + 4, SetUnitItems);
  SetUnitItems[0]->setChecked(true);
  y += 62;

  Panel4 = new QFrame(this);
  named(Panel4, "Panel4");
  Panel4->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel4->setGeometry(rx, y, rw, 30);
  auto* panel4Caption = new QLabel(Panel4);
  panel4Caption->setObjectName(QStringLiteral("Panel4Caption"));
  panel4Caption->setGeometry(4, 4, half - 4, 22);
  ResolutionSel = new QComboBox(Panel4);
  named(ResolutionSel, "ResolutionSel");
  ResolutionSel->setGeometry(half + 4, 4, rw - half - 8, 22);
  y += 36;

  Label1 = new QLabel(this);
  named(Label1, "Label1");
  Label1->setGeometry(rx, y, half, 24);
  FSpinEdit1 = new QDoubleSpinBox(this);
  named(FSpinEdit1, "FSpinEdit1");
  FSpinEdit1->setGeometry(rx + half + 4, y, half, 24);
  FSpinEdit1->setRange(-99999.999, 99999.999);
  FSpinEdit1->setDecimals(3);
  FSpinEdit1->setSingleStep(1.0);
  FSpinEdit1->setValue(0.0);
  FSpinEdit1->installEventFilter(this);
  y += 32;

  StartBtn = button("StartBtn", rx, y, half, 28);
  PauseBtn = button("PauseBtn", rx + half + 4, y, half, 28);
  y += 32;
  StopBtn = button("StopBtn", rx, y, half, 28);
  ClsBtn = button("ClsBtn", rx + half + 4, y, half, 28);
  y += 32;
  S_InBtn = button("S_InBtn", rx, y, half, 28);
  S_InBtn->hide();
  Button2 = button("Button2", rx, y, half, 28);
  Button2->hide();
  CloseBtn = button("CloseBtn", rx + half + 4, height() - 4 - 28, half, 28);
  StopBtn->setEnabled(false);
  PauseBtn->setEnabled(false);
  for (QWidget* w : std::initializer_list<QWidget*>{OutPanel, OutCheck, InCheck, XDIRCheck, YDIRCheck,
                                                   EqualScaleCheck, StepSel, SetUnit, Panel4, Label1,
                                                   FSpinEdit1, StartBtn, PauseBtn, StopBtn, ClsBtn, S_InBtn,
                                                   Button2})
    place(w, Anchor::Right);
  place(CloseBtn, Anchor::BottomRight);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(10);
  RunTimer = new QTimer(this);
  RunTimer->setObjectName(QStringLiteral("RunTimer"));
  RunTimer->setInterval(10);

  connect(StartBtn, &QPushButton::clicked, this, [this] { StartBtnClick(); });
  connect(StopBtn, &QPushButton::clicked, this, [this] { StopBtnClick(); });
  connect(PauseBtn, &QPushButton::clicked, this, [this] { PauseBtnClick(); });
  connect(S_InBtn, &QPushButton::clicked, this, [this] { S_InBtnClick(); });
  connect(ClsBtn, &QPushButton::clicked, this, [this] { ClsBtnClick(); });
  connect(CloseBtn, &QPushButton::clicked, this, [this] { CloseBtnClick(); });
  connect(XDIRCheck, &QCheckBox::clicked, this, [this] { XDIRCheckClick(); });
  connect(YDIRCheck, &QCheckBox::clicked, this, [this] { YDIRCheckClick(); });
  connect(EqualScaleCheck, &QCheckBox::clicked, this, [this] { EqualScaleCheckClick(); });
  connect(OutCheck, &QCheckBox::clicked, this, [this] { OutCheckClick(); });
  // Only a real change of unit refills the step list: clicking the unit
  // already chosen keeps the step length picked.
  for (auto* item : SetUnitItems)
    connect(item, &QRadioButton::toggled, this, [this](bool on) {
      if (on) SetUnitClick();
    });
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  connect(RunTimer, &QTimer::timeout, this, [this] { RunTimerTimer(); });
}

void TSimulatorForm::setCaptions() {
  auto text = [this](int id) { return catalogText(catalog_, id); };
  setWindowTitle(text(27));
  StartBtn->setText(text(96));
  StopBtn->setText(text(97));
  PauseBtn->setText(text(98));
  StepSelItems[0]->setText(text(186));
  StepSelItems[1]->setText(text(187));
  OutCheck->setText(text(189));
  InCheck->setText(text(190));
  S_InBtn->setText(text(190));
  Panel4->findChild<QLabel*>(QStringLiteral("Panel4Caption"))->setText(text(192));
  ClsBtn->setText(text(193));
  XDIRCheck->setText(text(194));
  YDIRCheck->setText(text(195));
  EqualScaleCheck->setText(text(188));
  SetUnitItems[0]->setText(text(196));
  SetUnitItems[1]->setText(text(197));
  Label1->setText(text(234));
  CloseBtn->setText(text(74));
  SetUnitClick();
}

void TSimulatorForm::fillProgram(const std::vector<std::string>& programLines) {
  // One conversion for the whole text: a line break is never part of a
  // Big5 or Windows-1252 character, so the lines stay one to one.
  std::string text;
  size_t size = 0;
  for (const auto& line : programLines) size += line.size() + 1;
  text.reserve(size);
  QString numbers;
  numbers.reserve(static_cast<qsizetype>(programLines.size() * 6));
  for (size_t i = 0; i < programLines.size(); ++i) {
    if (i > 0) {
      text += '\n';
      numbers += QLatin1Char('\n');
    }
    text += programLines[i];
    numbers += QString::asprintf("N%04d", static_cast<int>(i + 1));  // N0001, N0002, ...
  }
  Memo1->setPlainText(numbers);
  ProgramMemo->setPlainText(qtext(text, catalog_.language()));
}

// ---------------------------------------------------------------- run control

void TSimulatorForm::StartBtnClick() {
  ZLevel = FSpinEdit1->value();
  if (interpreter_->RunState == sim::rsIdle) {
    runActive_ = true;
    runSteps_ = drawnSteps_ = 0;
    runMinZ_ = std::numeric_limits<double>::infinity();
    runMaxZ_ = -std::numeric_limits<double>::infinity();
    ZLevelNote->hide();
  }
  interpreter_->StartBtnClick();
}

void TSimulatorForm::StopBtnClick() { interpreter_->StopBtnClick(); }
void TSimulatorForm::PauseBtnClick() { interpreter_->PauseBtnClick(); }
void TSimulatorForm::S_InBtnClick() { interpreter_->S_InBtnClick(); }
void TSimulatorForm::RunTimerTimer() { interpreter_->RunTimerTimer(); }

void TSimulatorForm::Timer1Timer() {
  QScrollBar* numbers = Memo1->verticalScrollBar();
  const int delta = ProgramMemo->verticalScrollBar()->value() - numbers->value();
  if (delta != 0) numbers->setValue(numbers->value() + delta);
}

void TSimulatorForm::XDIRCheckClick() {
  geometry_.XSign = XDIRCheck->isChecked() ? -1 : 1;
  ShowXYCoord();
}

void TSimulatorForm::YDIRCheckClick() {
  geometry_.YSign = YDIRCheck->isChecked() ? 1 : -1;
  ShowXYCoord();
}

void TSimulatorForm::EqualScaleCheckClick() {
  geometry_.equalScale = EqualScaleCheck->isChecked();
  replot();
}

void TSimulatorForm::SetUnitClick() {
  const int unit = setUnitIndex();
  ResolutionSel->clear();
  for (int i = 0; i < sim::kResolutionCount; ++i)
    ResolutionSel->addItem(QString::fromLatin1(sim::ResolutionText(unit, i)));
  ResolutionSel->setPlaceholderText(catalogText(catalog_, 192));
  ResolutionSel->setCurrentIndex(-1);
}

void TSimulatorForm::OutCheckClick() { OutPanel->setVisible(OutCheck->isChecked()); }

void TSimulatorForm::CloseBtnClick() { close(); }

void TSimulatorForm::stopRun() {
  RunTimer->stop();
  if (interpreter_) interpreter_->Close();
}

void TSimulatorForm::closeEvent(QCloseEvent* event) {
  stopRun();
  QDialog::closeEvent(event);
}

void TSimulatorForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  layOutForSize();
}

void TSimulatorForm::place(QWidget* widget, Anchor anchor) { placed_.push_back({widget, widget->geometry(), anchor}); }

void TSimulatorForm::layOutForSize() {
  if (!PathImage) return;
  const int dx = std::max(0, width() - kBaseWidth);
  const int dy = std::max(0, height() - kBaseHeight);
  const int programDy = dy / 4;
  const int plotDy = dy - programDy;
  for (const Placed& p : placed_) {
    QRect r = p.base;
    switch (p.anchor) {
      case Anchor::Plot: r.setSize(r.size() + QSize(dx, plotDy)); break;
      case Anchor::UnderPlot: r.translate(0, plotDy); break;
      case Anchor::UnderPlotWide: r.translate(0, plotDy); r.setWidth(r.width() + dx); break;
      case Anchor::Numbers: r.translate(0, plotDy); r.setHeight(r.height() + programDy); break;
      case Anchor::Program: r.translate(0, plotDy); r.setSize(r.size() + QSize(dx, programDy)); break;
      case Anchor::Right: r.translate(dx, 0); break;
      case Anchor::BottomRight: r.translate(dx, dy); break;
    }
    p.widget->setGeometry(r);
  }
  const int imageWidth = PlotGeometry::kImageWidth + dx;
  const int imageHeight = PlotGeometry::kImageHeight + plotDy;
  const int noteWidth = std::min(imageWidth - 20, 480);
  ZLevelNote->setFixedWidth(noteWidth);
  ZLevelNote->adjustSize();
  ZLevelNote->move(2 + (imageWidth - noteWidth) / 2, 12);
  if (PathImage->image().size() == QSize(imageWidth, imageHeight)) return;
  PathImage->resizeImage(imageWidth, imageHeight);
  replot();
}

void TSimulatorForm::done(int result) {
  // Escape and the system menu end here as well as CLOSE.
  stopRun();
  QDialog::done(result);
}

void TSimulatorForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (centred_) return;
  centred_ = true;
  if (QScreen* screen = this->screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

bool TSimulatorForm::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the Z level box does nothing (it would otherwise end the dialog).
  if (watched == FSpinEdit1 && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
  }
  return QDialog::eventFilter(watched, event);
}

int TSimulatorForm::stepSelIndex() const { return StepSelItems[0]->isChecked() ? 0 : 1; }
int TSimulatorForm::setUnitIndex() const { return SetUnitItems[1]->isChecked() ? 1 : 0; }

QLabel* TSimulatorForm::lamp(int number) const {
  if (number < 1 || number > 32) return nullptr;
  return Lamps[static_cast<size_t>(number - 1)];
}

bool TSimulatorForm::lampIsHigh(int number) const {
  return number >= 1 && number <= 32 && lampHigh_[static_cast<size_t>(number - 1)];
}

void TSimulatorForm::setLamp(int number, bool high) {
  QLabel* l = lamp(number);
  if (!l) return;  // only lamps 1..32 exist
  lampHigh_[static_cast<size_t>(number - 1)] = high;
  l->setStyleSheet(lampStyle(high));
}

// ---------------------------------------------------------------- interpreter sink

sim::SimulatorSettings TSimulatorForm::settings() const {
  sim::SimulatorSettings s;
  s.continuous = stepSelIndex() == 1;
  s.unit = setUnitIndex();
  s.resolution = ResolutionSel->currentIndex();
  s.inputCheck = InCheck->isChecked();
  s.outputCheck = OutCheck->isChecked();
  return s;
}

void TSimulatorForm::extentsFound(const sim::PathExtents& e) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, "(X%.3f,Y%.3f) , (X%.3f,Y%.3f)", e.minX, e.minY, e.maxX, e.maxY);
  Panel3->setText(QString::fromLatin1(buffer));
  extents_ = e;
  geometry_.setExtents(e);
}

void TSimulatorForm::plot(const sim::ToolPoint& point, sim::Motion motion) {
  PutPixel(point.X, point.Y, point.Z, motion == sim::Motion::Idle);
}

void TSimulatorForm::highlightLine(int lineIndex) { DisplayCommandLine(lineIndex); }

void TSimulatorForm::lampChanged(int number, bool high) { setLamp(number, high); }

void TSimulatorForm::lampsReset() {
  for (int n = 1; n <= 32; ++n) setLamp(n, false);
}

void TSimulatorForm::controlsChanged(const sim::RunControls& c) {
  StartBtn->setEnabled(c.startEnabled);
  StopBtn->setEnabled(c.stopEnabled);
  PauseBtn->setEnabled(c.pauseEnabled);
  S_InBtn->setVisible(c.inputWait);
  if (c.runTimer) {
    if (!RunTimer->isActive()) RunTimer->start();
  } else {
    RunTimer->stop();
  }
  if (runActive_ && interpreter_ && interpreter_->RunState == sim::rsIdle) runEnded();
}

void TSimulatorForm::runEnded() {
  runActive_ = false;
  // The tool moved, but never at the Z level: an empty picture needs a word.
  if (runSteps_ == 0 || drawnSteps_ > 0) return;
  char range[128];
  std::snprintf(range, sizeof range, "Z%.3f .. Z%.3f", runMinZ_, runMaxZ_);
  ZLevelNote->setText(catalogText(catalog_, 191) + QString::fromLatin1(range));
  ZLevelNote->adjustSize();
  ZLevelNote->show();
  ZLevelNote->raise();
}

// ---------------------------------------------------------------- drawing

void TSimulatorForm::DrawArrowLine(QImage& image, double x0, double y0, double x1, double y1,
                                   Qt::PenStyle style, QColor colour, bool arrow) {
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(colour, 1, style));
  const QPoint end(PlotGeometry::cut(x1), PlotGeometry::cut(y1));
  painter.drawLine(QPoint(PlotGeometry::cut(x0), PlotGeometry::cut(y0)), end);
  if (!arrow) return;
  for (const auto& barb : PlotGeometry::arrowBarbs(x0, y0, x1, y1)) painter.drawLine(end, QPoint(barb.x, barb.y));
}

void TSimulatorForm::drawAxes() {
  PathImage->clear();
  // Whatever lay under the tool cross is gone with the picture.
  savedColours_.fill(kWhite);
  crossShown_ = false;
  const double ox = geometry_.OriginX();
  const double oy = geometry_.OriginY();
  DrawArrowLine(PathImage->image(), ox, oy, ox + geometry_.AxisLength * geometry_.XSign, oy, Qt::SolidLine,
                QColor(kBlue), true);
  DrawArrowLine(PathImage->image(), ox, oy, ox, oy + geometry_.AxisLength * geometry_.YSign, Qt::SolidLine,
                QColor(kBlue), true);
  PathImage->update();
}

void TSimulatorForm::ShowXYCoord() {
  PathImage->forgetPath();
  ZLevelNote->hide();
  drawAxes();
  // The next step draws from where the tool is in the new picture.
  if (plotStarted_) plotPoint_ = geometry_.pixelOf(tool_.X, tool_.Y);
}

void TSimulatorForm::replot() {
  const bool cross = crossShown_;
  geometry_.width = PathImage->image().width();
  geometry_.height = PathImage->image().height();
  geometry_.CentreX = geometry_.width / 2.0;
  geometry_.CentreY = geometry_.height / 2.0;
  geometry_.setExtents(extents_);
  drawAxes();
  PathImage->drawRecordedPath(geometry_, kRed);
  if (!plotStarted_) return;
  plotPoint_ = geometry_.pixelOf(tool_.X, tool_.Y);
  if (cross) showCross();
}

void TSimulatorForm::removeCross() {
  if (!crossShown_) return;
  for (size_t i = 0; i < 4; ++i)
    PathImage->setPixelAt(plotPoint_.x + kNeighbours[i][0], plotPoint_.y + kNeighbours[i][1], savedColours_[i]);
  crossShown_ = false;
}

void TSimulatorForm::showCross() {
  for (size_t i = 0; i < 4; ++i) {
    const int x = plotPoint_.x + kNeighbours[i][0], y = plotPoint_.y + kNeighbours[i][1];
    savedColours_[i] = PathImage->pixelAt(x, y);
    PathImage->setPixelAt(x, y, kDarkGreen);
  }
  crossShown_ = true;
}

void TSimulatorForm::PutPixel(double x, double y, double z, bool idle) {
  if (!plotStarted_) {
    plotStarted_ = true;
    plotPoint_ = {geometry_.homeX(), geometry_.homeY()};
  }
  // The cross comes off first: the path may run under it.
  removeCross();
  const PlotGeometry::Pixel to = geometry_.pixelOf(x, y);
  if (idle) {
    // A run starts here; no path leads to its start point.
    plotPoint_ = to;
    tool_ = {x, y, z, 0.0};
    for (size_t i = 0; i < 4; ++i)
      savedColours_[i] = PathImage->pixelAt(plotPoint_.x + kNeighbours[i][0], plotPoint_.y + kNeighbours[i][1]);
    return;
  }
  ++runSteps_;
  runMinZ_ = std::min(runMinZ_, z);
  runMaxZ_ = std::max(runMaxZ_, z);
  if (z == ZLevel) {
    // Only the path at the chosen Z level is drawn: a line from the last
    // step to this one.
    ++drawnSteps_;
    PathImage->drawLine(plotPoint_, to, kRed);
    PathImage->recordSegment(tool_.X, tool_.Y, x, y);
  }
  plotPoint_ = to;
  tool_ = {x, y, z, 0.0};
  showCross();
  Panel2->setText(format("X%.3f Y%.3f Z%.3f", x, y, z));
}

void TSimulatorForm::DisplayCommandLine(int lineIndex) {
  QTextDocument* doc = ProgramMemo->document();
  if (lineIndex < 0 || lineIndex >= doc->blockCount()) return;
  const QTextBlock block = doc->findBlockByNumber(lineIndex);
  // The whole line selected, the cursor at its start: a line wider than the
  // view shows its beginning, not its end.
  QTextCursor cursor(doc);
  cursor.setPosition(block.position() + block.length() - 1);
  cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
  ProgramMemo->setTextCursor(cursor);
  ProgramMemo->horizontalScrollBar()->setValue(0);
  ProgramMemo->verticalScrollBar()->setValue(lineIndex / 5 * 5);
  ProgramMemo->setFocus();
}

// ---------------------------------------------------------------- simulator button

bool runSimulator(QWidget* parent, const std::vector<std::string>& editorLines, const MessageCatalog& catalog,
                  MessageLog& log, const std::string& workingDir) {
  // The block list lives as long as the simulation that reads it.
  auto list = std::make_unique<sim::BlockList>();
  const sim::ConversionResult result = sim::ConvertProgram(editorLines, *list, log, workingDir);
  if (!result.ok()) return false;
  TSimulatorForm form(catalog, *list, editorLines, parent);
  form.exec();
  return true;
}

}  // namespace zar
