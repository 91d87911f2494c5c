// The simulator window driven offscreen: geometry, controls, run control,
// lamps, input waits, Z level, line highlight and a picture of a finished run.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "sim/Converter.h"
#include "sim/SimulatorForm.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"
#include "ui/QtText.h"
#include "support/RecordingOperator.h"

namespace zar {
namespace {

using sim::BlockRecord;

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kDarkGreen = qRgb(0, 128, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kBlue = qRgb(0, 0, 255);

const MessageCatalog& catalog() {
  static const MessageCatalog c = [] {
    MessageCatalog m;
    m.load(ZAR_DATA_DIR, 1);
    return m;
  }();
  return c;
}

// Hand-made records, one per source line unless told otherwise.
BlockRecord move(std::uint8_t code, int line, std::uint8_t mx, double x, double y = 0, double z = 0) {
  BlockRecord r;
  r.C = code;
  r.MX = mx;
  r.X = x;
  r.Y = y;
  r.Z = z;
  r.N = r.B = line;
  return r;
}

BlockRecord io(std::uint8_t code, int line, int number, bool high) {
  BlockRecord r;
  r.C = code;
  r.X = number;
  r.Y = high ? 1.0 : 0.0;
  r.N = r.B = line;
  return r;
}

struct Fixture {
  sim::BlockList list;
  std::unique_ptr<TSimulatorForm> form;

  Fixture(std::initializer_list<BlockRecord> records, std::vector<std::string> lines = {}) {
    for (const auto& r : records) list.AppendBlock(r);
    if (lines.empty())
      for (int i = 0; i < list.count(); ++i) lines.push_back("line " + std::to_string(i + 1));
    form = std::make_unique<TSimulatorForm>(catalog(), list, lines);
  }
  TSimulatorForm& f() { return *form; }
  sim::Interpreter& in() { return form->interpreter(); }

  // Step length 10 program units (unit item 1, last entry).
  void stepTen() {
    f().SetUnitItems[1]->click();
    f().ResolutionSel->setCurrentIndex(4);
  }
  int run(int maxTicks = 10000) {
    int ticks = 0;
    while (in().RunState == sim::rsRunning && f().RunTimer->isActive() && ticks < maxTicks) {
      f().RunTimerTimer();
      ++ticks;
    }
    return ticks;
  }
  QRgb px(int x, int y) const { return form->PathImage->pixelAt(x, y); }
  QRgb at(double x, double y) const { return px(form->geometry().pixelX(x), form->geometry().pixelY(y)); }
  bool columnHas(int x, QRgb colour) const {
    for (int y = 0; y < form->PathImage->image().height(); ++y)
      if (px(x, y) == colour) return true;
    return false;
  }
  int count(QRgb colour) const {
    const QImage& img = form->PathImage->image();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) n += (img.pixel(x, y) | 0xff000000u) == colour;
    return n;
  }
};

// ---------------------------------------------------------------- geometry

TEST(PlotGeometry, WorkedExampleHoldsToThePixel) {
  PlotGeometry g;
  EXPECT_DOUBLE_EQ(g.OriginX(), 5);
  EXPECT_DOUBLE_EQ(g.OriginY(), 352);
  g.setExtents({0, 100, 0, 50});
  EXPECT_NEAR(g.ScaleX, 4.03, 1e-12);
  EXPECT_NEAR(g.ScaleY, 3.47, 1e-12);
  EXPECT_EQ(g.pixelX(100), 411);
  EXPECT_EQ(g.pixelY(50), 176);  // 352 - 3 - 173
  EXPECT_EQ(g.pixelX(0), g.homeX());
  EXPECT_EQ(g.pixelY(0), g.homeY());
}

TEST(PlotGeometry, MirroredDirectionsMoveTheOrigin) {
  PlotGeometry g;
  g.XSign = -1;
  g.YSign = 1;
  EXPECT_DOUBLE_EQ(g.OriginX(), 408);  // image width - 5
  EXPECT_DOUBLE_EQ(g.OriginY(), 5);
  g.setExtents({-20, 80, 0, 10});  // span from X
  EXPECT_EQ(g.homeX(), 405);
  EXPECT_EQ(g.homeY(), 8);
  EXPECT_EQ(g.pixelX(80), 405 - 403);
  EXPECT_EQ(g.pixelY(10), 8 + 34);  // 10 * 3.47 cut
}

TEST(PlotGeometry, DegenerateExtentsStayUsable) {
  PlotGeometry g;
  g.setExtents({0, 0, 0, 0});
  EXPECT_TRUE(std::isfinite(g.ScaleX));
  EXPECT_TRUE(std::isfinite(g.ScaleY));
  EXPECT_EQ(g.pixelX(0), 8);
  EXPECT_EQ(g.pixelY(0), 349);
  // Points far outside, or not numbers at all, land off the image without overflow.
  EXPECT_LT(g.pixelX(-1e300), 0);
  EXPECT_GT(g.pixelX(1e300), 413);
  EXPECT_LT(g.pixelY(std::nan("")), 0);
  g.setExtents({-1e308, 1e308, 0, 0});
  EXPECT_TRUE(std::isfinite(g.ScaleX));
}

TEST(PlotGeometry, ArrowBarbsPointBackAlongTheLine) {
  // The default X axis: 5,352 -> 55,352.
  auto x = PlotGeometry::arrowBarbs(5, 352, 55, 352);
  EXPECT_EQ(x[0], (PlotGeometry::Pixel{50, 354}));
  EXPECT_EQ(x[1], (PlotGeometry::Pixel{50, 349}));
  // The default Y axis: 5,352 -> 5,302.
  auto y = PlotGeometry::arrowBarbs(5, 352, 5, 302);
  EXPECT_EQ(y[0], (PlotGeometry::Pixel{7, 306}));
  EXPECT_EQ(y[1], (PlotGeometry::Pixel{2, 306}));
}

// ---------------------------------------------------------------- controls

TEST(SimulatorForm, EveryControlExistsWithItsCaptionAndStartState) {
  Fixture fx({move(sim::bcG01, 0, sim::mxX, 1)});
  TSimulatorForm& f = fx.f();
  EXPECT_EQ(f.size(), QSize(634, 484));
  EXPECT_EQ(f.windowTitle(), catalogText(catalog(), 27));

  const std::pair<const char*, int> buttons[] = {{"StartBtn", 96}, {"StopBtn", 97}, {"PauseBtn", 98},
                                                 {"ClsBtn", 193},  {"CloseBtn", 74}, {"S_InBtn", 190}};
  for (auto [name, id] : buttons) {
    auto* b = f.findChild<QPushButton*>(name);
    ASSERT_NE(b, nullptr) << name;
    EXPECT_EQ(b->text(), catalogText(catalog(), id)) << name;
    EXPECT_FALSE(b->text().isEmpty()) << name;
  }
  const std::pair<const char*, int> checks[] = {
      {"OutCheck", 189}, {"InCheck", 190}, {"XDIRCheck", 194}, {"YDIRCheck", 195}};
  for (auto [name, id] : checks) {
    auto* c = f.findChild<QCheckBox*>(name);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->text(), catalogText(catalog(), id)) << name;
    EXPECT_FALSE(c->isChecked()) << name;
  }
  for (const char* name : {"PathImage", "Panel1", "Panel2", "Panel3", "Panel4", "OutPanel", "Memo1",
                           "ProgramMemo", "StepSel", "SetUnit", "ResolutionSel", "Label1", "FSpinEdit1",
                           "Button2"})
    EXPECT_NE(f.findChild<QWidget*>(name), nullptr) << name;
  EXPECT_NE(f.findChild<QTimer*>("RunTimer"), nullptr);
  EXPECT_NE(f.findChild<QTimer*>("Timer1"), nullptr);
  EXPECT_EQ(f.PathImage->image().size(), QSize(413, 357));
  EXPECT_EQ(f.Label1->text(), catalogText(catalog(), 234));
  EXPECT_EQ(f.StepSelItems[0]->text(), catalogText(catalog(), 186));
  EXPECT_EQ(f.SetUnitItems[1]->text(), catalogText(catalog(), 197));

  EXPECT_TRUE(f.StartBtn->isEnabled());
  EXPECT_FALSE(f.StopBtn->isEnabled());
  EXPECT_FALSE(f.PauseBtn->isEnabled());
  EXPECT_TRUE(f.OutPanel->isHidden());
  EXPECT_TRUE(f.S_InBtn->isHidden());
  EXPECT_TRUE(f.Button2->isHidden());
  EXPECT_EQ(f.stepSelIndex(), 1);
  EXPECT_EQ(f.setUnitIndex(), 0);
  EXPECT_TRUE(f.Timer1->isActive());
  EXPECT_FALSE(f.RunTimer->isActive());
  EXPECT_EQ(f.interpreter().RunState, sim::rsIdle);
  EXPECT_FALSE(f.Memo1->isEnabled());
  EXPECT_TRUE(f.ProgramMemo->isReadOnly());
}

TEST(SimulatorForm, LampsAreLaidOutInRowsOfEightAndStartGreen) {
  Fixture fx({move(sim::bcG01, 0, sim::mxX, 1)});
  for (int n = 1; n <= 32; ++n) {
    auto* lamp = fx.f().OutPanel->findChild<QLabel*>(QString::asprintf("O%02d", n));
    ASSERT_NE(lamp, nullptr) << n;
    EXPECT_EQ(lamp->text(), QString::asprintf("%02d", n));
    const int i = n - 1;
    EXPECT_EQ(lamp->geometry(), QRect((i % 8) * 24 + 8, (i / 8) * 24 + 8, 17, 17)) << n;
    EXPECT_FALSE(fx.f().lampIsHigh(n));
  }
  fx.f().OutCheck->click();
  EXPECT_FALSE(fx.f().OutPanel->isHidden());
  fx.f().OutCheck->click();
  EXPECT_TRUE(fx.f().OutPanel->isHidden());
}

TEST(SimulatorForm, UnitChoiceRefillsTheStepList) {
  Fixture fx({move(sim::bcG01, 0, sim::mxX, 1)});
  TSimulatorForm& f = fx.f();
  auto items = [&] {
    QStringList l;
    for (int i = 0; i < f.ResolutionSel->count(); ++i) l << f.ResolutionSel->itemText(i);
    return l;
  };
  EXPECT_EQ(items(), (QStringList{"100", "1000", "2000", "5000", "10000"}));
  EXPECT_EQ(f.ResolutionSel->currentIndex(), -1);
  EXPECT_EQ(f.ResolutionSel->placeholderText(), catalogText(catalog(), 192));
  f.ResolutionSel->setCurrentIndex(2);
  f.SetUnitItems[1]->click();
  EXPECT_EQ(items(), (QStringList{"0.5", "1", "2", "5", "10"}));
  EXPECT_EQ(f.ResolutionSel->currentIndex(), -1);  // back to the caption
  EXPECT_EQ(f.settings().unit, 1);
  EXPECT_EQ(f.settings().resolution, -1);

  // No choice runs with the first entry of the unit.
  f.StartBtnClick();
  EXPECT_DOUBLE_EQ(f.interpreter().StepLength, 0.5);
}

TEST(SimulatorForm, EnterInTheZLevelBoxIsSwallowed) {
  Fixture fx({move(sim::bcG01, 0, sim::mxX, 1)});
  fx.f().show();
  fx.f().FSpinEdit1->setValue(3);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(fx.f().FSpinEdit1, &press);
  EXPECT_TRUE(fx.f().isVisible());
  EXPECT_DOUBLE_EQ(fx.f().FSpinEdit1->value(), 3);
  fx.f().CloseBtn->click();
  EXPECT_FALSE(fx.f().isVisible());
}

// ---------------------------------------------------------------- running

TEST(SimulatorForm, ContinuousRunDrawsALineFromStepToStepAndEnds) {
  Fixture fx({move(sim::bcG01, 0, sim::mxX | sim::mxY, 100, 50)});
  fx.stepTen();
  fx.f().EqualScaleCheck->click();  // the scale of the worked example
  fx.f().StartBtnClick();
  EXPECT_EQ(fx.f().Panel3->text(), "(X0.000,Y0.000) , (X100.000,Y50.000)");
  EXPECT_FALSE(fx.f().StartBtn->isEnabled());
  EXPECT_TRUE(fx.f().StopBtn->isEnabled());
  EXPECT_TRUE(fx.f().PauseBtn->isEnabled());
  EXPECT_TRUE(fx.f().RunTimer->isActive());

  EXPECT_EQ(fx.run(), 10);
  EXPECT_EQ(fx.in().RunState, sim::rsIdle);
  EXPECT_FALSE(fx.f().RunTimer->isActive());
  EXPECT_TRUE(fx.f().StartBtn->isEnabled());
  EXPECT_FALSE(fx.f().StopBtn->isEnabled());

  // Every step point is on the path, and no column between them is left
  // out: a line, not dots. The cross sits on the end point.
  for (int k = 0; k < 10; ++k) EXPECT_EQ(fx.at(10 * k, 5 * k), kRed) << k;
  for (int x = fx.f().geometry().pixelX(0); x < 410; ++x) EXPECT_TRUE(fx.columnHas(x, kRed)) << x;
  EXPECT_EQ(fx.px(411, 176), kRed);
  EXPECT_EQ(fx.px(410, 176), kDarkGreen);
  EXPECT_EQ(fx.px(412, 176), kDarkGreen);
  EXPECT_EQ(fx.px(411, 175), kDarkGreen);
  EXPECT_EQ(fx.px(411, 177), kDarkGreen);
  EXPECT_EQ(fx.f().Panel2->text(), "X100.000 Y50.000 Z0.000");
  const int drawn = fx.count(kRed);

  // The next START removes the cross, keeps the drawing and runs again.
  fx.f().StartBtnClick();
  EXPECT_EQ(fx.px(410, 176), kRed);
  EXPECT_EQ(fx.count(kDarkGreen), 0);
  fx.run();
  EXPECT_EQ(fx.count(kRed), drawn);  // the same line, drawn over itself
  EXPECT_EQ(fx.count(kDarkGreen), 4);
}

TEST(SimulatorForm, PauseResumeAndStop) {
  Fixture fx({move(sim::bcG01, 0, sim::mxX, 100), move(sim::bcG01, 1, sim::mxX, 0)});
  fx.stepTen();
  fx.f().StartBtnClick();
  for (int i = 0; i < 3; ++i) fx.f().RunTimerTimer();
  fx.f().PauseBtnClick();
  EXPECT_EQ(fx.in().RunState, sim::rsPaused);
  EXPECT_FALSE(fx.f().RunTimer->isActive());
  EXPECT_TRUE(fx.f().StartBtn->isEnabled());
  EXPECT_FALSE(fx.f().PauseBtn->isEnabled());
  const double x = fx.in().Position[0];
  fx.f().RunTimerTimer();  // a stray tick while paused moves nothing
  EXPECT_DOUBLE_EQ(fx.in().Position[0], x);

  fx.f().StartBtnClick();
  EXPECT_EQ(fx.in().RunState, sim::rsRunning);
  EXPECT_TRUE(fx.f().RunTimer->isActive());
  fx.f().RunTimerTimer();
  EXPECT_DOUBLE_EQ(fx.in().Position[0], x + 10);  // continues where it stopped

  fx.f().StopBtnClick();
  EXPECT_EQ(fx.in().RunState, sim::rsIdle);
  EXPECT_FALSE(fx.f().RunTimer->isActive());
  EXPECT_TRUE(fx.f().StartBtn->isEnabled());
  EXPECT_FALSE(fx.f().StopBtn->isEnabled());
  EXPECT_FALSE(fx.f().PauseBtn->isEnabled());
}

TEST(SimulatorForm, SingleStepWaitsForStartAfterEachCommand) {
  Fixture fx({move(sim::bcG01, 0, sim::mxX, 20), move(sim::bcG01, 1, sim::mxY, 0, 20),
              move(sim::bcG01, 2, sim::mxX, 0)});
  fx.stepTen();
  fx.f().StepSelItems[0]->click();
  fx.f().StartBtnClick();
  EXPECT_EQ(fx.run(), 2);
  EXPECT_EQ(fx.in().RunState, sim::rsStepWait);
  EXPECT_FALSE(fx.f().RunTimer->isActive());
  EXPECT_TRUE(fx.f().StartBtn->isEnabled());
  EXPECT_EQ(fx.in().CommandIndex, 0);

  fx.f().StartBtnClick();
  EXPECT_EQ(fx.in().CommandIndex, 1);
  EXPECT_FALSE(fx.f().StartBtn->isEnabled());
  fx.run();
  EXPECT_EQ(fx.in().RunState, sim::rsStepWait);
  EXPECT_DOUBLE_EQ(fx.in().Position[1], 20);
  // The line being executed is the highlighted one.
  EXPECT_EQ(fx.f().ProgramMemo->textCursor().selectedText(), "line 2");

  fx.f().StepSelItems[1]->click();  // back to continuous for the rest
  fx.f().StartBtnClick();
  fx.run();
  EXPECT_EQ(fx.in().RunState, sim::rsIdle);
  EXPECT_DOUBLE_EQ(fx.in().Position[0], 0);
}

TEST(SimulatorForm, OutputRecordsLightLampsOnlyWhileShown) {
  Fixture fx({io(sim::bcOutput, 0, 3, true), io(sim::bcOutput, 1, 5, true), io(sim::bcOutput, 2, 5, false),
              io(sim::bcOutput, 3, 33, true), io(sim::bcOutput, 4, 0, true)});
  fx.f().StartBtnClick();
  fx.run();
  EXPECT_FALSE(fx.f().lampIsHigh(3));  // box clear: no visible effect

  fx.f().OutCheck->click();
  fx.f().StartBtnClick();
  fx.run();
  EXPECT_EQ(fx.in().RunState, sim::rsIdle);
  EXPECT_TRUE(fx.f().lampIsHigh(3));
  EXPECT_TRUE(fx.f().lamp(3)->styleSheet().contains("#ff0000"));
  EXPECT_FALSE(fx.f().lampIsHigh(5));  // set, then cleared
  for (int n : {1, 2, 4, 6, 32}) EXPECT_FALSE(fx.f().lampIsHigh(n)) << n;

  fx.f().StartBtnClick();  // every START turns the lamps green
  EXPECT_FALSE(fx.f().lampIsHigh(3));
}

TEST(SimulatorForm, InputWaitShowsTheButtonUntilPressed) {
  Fixture fx({io(sim::bcInput, 0, 1, true), move(sim::bcG01, 1, sim::mxX, 10)});
  fx.stepTen();
  fx.f().StartBtnClick();
  fx.run();
  EXPECT_EQ(fx.in().RunState, sim::rsIdle);  // box clear: no wait

  fx.f().InCheck->click();
  fx.f().StartBtnClick();
  fx.run();
  EXPECT_FALSE(fx.f().S_InBtn->isHidden());
  EXPECT_FALSE(fx.f().RunTimer->isActive());
  EXPECT_EQ(fx.in().CommandIndex, 0);

  fx.f().S_InBtn->click();
  EXPECT_TRUE(fx.f().S_InBtn->isHidden());
  EXPECT_TRUE(fx.f().RunTimer->isActive());
  fx.run();
  EXPECT_EQ(fx.in().RunState, sim::rsIdle);
  EXPECT_DOUBLE_EQ(fx.in().Position[0], 10);
}

TEST(SimulatorForm, OnlyThePathAtTheZLevelIsDrawn) {
  Fixture fx({move(sim::bcG01, 0, sim::mxZ, 0, 0, 5), move(sim::bcG01, 1, sim::mxX | sim::mxY, 100, 50)});
  fx.stepTen();
  fx.f().StartBtnClick();  // spin box at 0: the path at Z 5 leaves no line
  EXPECT_TRUE(fx.f().ZLevelNote->isHidden());
  fx.run();
  EXPECT_EQ(fx.count(kRed), 0);
  EXPECT_EQ(fx.at(50, 25), kWhite);
  EXPECT_EQ(fx.count(kDarkGreen), 4);  // but the cross follows the tool
  EXPECT_EQ(fx.f().Panel2->text(), "X100.000 Y50.000 Z5.000");
  // The empty picture is explained, with the Z the path ran at.
  EXPECT_FALSE(fx.f().ZLevelNote->isHidden());
  EXPECT_EQ(fx.f().ZLevelNote->text(), catalogText(catalog(), 191) + "Z5.000 .. Z5.000");

  fx.f().FSpinEdit1->setValue(5);
  fx.f().StartBtnClick();
  EXPECT_TRUE(fx.f().ZLevelNote->isHidden());
  EXPECT_DOUBLE_EQ(fx.f().ZLevel, 5);
  fx.run();
  EXPECT_GE(fx.count(kRed), 10);
  EXPECT_EQ(fx.at(50, 25), kRed);
  EXPECT_TRUE(fx.f().ZLevelNote->isHidden());
}

TEST(SimulatorForm, DirectionChangeClearsAndMirrorsThePlot) {
  Fixture fx({move(sim::bcG01, 0, sim::mxX | sim::mxY, 100, 50)});
  fx.stepTen();
  fx.f().StartBtnClick();
  fx.run();
  ASSERT_GT(fx.count(kRed), 0);
  EXPECT_EQ(fx.px(5, 351), kBlue);  // X axis from the bottom left

  fx.f().XDIRCheck->click();
  EXPECT_EQ(fx.count(kRed), 0);
  EXPECT_EQ(fx.count(kDarkGreen), 0);
  EXPECT_DOUBLE_EQ(fx.f().geometry().OriginX(), 408);
  EXPECT_EQ(fx.px(400, 352), kBlue);  // X axis now runs leftwards from the right edge
  EXPECT_EQ(fx.px(10, 352), kWhite);

  fx.f().StartBtnClick();
  fx.run();
  const PlotGeometry& g = fx.f().geometry();
  EXPECT_LT(g.pixelX(100), g.pixelX(0));  // X grows leftwards
  EXPECT_EQ(fx.px(g.pixelX(100) + 1, g.pixelY(50)), kDarkGreen);  // the cross at the mirrored end point
  fx.f().ClsBtn->click();
  EXPECT_EQ(fx.count(kDarkGreen), 0);
  EXPECT_EQ(fx.count(kRed), 0);
}

TEST(SimulatorForm, CommandLineHighlightScrollsInFives) {
  std::vector<std::string> lines;
  for (int i = 0; i < 40; ++i) lines.push_back("G1 X" + std::to_string(i));
  Fixture fx({move(sim::bcG01, 0, sim::mxX, 1)}, lines);
  fx.f().show();
  fx.f().DisplayCommandLine(17);
  EXPECT_EQ(fx.f().ProgramMemo->verticalScrollBar()->value(), 15);
  EXPECT_EQ(fx.f().ProgramMemo->textCursor().selectedText(), "G1 X17");
  fx.f().Timer1Timer();
  EXPECT_EQ(fx.f().Memo1->verticalScrollBar()->value(), 15);  // line numbers follow
  EXPECT_EQ(fx.f().Memo1->document()->findBlockByNumber(17).text(), "N0018");
  fx.f().DisplayCommandLine(400);  // beyond the program: nothing happens
  EXPECT_EQ(fx.f().ProgramMemo->textCursor().selectedText(), "G1 X17");
  fx.f().close();
}

TEST(SimulatorForm, ProgramWithoutXYMotionStillPlots) {
  Fixture fx({move(sim::bcG01, 0, sim::mxZ, 0, 0, 0)});
  fx.f().StartBtnClick();
  EXPECT_TRUE(std::isfinite(fx.f().geometry().ScaleX));
  fx.run();
  EXPECT_EQ(fx.in().RunState, sim::rsIdle);
  EXPECT_EQ(fx.count(kDarkGreen), 4);

  Fixture none({}, {"' only a comment"});  // nothing to execute at all
  none.f().StartBtnClick();
  none.run();
  EXPECT_EQ(none.in().RunState, sim::rsIdle);
  EXPECT_TRUE(none.f().StartBtn->isEnabled());
}

TEST(SimulatorForm, StartAfterAStopCodeGoesOnPastIt) {
  BlockRecord stop;
  stop.C = sim::bcM00;
  stop.N = stop.B = 1;
  Fixture fx({move(sim::bcG01, 0, sim::mxX, 10), stop, move(sim::bcG01, 2, sim::mxX, 20)});
  fx.stepTen();
  fx.f().StartBtnClick();
  fx.run();
  EXPECT_EQ(fx.in().RunState, sim::rsPaused);
  EXPECT_TRUE(fx.f().StartBtn->isEnabled());
  EXPECT_FALSE(fx.f().PauseBtn->isEnabled());
  EXPECT_FALSE(fx.f().RunTimer->isActive());
  fx.f().StartBtnClick();
  fx.run();
  EXPECT_EQ(fx.in().RunState, sim::rsIdle);
  EXPECT_DOUBLE_EQ(fx.in().Position[0], 20);
}

TEST(SimulatorForm, ClosingTheWindowEndsTheRun) {
  Fixture fx({move(sim::bcG01, 0, sim::mxX, 1000)});
  fx.f().show();
  fx.f().StartBtnClick();
  fx.f().RunTimerTimer();
  ASSERT_TRUE(fx.f().RunTimer->isActive());
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(&fx.f(), &escape);
  EXPECT_FALSE(fx.f().isVisible());
  EXPECT_FALSE(fx.f().RunTimer->isActive());
  EXPECT_EQ(fx.in().RunState, sim::rsIdle);
}



TEST(SimulatorForm, TimersDriveTheRunFromTheEventLoop) {
  std::vector<std::string> lines(30, "G1 X100 Y50");
  Fixture fx({move(sim::bcG01, 17, sim::mxX | sim::mxY, 100, 50)}, lines);
  fx.f().show();
  fx.stepTen();
  fx.f().StartBtnClick();
  QElapsedTimer clock;
  clock.start();
  while (fx.in().RunState != sim::rsIdle && clock.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(fx.in().RunState, sim::rsIdle);
  EXPECT_DOUBLE_EQ(fx.in().Position[0], 100);
  EXPECT_EQ(fx.f().ProgramMemo->verticalScrollBar()->value(), 15);
  EXPECT_EQ(fx.f().Memo1->verticalScrollBar()->value(), 15);
  fx.f().close();
}

TEST(SimulatorForm, PictureOfAFinishedRun) {
  const std::vector<std::string> program = {
      "%MPF 1",        "G90 G0 X0 Y0", "G1 X100 Y0 F500", "G1 Y60",
      "G3 X60 Y100 I-40 J0", "G1 X0", "G1 Y0", "G0 X50 Y50",
      "G2 X50 Y50 I15 J0", "DOH3", "DOH12", "M30"};
  sim::BlockList list;
  sim::Converter converter(list);
  ASSERT_TRUE(converter.ConvertLines(program).ok());
  TSimulatorForm form(catalog(), list, program);
  form.show();
  form.OutCheck->click();
  form.SetUnitItems[1]->click();
  form.ResolutionSel->setCurrentIndex(1);  // 1 unit per step
  form.StartBtnClick();
  int ticks = 0;
  while (form.interpreter().RunState == sim::rsRunning && ticks < 100000) {
    form.RunTimerTimer();
    ++ticks;
  }
  ASSERT_EQ(form.interpreter().RunState, sim::rsIdle);
  EXPECT_EQ(form.Panel3->text(), "(X0.000,Y0.000) , (X100.000,Y100.000)");
  EXPECT_TRUE(form.lampIsHigh(3));
  EXPECT_TRUE(form.lampIsHigh(12));
  // The square's corners land where the scale puts them.
  const PlotGeometry& g = form.geometry();
  EXPECT_EQ(form.PathImage->pixelAt(g.pixelX(50), g.pixelY(0)), kRed);
  EXPECT_EQ(form.PathImage->pixelAt(g.pixelX(0), g.pixelY(50)), kRed);
  // One scale for both axes: the square is drawn square.
  EXPECT_EQ(g.pixelX(100) - g.pixelX(0), 347);
  EXPECT_EQ(g.pixelY(0) - g.pixelY(100), 347);

  const QString path = QDir::temp().filePath("zar_simulator_run.png");
  form.Timer1Timer();  // line numbers level with the program, as the timer keeps them
  ASSERT_TRUE(form.grab().save(path));
  // The plot alone at twice its size, to look at the dots.
  const QString plotPath = QDir::temp().filePath("zar_simulator_plot.png");
  const QImage& plot = form.PathImage->image();
  ASSERT_TRUE(plot.scaled(plot.size() * 2).save(plotPath));
  std::cout << "window picture: " << path.toStdString() << ", plot: " << plotPath.toStdString() << std::endl;
  form.close();
}

// ---------------------------------------------------------------- simulator button

struct ButtonRun {
  test::RecordingOperator op;
  MessageLog log{catalog(), op};
  std::filesystem::path dir;
  ButtonRun() {
    dir = std::filesystem::temp_directory_path() /
          ("zar_simbtn_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  ~ButtonRun() { std::filesystem::remove_all(dir); }
  bool press(const std::vector<std::string>& lines, QString* title = nullptr) {
    // The window is modal: close it from the event loop it runs.
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [title] {
      if (auto* w = QApplication::activeModalWidget()) {
        if (title) *title = w->windowTitle();
        w->close();
      }
    });
    closer.start(0);
    return runSimulator(nullptr, lines, catalog(), log, dir.string());
  }
  bool dumpExists() const { return std::filesystem::exists(dir / "Test.TXT"); }
};

TEST(SimulatorButton, OpensTheWindowOnlyAfterASuccessfulConversion) {
  ButtonRun empty;
  EXPECT_FALSE(empty.press({}));
  ASSERT_EQ(empty.op.log().size(), 1u);
  EXPECT_EQ(empty.op.log()[0], catalog().text(198));
  EXPECT_FALSE(empty.dumpExists());

  ButtonRun bad;
  EXPECT_FALSE(bad.press({"G1 X1", "(no closing"}));
  ASSERT_EQ(bad.op.log().size(), 1u);
  EXPECT_EQ(bad.op.log()[0], catalog().text(248) + "  On Line:N0002");
  EXPECT_TRUE(bad.dumpExists());

  ButtonRun good;
  QString title;
  EXPECT_TRUE(good.press({"G1 X10 Y5", "M30"}, &title));
  EXPECT_EQ(title, catalogText(catalog(), 27));
  EXPECT_TRUE(good.op.log().empty());
  EXPECT_TRUE(good.dumpExists());
}

}  // namespace
}  // namespace zar
