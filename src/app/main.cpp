// zarlink: start-up of the desktop program.
//
// A current directory that holds "Init.Ini" or "Customer.ini" keeps every
// file of the program; elsewhere the user's and the installed directories
// do (base/FileLocator.h decides).
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>
#include <thread>

#include "app/AboutForm.h"
#include "app/MainForm.h"
#include "app/QtScreenshots.h"
#include "base/FileLocator.h"
#include "base/Settings.h"
#include "controller/VirtualController.h"
#include "ui/MessageCatalog.h"

namespace {

struct StartOptions {
  QString screenshotDir;  // --screenshot DIR: render the windows to PNG and exit
  int language = -1;      // --language 0|1: overrides "Customer.ini" for this run
  bool help = false;
  int virtualCom = 0;     // --virtual-controller COMn: the embedded controller stands behind COMn
  QString virtualState;   // --virtual-state FILE: where it keeps its memory
  QString error;          // set when the command line cannot be used
  QString helpText;
};

// Everything the command line can say. Parsed before the application object
// exists, because some options decide how Qt itself is started.
StartOptions parseOptions(int argc, char** argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "zarlink: NC programs, parameters and PLC programs between this computer and a ZAR-series NC "
      "controller on a serial line.\n\nFiles in use:\n") +
      QString::fromStdString(zar::FileLocator().describe()));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
  const QCommandLineOption screenshot(
      QStringLiteral("screenshot"),
      QStringLiteral("Render every window offscreen to PNG files in DIR, then exit."), QStringLiteral("DIR"));
  const QCommandLineOption language(
      QStringLiteral("language"),
      QStringLiteral("Language for this run: 0 Traditional Chinese, 1 English (default: from Customer.ini)."),
      QStringLiteral("0|1"));
  const QCommandLineOption virtualController(
      QStringLiteral("virtual-controller"),
      QStringLiteral("Start a virtual ZAR controller inside the program and put it behind port COMn "
                     "(e.g. COM2), with sample programs in its first slots. Without this option every "
                     "COM number means a real serial device."),
      QStringLiteral("COMn"));
  const QCommandLineOption virtualState(
      QStringLiteral("virtual-state"),
      QStringLiteral("File in which the virtual controller keeps its slots, parameters and PLC image "
                     "(default: VirtualController.state in the state directory named below)."),
      QStringLiteral("FILE"));
  parser.addOption(help);
  parser.addOption(virtualController);
  parser.addOption(virtualState);
  parser.addOption(screenshot);
  parser.addOption(language);

  StartOptions options;
  options.helpText = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("zarlink"));
  if (!parser.parse(args)) {
    options.error = parser.errorText();
    return options;
  }
  if (!parser.positionalArguments().isEmpty()) {
    options.error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
    return options;
  }
  options.help = parser.isSet(help);
  if (parser.isSet(screenshot)) options.screenshotDir = parser.value(screenshot);
  if (parser.isSet(language)) {
    const QString value = parser.value(language);
    if (value == QStringLiteral("0") || value == QStringLiteral("1")) {
      options.language = value.toInt();
    } else {
      options.error = QStringLiteral("--language takes 0 (Chinese) or 1 (English), not '%1'").arg(value);
    }
  }
  if (parser.isSet(virtualController)) {
    QString name = parser.value(virtualController).toUpper();
    if (name.startsWith(QStringLiteral("COM"))) name.remove(0, 3);
    bool ok = false;
    const int number = name.toInt(&ok);
    if (ok && number >= 1 && number <= 99) {
      options.virtualCom = number;
    } else {
      options.error = QStringLiteral("--virtual-controller takes a port COM1 to COM99, not '%1'")
                          .arg(parser.value(virtualController));
    }
  }
  // The default is named only when the controller runs: naming it makes
  // the user's state directory.
  if (parser.isSet(virtualState)) options.virtualState = parser.value(virtualState);
  return options;
}

// The embedded controller: started before the main window so its terminal
// can stand behind the chosen COM number from the first look at the port box.
std::unique_ptr<zar::controller::VirtualController> startVirtualController(const StartOptions& options,
                                                                         zar::MainFormOptions& form) {
  if (options.virtualCom == 0) return nullptr;
  zar::controller::ControllerConfig config;
  config.stateFile = options.virtualState.isEmpty() ? zar::controller::defaultStateFile({})
                                                    : options.virtualState.toStdString();
  config.samples = true;
  auto controller = std::make_unique<zar::controller::VirtualController>(config);
  std::string error;
  if (!controller->start(&error)) {
    std::fprintf(stderr, "zarlink: the virtual controller could not start: %s\n", error.c_str());
    return nullptr;
  }
  form.portOverrides.push_back({options.virtualCom, controller->devicePath(), {}, true});
  return controller;
}

bool hasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer startClock;
  startClock.start();
  // Installed or run from a portable directory: decided before any file is read.
  zar::FileLocator::usePlaces(zar::FilePlaces::forThisProgram());

  const StartOptions options = parseOptions(argc, argv);
  if (!options.error.isEmpty()) {
    std::fprintf(stderr, "zarlink: %s\n%s", qPrintable(options.error), qPrintable(options.helpText));
    return 2;
  }
  if (options.help) {
    std::printf("%s", qPrintable(options.helpText));
    return 0;
  }
  // Screenshots need no screen.
  if (!options.screenshotDir.isEmpty() && !std::getenv("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  if (!hasDisplay()) {
    std::fprintf(stderr, "zarlink: no display found: set DISPLAY or run with QT_QPA_PLATFORM=offscreen\n");
    return 1;
  }

  // 1. The application object.
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zarlink"));
  QApplication::setApplicationVersion(zar::productVersion());

  zar::MainFormOptions formOptions;
  std::error_code ec;
  formOptions.workingDirectory = std::filesystem::current_path(ec).string();
  formOptions.languageOverride = options.language;

  if (!options.screenshotDir.isEmpty()) return zar::takeScreenshots(options.screenshotDir, formOptions);
  const auto virtualController = startVirtualController(options, formOptions);

  // 2. The about window as splash screen, in the language of "Customer.ini",
  //    for its splash time; no events are handled while it stands.
  const zar::CustomerSettings customer = zar::loadCustomerIni(formOptions.workingDirectory);
  const int language = options.language >= 0 ? options.language : customer.language;
  std::unique_ptr<zar::TAboutForm> splash;
  zar::MessageCatalog splashCatalog;
  if (customer.splashTime > 0) {
    splashCatalog.load(formOptions.workingDirectory, language);
    splash = std::make_unique<zar::TAboutForm>(language, splashCatalog, true);
    splash->show();
    splash->repaint();
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(customer.splashTime));
  }

  // 3.-4. The main window.
  zar::TMainForm form(formOptions);
  if (const char* timing = std::getenv("ZARLINK_STARTUP_TIME"); timing && *timing) {
    const bool quit = std::string_view(timing) == "quit";
    form.setFirstPaintCallback([&startClock, quit] {
      std::fprintf(stderr, "zarlink: main window shown after %lld ms\n",
                   static_cast<long long>(startClock.elapsed()));
      if (quit) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    });
  }
  // 5. Away with the splash.
  splash.reset();

  // 6. The event loop, until the main window closes. Without its catalog
  //    the window has no captions: say so once, over the window.
  form.show();
  if (const QString notice = form.missingDataNotice(); !notice.isEmpty()) {
    QTimer::singleShot(0, &form, [&form, notice] {
      QMessageBox box(QMessageBox::Warning, zar::productTitle(form.language()), notice, QMessageBox::Ok, &form);
      box.setObjectName(QStringLiteral("MissingDataBox"));
      box.exec();
    });
  }
  return app.exec();
}
