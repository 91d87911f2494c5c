// Soak driver: many program exchanges (receive and send alternating) against
// a controller on DEVICE, in one process, reporting the growth of resident
// memory and of open file descriptors between the end of a warm-up and the
// end of the run.
//
//   soak_driver core   DEVICE [EXCHANGES] [SLOT]
//       the dialogues as zarctl runs them (link, program transfer, an
//       operator that keeps the editor), without a window;
//   soak_driver window DEVICE [EXCHANGES] [SLOT] [CLEAR_EVERY]
//       the main window offscreen, its Receive and Send buttons clicked and
//       every question answered OK; the message area is cleared every
//       CLEAR_EVERY exchanges (0: never, so it keeps the whole log).
//
// Run it from bench/soak_exchanges.sh, which starts the controller.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBlock>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "link/Link.h"
#include "link/ThreadComm.h"
#include "nc/ProgramTransfer.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

namespace fs = std::filesystem;

namespace {

long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

long openDescriptors() {
  long n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
  return n - 1;  // the directory iterator's own
}

// What the core dialogues see of zarctl's terminal: an editor, and message
// lines that are counted, not kept.
class QuietOperator : public zar::Operator {
 public:
  zar::Page currentPage() const override { return zar::Page::Program; }
  void appendMessage(zar::Page, std::string_view line) override {
    recent.emplace_back(line);
    if (recent.size() > 12) recent.erase(recent.begin());
  }
  int showCatalogDialog(std::string_view, zar::DialogType, const std::vector<zar::ButtonKind>&, int) override {
    return zar::mrOk;
  }
  void beep() override {}
  void processEvents() override {}
  std::vector<std::string> editorLines(zar::Page) const override { return editor; }
  void setEditorLines(zar::Page, const std::vector<std::string>& lines) override { editor = lines; }
  void appendEditorLine(zar::Page, std::string_view line) override { editor.emplace_back(line); }

  std::vector<std::string> editor;
  std::vector<std::string> recent;  // the last message lines, for a failure's report
};

// The first few failures are shown with what led to them.
void reportFailure(long exchange, std::string_view how, const std::vector<std::string>& recent) {
  static int shown = 0;
  if (++shown > 5) return;
  std::fprintf(stderr, "exchange %ld failed (%.*s); its last messages:\n", exchange, static_cast<int>(how.size()),
               how.data());
  for (const std::string& line : recent) std::fprintf(stderr, "  %s\n", line.c_str());
}

struct Soak {
  long exchanges = 10000;
  long warmup = 200;
  std::function<bool(long)> exchange;  // exchange i; false when it failed

  int run(const char* mode) {
    const auto start = std::chrono::steady_clock::now();
    long rssWarm = 0, fdsWarm = 0, failures = 0;
    std::string trend;
    for (long i = 0; i < exchanges; ++i) {
      if (!exchange(i)) ++failures;
      if (i + 1 == warmup) {
        rssWarm = residentKb();
        fdsWarm = openDescriptors();
      }
      if ((i + 1) % 1000 == 0) trend += " " + std::to_string(residentKb());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long rssEnd = residentKb(), fdsEnd = openDescriptors();
    std::printf("%s: %ld exchanges in %.1f s, %ld failed\n", mode, exchanges, seconds, failures);
    std::printf("%s: RSS %ld kB after %ld exchanges, %ld kB at the end: growth %ld kB\n", mode, rssWarm,
                warmup, rssEnd, rssEnd - rssWarm);
    std::printf("%s: RSS every 1000 exchanges (kB):%s\n", mode, trend.c_str());
    std::printf("%s: open descriptors %ld after the warm-up, %ld at the end\n", mode, fdsWarm, fdsEnd);
    return failures == 0 ? 0 : 1;
  }
};

zar::LinkSettings fastLink() {
  zar::LinkSettings s;
  s.timeoutMs = 2000;
  s.transitMode = 1;
  s.byteDelayMs = 0;
  s.reconnectDelayMs = 0;
  s.baudSelector = 5;
  return s;
}

int runCore(const std::string& device, long exchanges, int slot) {
  zar::MessageCatalog catalog;
  if (!catalog.load(".", 1)) catalog.loadText("M1 -\n");  // Message.E of the working directory
  QuietOperator op;
  const zar::MessageLog log(catalog, op);
  zar::TComm comm;
  zar::Link link(comm, fastLink(), log);
  link.setDevicePath(device);
  zar::nc::ProgramTransfer transfer(link, log);
  zar::nc::ProgramPage page;
  page.slot = slot;

  Soak soak;
  soak.exchanges = exchanges;
  soak.exchange = [&](long i) {
    const auto outcome = i % 2 == 0 ? transfer.RcvBtnClick(page) : transfer.TransBtnClick(page);
    const bool ok = outcome == zar::DialogueOutcome::Done && !op.editor.empty();
    if (!ok) reportFailure(i, zar::outcomeName(outcome), op.recent);
    op.recent.clear();
    return ok;
  };
  return soak.run("core");
}

int runWindow(int argc, char** argv, const std::string& device, long exchanges, int slot, long clearEvery) {
  QApplication app(argc, argv);
  const fs::path dir = fs::temp_directory_path() / ("zar-soak-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  for (const char* name : {"Message.E", "Customer.ini"})
    if (fs::exists(name)) fs::copy_file(name, dir / name, fs::copy_options::overwrite_existing);
  int status = 0;
  {
    zar::TMainForm form(zar::MainFormOptions{dir.string(), 1, {}});
    form.portDirectory().overrideDevice(2, device);
    form.COM_Select->setCurrentIndex(1);
    zar::Settings& s = form.settings();
    s.timeOut = 2000;
    s.transitMode = 1;
    s.byteDelay = 0;
    s.reconnectDelay = 0;
    form.setDialogAnswerer([](std::string_view, zar::DialogType, const std::vector<zar::ButtonKind>&, int) {
      return zar::mrOk;
    });
    form.ProgNoEdit->setValue(slot);
    const QString received = form.toQt(form.GetMessageText(109));
    const QString sent = form.toQt(form.GetMessageText(106));

    Soak soak;
    soak.exchanges = exchanges;
    soak.exchange = [&](long i) {
      QPushButton* button = i % 2 == 0 ? form.RcvBtn : form.TransBtn;
      button->click();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      app.processEvents();
      // The line before the port's closing line says how it ended.
      const QTextBlock last = form.MsgMemo->document()->lastBlock();
      const bool ok = last.previous().text() == (i % 2 == 0 ? received : sent) &&
                      !form.ProgramMemo->toPlainText().isEmpty();
      if (!ok) {
        std::vector<std::string> recent;
        for (QTextBlock b = last; b.isValid() && recent.size() < 12; b = b.previous())
          recent.insert(recent.begin(), b.text().toStdString());
        reportFailure(i, i % 2 == 0 ? "receive" : "send", recent);
      }
      if (clearEvery > 0 && (i + 1) % clearEvery == 0) form.ClrMsgBtn->click();
      return ok;
    };
    status = soak.run(clearEvery > 0 ? "window" : "window, log kept");
  }
  fs::remove_all(dir);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: soak_driver core|window DEVICE [EXCHANGES] [SLOT] [CLEAR_EVERY]\n");
    return 2;
  }
  const std::string mode = argv[1], device = argv[2];
  const long exchanges = argc > 3 ? std::atol(argv[3]) : 10000;
  const int slot = argc > 4 ? std::atoi(argv[4]) : 1;
  const long clearEvery = argc > 5 ? std::atol(argv[5]) : 100;
  if (mode == "core") return runCore(device, exchanges, slot);
  if (mode == "window") return runWindow(argc, argv, device, exchanges, slot, clearEvery);
  std::fprintf(stderr, "soak_driver: unknown mode '%s'\n", mode.c_str());
  return 2;
}
