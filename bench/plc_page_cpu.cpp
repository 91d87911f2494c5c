// CPU of the window's thread while the PLC page sends and receives, against
// a virtual controller paced at 19200 baud, offscreen (not a benchmark run
// by the suite; its figures go into the closing notes).
//
//   QT_QPA_PLATFORM=offscreen build/bench/plc_page_cpu [SEND_INSTRUCTIONS [RECEIVE_INSTRUCTIONS]]
//
// The virtual controller takes streamed records as fast as they come, so a
// send ends long before the line would have carried it: its share is the
// CPU time over the wire time of its bytes, which is what a port whose
// writes wait for the line would see. A receive runs at the line's pace.
// Target: under 10 % of a core. The whole process's share is printed too;
// it includes the virtual controller's thread, so it bounds ours from above.

// Before any Qt header: the controller's state has a member named like Qt's
// `slots` keyword.
#include "controller/VirtualController.h"

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/MainForm.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double cpuOf(int who) {
  rusage u{};
  ::getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

size_t lineBytes(const zar::controller::VirtualController& ctrl) {
  size_t bytes = 0;
  for (const auto& e : ctrl.traffic())
    if (e.kind == zar::controller::TrafficEntry::Kind::In || e.kind == zar::controller::TrafficEntry::Kind::Out)
      bytes += e.bytes.size();
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const int sendCount = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int receiveCount = argc > 2 ? std::atoi(argv[2]) : 10000;
  QApplication app(argc, argv);
  const fs::path dir = fs::temp_directory_path() / ("zar-plc-cpu-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  // The catalog, so the message lines printed below say something.
  const fs::path catalog = fs::path(ZAR_SOURCE_DIR) / "data" / "Message.E";
  if (fs::exists(catalog)) fs::copy_file(catalog, dir / "Message.E");
  zar::controller::ControllerConfig config;
  config.paceBaud = 19200;
  zar::controller::VirtualController ctrl(config);
  if (!ctrl.start()) return 1;
  int status = 0;
  {
    zar::TMainForm form(zar::MainFormOptions{dir.string(), 1, {}});
    form.portDirectory().overrideDevice(2, ctrl.devicePath());
    form.COM_Select->setCurrentIndex(1);
    zar::Settings& s = form.settings();
    s.timeOut = 2000;
    s.transitMode = 1;
    s.byteDelay = 0;
    s.baudSelector = 5;
    form.setDialogAnswerer([](std::string_view, zar::DialogType, const std::vector<zar::ButtonKind>&, int) {
      return zar::mrYes;
    });
    form.show();
    form.PageControl->setCurrentIndex(2);

    auto run = [&](const char* what, int count, QPushButton* button) {
      QString text;
      for (int i = 0; i < count; ++i) text += i % 2 ? QStringLiteral("OUT 0500\n") : QStringLiteral("LD 0000\n");
      form.PLMMemo->setPlainText(text);
      app.processEvents();
      ctrl.clearTraffic();
      const double cpu0 = cpuOf(RUSAGE_THREAD), all0 = cpuOf(RUSAGE_SELF);
      const auto start = Clock::now();
      button->click();
      const double took = std::chrono::duration<double>(Clock::now() - start).count();
      const double cpu = cpuOf(RUSAGE_THREAD) - cpu0, all = cpuOf(RUSAGE_SELF) - all0;
      const double wire = static_cast<double>(lineBytes(ctrl)) * 10.0 / 19200.0;
      std::printf("%s %d instructions: %.2f s (wire %.2f s), window thread CPU %.3f s = %.2f %% of a core over "
                  "the wire time\n",
                  what, count, took, wire, cpu, 100.0 * cpu / std::max(took, wire));
      // Every thread: the port's reader, and the virtual controller's too.
      std::printf("  whole process CPU %.3f s = %.2f %% of a core (an upper bound: the controller included)\n", all,
                  100.0 * all / std::max(took, wire));
      const QStringList log = form.PLMMsgMemo->toPlainText().split(QLatin1Char('\n'));
      std::printf("  last messages: %s\n", log.mid(std::max<qsizetype>(0, log.size() - 3)).join(QStringLiteral(" | ")).toStdString().c_str());
      return took > 0;
    };
    if (!run("send", sendCount, form.PLMTrnBtn)) status = 1;
    // The controller now holds that image; receive a smaller one at the line's pace.
    if (receiveCount > 0) {
      form.PLMMemo->clear();
      if (!run("send", receiveCount, form.PLMTrnBtn)) status = 1;
      if (!run("receive", receiveCount, form.PLMRcvBtn)) status = 1;
      std::printf("editor lines after the receive: %d\n", form.PLMMemo->blockCount());
    }
  }
  ctrl.stop();
  fs::remove_all(dir);
  return status;
}
