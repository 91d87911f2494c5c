#pragma once
// A fixture for the pages of the main window, offscreen: a scratch working
// directory with some of the shipped data files, a virtual controller behind
// COM2, and the window on that port with a short time-out and frames written
// whole. The window's own Yes/No questions are kept and answered with
// yesNoAnswer; the window and the controller go at the end of each test.

// Before any Qt header: the controller's state has a member named like Qt's
// `slots` keyword.
#include "controller/VirtualController.h"

#include <QString>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/MainForm.h"

namespace zar::test {

class PageWindowTest : public ::testing::Test {
 protected:
  // Makes the scratch directory zar_<name>_<pid> with the data files whose
  // names `take` accepts, starts the controller and opens the window on it.
  // Call through ASSERT_NO_FATAL_FAILURE.
  void openWindow(const std::string& name, const std::function<bool(const std::string&)>& take, int timeOut) {
    namespace fs = std::filesystem;
    dir = fs::temp_directory_path() / ("zar_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto& e : fs::directory_iterator(ZAR_DATA_DIR))
      if (take(e.path().filename().string())) fs::copy_file(e.path(), dir / e.path().filename());
    ASSERT_TRUE(ctrl.start());
    form = std::make_unique<TMainForm>(MainFormOptions{dir.string(), 1, {}});
    form->portDirectory().overrideDevice(2, ctrl.devicePath());
    form->COM_Select->setCurrentIndex(1);
    Settings& s = form->settings();
    s.timeOut = timeOut;
    s.transitMode = 1;
    s.byteDelay = 0;
  }
  void TearDown() override {
    form.reset();
    ctrl.stop();
    std::filesystem::remove_all(dir);
  }

  // Yes/No: one of the window's own questions (drop edited text, replace a
  // file, stop and exit), kept and answered; anything else is left to the test.
  std::optional<int> windowQuestion(std::string_view text, const std::vector<ButtonKind>& buttons) {
    if (buttons.empty() || buttons.front() != ButtonKind::Yes) return std::nullopt;
    windowQuestions.emplace_back(text);
    return yesNoAnswer;
  }

  QString text(int id) const { return form->toQt(form->GetMessageText(id)); }
  static std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::filesystem::path dir;
  controller::VirtualController ctrl;
  std::unique_ptr<TMainForm> form;
  std::vector<std::string> windowQuestions;
  int yesNoAnswer = mrYes;
};

}  // namespace zar::test
