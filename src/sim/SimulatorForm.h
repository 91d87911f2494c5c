#pragma once
// The simulator window: the converted program beside a plotting area. It
// runs, pauses, single-steps and stops the path interpreter, draws the path
// as a line from step to step at the chosen Z level with a small cross on the
// tool, highlights the source line being executed, shows the coordinates and
// the path's extent, and offers 32 output lamps and a button for input waits.
// The plot keeps X and Y at one scale unless "Equal scale" is cleared; the
// window opens at its designed size and grows, the plot taking the room.

#include <QDialog>
#include <QImage>
#include <QWidget>
#include <array>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "sim/BlockRecord.h"
#include "sim/Interpreter.h"
#include "sim/QtPlotArea.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace zar {

class MessageCatalog;
class MessageLog;

class TSimulatorForm : public QDialog, public sim::PathSink {
 public:
  // `list` holds the converted program and must outlive the window;
  // `programLines` are the editor's lines (8-bit, catalog encoding).
  TSimulatorForm(const MessageCatalog& catalog, sim::BlockList& list,
                 const std::vector<std::string>& programLines, QWidget* parent = nullptr);
  ~TSimulatorForm() override;

  // ---- Controls (objectName = member name).
  QFrame* Panel1 = nullptr;  // lowered frame around the image
  SimPathImage* PathImage = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPlainTextEdit* ProgramMemo = nullptr;
  QLabel* Panel2 = nullptr;
  QLabel* Panel3 = nullptr;
  QFrame* OutPanel = nullptr;
  std::array<QLabel*, 32> Lamps{};
  QCheckBox* OutCheck = nullptr;
  QCheckBox* InCheck = nullptr;
  QPushButton* S_InBtn = nullptr;
  QGroupBox* StepSel = nullptr;
  std::array<QRadioButton*, 2> StepSelItems{};
  QGroupBox* SetUnit = nullptr;
  std::array<QRadioButton*, 2> SetUnitItems{};
  QCheckBox* XDIRCheck = nullptr;
  QCheckBox* YDIRCheck = nullptr;
  QCheckBox* EqualScaleCheck = nullptr;
  QLabel* ZLevelNote = nullptr;  // over the plot: why a finished run drew nothing
  QFrame* Panel4 = nullptr;
  QComboBox* ResolutionSel = nullptr;
  QPushButton* ClsBtn = nullptr;
  QPushButton* StartBtn = nullptr;
  QPushButton* StopBtn = nullptr;
  QPushButton* PauseBtn = nullptr;
  QLabel* Label1 = nullptr;
  QDoubleSpinBox* FSpinEdit1 = nullptr;
  QPushButton* CloseBtn = nullptr;
  QPushButton* Button2 = nullptr;
  QTimer* Timer1 = nullptr;
  QTimer* RunTimer = nullptr;

  // ---- Handlers.
  void StartBtnClick();
  void StopBtnClick();
  void PauseBtnClick();
  void S_InBtnClick();
  void RunTimerTimer();
  void Timer1Timer();
  void ClsBtnClick() { ShowXYCoord(); }
  void XDIRCheckClick();
  void YDIRCheckClick();
  void EqualScaleCheckClick();
  void SetUnitClick();
  void OutCheckClick();
  void CloseBtnClick();

  // ---- Drawing.
  void ShowXYCoord();
  void PutPixel(double x, double y, double z, bool idle);
  void DisplayCommandLine(int lineIndex);
  static void DrawArrowLine(QImage& image, double x0, double y0, double x1, double y1,
                            Qt::PenStyle style, QColor colour, bool arrow);

  // ---- State.
  sim::Interpreter& interpreter() { return *interpreter_; }
  const PlotGeometry& geometry() const { return geometry_; }
  double ZLevel = 0.0;
  int stepSelIndex() const;
  int setUnitIndex() const;
  // The lamp captioned with `number` (1..32).
  QLabel* lamp(int number) const;
  bool lampIsHigh(int number) const;

  // ---- The interpreter's view of the window.
  sim::SimulatorSettings settings() const override;
  void extentsFound(const sim::PathExtents& extents) override;
  void plot(const sim::ToolPoint& point, sim::Motion motion) override;
  void highlightLine(int lineIndex) override;
  void lampChanged(int number, bool high) override;
  void lampsReset() override;
  void controlsChanged(const sim::RunControls& controls) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void done(int result) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Where a control goes when the window grows: the plot takes the extra
  // width and most of the extra height, the program view the rest.
  enum class Anchor { Plot, UnderPlot, UnderPlotWide, Numbers, Program, Right, BottomRight };
  struct Placed {
    QWidget* widget;
    QRect base;  // geometry at the designed size
    Anchor anchor;
  };
  void place(QWidget* widget, Anchor anchor);
  void layOutForSize();
  // Draws the axes and the recorded path again with the current size and
  // scale, and puts the cross back on the tool.
  void replot();
  void drawAxes();
  void removeCross();
  void showCross();
  void runEnded();

  void buildControls();
  void setCaptions();
  void fillProgram(const std::vector<std::string>& programLines);
  void stopRun();
  void setLamp(int number, bool high);

  const MessageCatalog& catalog_;
  std::unique_ptr<sim::Interpreter> interpreter_;
  PlotGeometry geometry_;
  sim::PathExtents extents_;  // as the preparatory pass found them
  std::vector<Placed> placed_;
  // Plotting point and the saved colours of its four neighbours.
  bool plotStarted_ = false;
  PlotGeometry::Pixel plotPoint_;
  sim::ToolPoint tool_;  // where the plotting point stands, in program units
  bool crossShown_ = false;
  std::array<QRgb, 4> savedColours_{};
  // The current run: steps taken, steps drawn (at the Z level), Z met.
  bool runActive_ = false;
  long runSteps_ = 0;
  long drawnSteps_ = 0;
  double runMinZ_ = std::numeric_limits<double>::infinity();
  double runMaxZ_ = -std::numeric_limits<double>::infinity();
  std::array<bool, 32> lampHigh_{};
  bool centred_ = false;
};

// The program page's simulator button: converts the editor's lines, writes
// the dump file "Test.TXT" into `workingDir`, reports a failure in the
// program page's message area, and opens the simulator window modally when
// the conversion succeeded. Returns whether the window was opened.
bool runSimulator(QWidget* parent, const std::vector<std::string>& editorLines,
                  const MessageCatalog& catalog, MessageLog& log, const std::string& workingDir);

}  // namespace zar
