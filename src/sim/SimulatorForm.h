#pragma once
// The simulator window: the converted program beside a plotting area. It
// runs, pauses, single-steps and stops the path interpreter, draws the path
// one dot per step at the chosen Z level with a small cross on the tool,
// highlights the source line being executed, shows the coordinates and the
// path's extent, and offers 32 output lamps and a button for input waits.

#include <QDialog>
#include <QImage>
#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "sim/BlockRecord.h"
#include "sim/Interpreter.h"

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

// Mapping of program coordinates to pixels of the plotting image, and the
// axis arrows. Pure arithmetic, kept apart from the widgets.
struct PlotGeometry {
  static constexpr int kImageWidth = 413;
  static constexpr int kImageHeight = 357;
  // A pixel coordinate that lies off every image (non-finite input).
  static constexpr int kOffImage = -1000000;

  int width = kImageWidth;
  int height = kImageHeight;
  double CentreX = kImageWidth / 2.0;
  double CentreY = kImageHeight / 2.0;
  double Margin = 5;
  double AxisLength = 50;
  int XSign = 1;
  int YSign = -1;
  double ScaleX = 1;
  double ScaleY = 1;
  sim::PathExtents extents;

  PlotGeometry() = default;
  PlotGeometry(int imageWidth, int imageHeight)
      : width(imageWidth), height(imageHeight), CentreX(imageWidth / 2.0), CentreY(imageHeight / 2.0) {}

  double OriginX() const { return CentreX + (CentreX - Margin) * -XSign; }
  double OriginY() const { return CentreY + (CentreY - Margin) * -YSign; }

  // Takes the path's extent and fits the scale to the larger of its sides.
  // A path without extent (or a non-finite one) is drawn as if it spanned
  // one program unit, so every point still lands on the image.
  void setExtents(const sim::PathExtents& e);
  static double spanOf(const sim::PathExtents& e);

  // Pixel of a program point; truncation towards zero at both stages.
  int pixelX(double x) const;
  int pixelY(double y) const;
  // The pixel the plot starts from: three pixels inside the origin.
  int homeX() const { return cut(OriginX() + 3 * XSign); }
  int homeY() const { return cut(OriginY() + 3 * YSign); }

  struct Pixel {
    int x = 0, y = 0;
    bool operator==(const Pixel&) const = default;
  };
  // The two barbs of an arrowhead at (x1, y1) on a line from (x0, y0).
  static std::array<Pixel, 2> arrowBarbs(double x0, double y0, double x1, double y1);

  // Truncation towards zero, bounded to a safe range; NaN lies off the image.
  static int cut(double v);
};

// The plotting area: an image drawn pixel by pixel.
class SimPathImage : public QWidget {
 public:
  explicit SimPathImage(QWidget* parent = nullptr);

  QImage& image() { return image_; }
  const QImage& image() const { return image_; }
  void clear();
  QRgb pixelAt(int x, int y) const;  // white outside the image
  void setPixelAt(int x, int y, QRgb colour);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QImage image_;
};

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
  void done(int result) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  void setCaptions();
  void fillProgram(const std::vector<std::string>& programLines);
  void stopRun();
  void setLamp(int number, bool high);

  const MessageCatalog& catalog_;
  std::unique_ptr<sim::Interpreter> interpreter_;
  PlotGeometry geometry_;
  // Plotting point and the saved colours of its four neighbours.
  bool plotStarted_ = false;
  PlotGeometry::Pixel plotPoint_;
  std::array<QRgb, 4> savedColours_{};
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
