// The simulator window as the operator sees it: one scale for X and Y, the
// path as a line, a window that grows, a word when nothing was drawn, and
// the controls that must not undo a choice.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <climits>
#include <iostream>

#include "sim/Converter.h"
#include "sim/SimulatorForm.h"
#include "ui/MessageCatalog.h"
#include "ui/QtText.h"

namespace zar {
namespace {

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kDarkGreen = qRgb(0, 128, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);

const MessageCatalog& english() {
  static const MessageCatalog c = [] {
    MessageCatalog m;
    m.load(ZAR_DATA_DIR, 1);
    return m;
  }();
  return c;
}

// A full circle of radius 20 about (25, 25) at Z 0, and a square beside it.
const std::vector<std::string> kCircle = {"(CIRCLE R20 ABOUT X25 Y25)", "G90 G0 X5 Y25", "G2 X45 Y25 I20 J0",
                                          "G2 X5 Y25 I-20 J0", "M30"};

struct Window {
  sim::BlockList list;
  std::unique_ptr<TSimulatorForm> form;

  explicit Window(const std::vector<std::string>& program) {
    sim::Converter converter(list);
    EXPECT_TRUE(converter.ConvertLines(program).ok());
    form = std::make_unique<TSimulatorForm>(english(), list, program);
  }
  TSimulatorForm& f() { return *form; }
  sim::Interpreter& in() { return form->interpreter(); }
  // Unit item 1 ("1 mm"), step length of the given list entry.
  void steps(int index) {
    f().SetUnitItems[1]->click();
    f().ResolutionSel->setCurrentIndex(index);
  }
  void runToEnd() {
    f().StartBtnClick();
    for (int ticks = 0; in().RunState == sim::rsRunning && ticks < 100000; ++ticks) f().RunTimerTimer();
  }
  void tick(int n) {
    for (int i = 0; i < n; ++i) f().RunTimerTimer();
  }
  QRgb px(int x, int y) const { return form->PathImage->pixelAt(x, y); }
  QRgb at(double x, double y) const { return px(form->geometry().pixelX(x), form->geometry().pixelY(y)); }
  int count(QRgb colour) const {
    const QImage& img = form->PathImage->image();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) n += (img.pixel(x, y) | 0xff000000u) == colour;
    return n;
  }
  // Red pixels of the circle about (25, 25) through its centre, across and up.
  int diameterAcross() const { return redSpan(true); }
  int diameterUp() const { return redSpan(false); }
  int redSpan(bool across) const {
    const PlotGeometry& g = form->geometry();
    int low = INT_MAX, high = INT_MIN;
    const int size = across ? form->PathImage->image().width() : form->PathImage->image().height();
    for (int i = 0; i < size; ++i) {
      if ((across ? px(i, g.pixelY(25)) : px(g.pixelX(25), i)) != kRed) continue;
      low = std::min(low, i);
      high = std::max(high, i);
    }
    return high - low;
  }
  // Bounding box of the pixels of a colour.
  QRect box(QRgb colour) const {
    const QImage& img = form->PathImage->image();
    QRect r;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if ((img.pixel(x, y) | 0xff000000u) == colour) r |= QRect(x, y, 1, 1);
    return r;
  }
  void picture(const char* name) {
    const QString path = QDir::temp().filePath(QString::fromLatin1(name));
    f().Timer1Timer();
    ASSERT_TRUE(f().grab().save(path));
    std::cout << "window picture: " << path.toStdString() << std::endl;
  }
};

TEST(SimulatorView, EqualScaleKeepsACircleRoundAndSwitchesWithoutARun) {
  Window w(kCircle);
  ASSERT_NE(w.f().findChild<QCheckBox*>("EqualScaleCheck"), nullptr);
  EXPECT_TRUE(w.f().EqualScaleCheck->isChecked());
  EXPECT_EQ(w.f().EqualScaleCheck->text(), catalogText(english(), 188));
  w.f().show();
  w.steps(0);
  w.runToEnd();
  ASSERT_EQ(w.in().RunState, sim::rsIdle);
  EXPECT_EQ(w.f().geometry().ScaleX, w.f().geometry().ScaleY);
  // The drawn diameters across and up: equal, at the scale of the side with
  // less room (45 units of path on 347 pixels).
  EXPECT_NEAR(w.diameterAcross(), w.diameterUp(), 2);
  EXPECT_NEAR(w.diameterUp(), 40 * 347 / 45.0, 2);
  w.picture("zar_sim_circle_equal.png");

  // Cleared: each axis fills the frame by the larger side, as drawn before;
  // the path already drawn is drawn again at that scale at once.
  w.f().EqualScaleCheck->click();
  EXPECT_NE(w.f().geometry().ScaleX, w.f().geometry().ScaleY);
  EXPECT_NEAR(w.diameterAcross(), 40 * 403 / 45.0, 2);
  EXPECT_NEAR(w.diameterUp(), 40 * 347 / 45.0, 2);
  w.picture("zar_sim_circle_stretched.png");
  w.f().close();
}

TEST(SimulatorView, TheWindowGrowsFromItsDesignedSizeAndThePlotTakesTheRoom) {
  Window w(kCircle);
  TSimulatorForm& f = w.f();
  EXPECT_EQ(f.size(), QSize(634, 484));
  EXPECT_EQ(f.minimumSize(), QSize(634, 484));
  EXPECT_NE(f.maximumSize(), f.minimumSize());
  f.show();
  w.steps(0);
  w.runToEnd();
  const QRect before = w.box(kRed);
  const QRect startBefore = f.StartBtn->geometry();
  const QRect closeBefore = f.CloseBtn->geometry();
  const QRect programBefore = f.ProgramMemo->geometry();

  f.resize(1034, 784);  // 400 wider, 300 taller
  EXPECT_EQ(f.PathImage->image().size(), QSize(413 + 400, 357 + 225));
  EXPECT_EQ(f.PathImage->size(), f.PathImage->image().size());
  EXPECT_EQ(f.StartBtn->geometry(), startBefore.translated(400, 0));
  EXPECT_EQ(f.CloseBtn->geometry(), closeBefore.translated(400, 300));
  EXPECT_EQ(f.ProgramMemo->geometry(), QRect(programBefore.topLeft() + QPoint(0, 225),
                                             programBefore.size() + QSize(400, 75)));
  // The path is drawn again at the larger scale, and the cross is back on the tool.
  const QRect after = w.box(kRed);
  EXPECT_GT(after.height(), before.height() * 1.4);
  EXPECT_NEAR(after.width(), after.height(), 2);
  EXPECT_EQ(w.count(kDarkGreen), 4);
  EXPECT_EQ(w.px(f.geometry().pixelX(5) + 1, f.geometry().pixelY(25)), kDarkGreen);
  EXPECT_EQ(f.geometry().OriginY(), f.PathImage->image().height() - 5);
  w.picture("zar_sim_circle_resized.png");

  f.resize(200, 200);  // never below the designed size
  EXPECT_EQ(f.size(), QSize(634, 484));
  EXPECT_EQ(f.PathImage->image().size(), QSize(413, 357));
  EXPECT_EQ(f.StartBtn->geometry(), startBefore);
  f.close();
}

TEST(SimulatorView, ARunThatDrawsNothingAtTheZLevelSaysSoWithTheZRange) {
  Window w({"G0 Z5", "G0 X10 Y10", "G1 Z-2", "G1 X30", "G1 Y30", "G0 Z5", "M30"});
  w.f().show();
  w.steps(4);
  w.runToEnd();
  EXPECT_EQ(w.count(kRed), 0);
  ASSERT_FALSE(w.f().ZLevelNote->isHidden());
  EXPECT_EQ(w.f().ZLevelNote->text(), catalogText(english(), 191) + "Z-2.000 .. Z5.000");
  w.picture("zar_sim_nothing_drawn.png");

  // CLS puts the note away with the picture; at the cut depth the path shows.
  w.f().ClsBtn->click();
  EXPECT_TRUE(w.f().ZLevelNote->isHidden());
  w.f().FSpinEdit1->setValue(-2);
  w.runToEnd();
  EXPECT_TRUE(w.f().ZLevelNote->isHidden());
  EXPECT_EQ(w.at(20, 10), kRed);
  EXPECT_EQ(w.at(30, 20), kRed);

  // STOP before anything was drawn at the level: also said.
  w.f().FSpinEdit1->setValue(7);
  w.f().StartBtnClick();
  w.tick(3);
  w.f().StopBtnClick();
  EXPECT_FALSE(w.f().ZLevelNote->isHidden());
}

TEST(SimulatorView, ClearInTheMiddleOfARunDrawsOnFromTheTool) {
  Window w({"G1 X100", "G1 Y60", "M30"});
  w.steps(4);  // 10 per step
  w.f().StartBtnClick();
  w.tick(5);  // X at 50
  ASSERT_EQ(w.at(30, 0), kRed);
  w.f().ClsBtn->click();
  EXPECT_EQ(w.count(kRed), 0);
  EXPECT_EQ(w.count(kDarkGreen), 0);
  for (int ticks = 0; w.in().RunState == sim::rsRunning && ticks < 1000; ++ticks) w.f().RunTimerTimer();
  EXPECT_EQ(w.in().RunState, sim::rsIdle);
  EXPECT_NE(w.at(30, 0), kRed);  // cleared and not drawn again
  EXPECT_EQ(w.at(80, 0), kRed);  // the rest of the run, from where the tool was
  EXPECT_EQ(w.at(100, 30), kRed);
  // A redraw (a new size) shows only what was drawn after the clear.
  w.f().resize(700, 500);
  EXPECT_NE(w.at(30, 0), kRed);
  EXPECT_EQ(w.at(80, 0), kRed);
}

TEST(SimulatorView, MirroredYPutsTheOriginAtTheTopAndDrawsDownwards) {
  Window w({"G1 X100 Y50", "M30"});
  w.steps(4);
  w.f().YDIRCheck->click();
  const PlotGeometry& g = w.f().geometry();
  EXPECT_EQ(g.YSign, 1);
  EXPECT_DOUBLE_EQ(g.OriginY(), 5);
  EXPECT_EQ(w.px(5, 20), kBlue);   // the Y axis runs down from the top left
  EXPECT_EQ(w.px(5, 340), qRgb(255, 255, 255));
  w.runToEnd();
  EXPECT_GT(g.pixelY(50), g.pixelY(0));
  EXPECT_EQ(w.at(50, 25), kRed);
  EXPECT_EQ(w.px(g.pixelX(100), g.pixelY(50) + 1), kDarkGreen);

  w.f().YDIRCheck->click();  // back: cleared, origin at the bottom again
  EXPECT_EQ(w.count(kRed), 0);
  EXPECT_DOUBLE_EQ(w.f().geometry().OriginY(), 352);
}

TEST(SimulatorView, ClickingTheChosenUnitKeepsTheStepLength) {
  Window w(kCircle);
  TSimulatorForm& f = w.f();
  f.SetUnitItems[1]->click();
  f.ResolutionSel->setCurrentIndex(3);
  f.SetUnitItems[1]->click();  // the unit already chosen
  EXPECT_EQ(f.ResolutionSel->currentIndex(), 3);
  EXPECT_EQ(f.ResolutionSel->itemText(3), "5");
  f.SetUnitItems[0]->click();  // a real change refills the list
  EXPECT_EQ(f.ResolutionSel->currentIndex(), -1);
  EXPECT_EQ(f.ResolutionSel->itemText(3), "5000");
}

TEST(SimulatorView, AHighlightedLongLineShowsItsStart) {
  std::string longLine = "G1 X10";
  for (int i = 0; i < 50; ++i) longLine += " Y10";
  Window w({"G1 X1", longLine, "M30"});
  TSimulatorForm& f = w.f();
  f.show();
  f.DisplayCommandLine(1);
  QScrollBar* across = f.ProgramMemo->horizontalScrollBar();
  ASSERT_GT(across->maximum(), 0);
  EXPECT_EQ(across->value(), 0);
  EXPECT_EQ(f.ProgramMemo->textCursor().selectedText(), QString::fromStdString(longLine));
  across->setValue(across->maximum());
  f.DisplayCommandLine(1);
  EXPECT_EQ(across->value(), 0);
  f.close();
}

TEST(SimulatorView, PauseIsOffWhileASingleStepWaitsAndPausesTheStep) {
  Window w({"G1 X100", "G1 Y100", "M30"});
  TSimulatorForm& f = w.f();
  w.steps(4);
  f.StepSelItems[0]->click();
  f.StartBtnClick();
  EXPECT_TRUE(f.PauseBtn->isEnabled());  // the first step runs
  w.tick(10);
  ASSERT_EQ(w.in().RunState, sim::rsStepWait);
  EXPECT_FALSE(f.PauseBtn->isEnabled());  // nothing runs that it could hold
  EXPECT_TRUE(f.StartBtn->isEnabled());

  f.StartBtnClick();  // the next step
  EXPECT_TRUE(f.PauseBtn->isEnabled());
  w.tick(3);
  f.PauseBtn->click();
  EXPECT_EQ(w.in().RunState, sim::rsPaused);
  const double y = w.in().Position[1];
  w.tick(3);
  EXPECT_DOUBLE_EQ(w.in().Position[1], y);
  f.StartBtnClick();
  w.tick(20);
  EXPECT_EQ(w.in().RunState, sim::rsStepWait);
  EXPECT_DOUBLE_EQ(w.in().Position[1], 100);
}

}  // namespace
}  // namespace zar
