#pragma once
// What the benchmarks that hold a dialogue with the virtual controller share:
// an operator that stays out of the way, the controller's start (a failure
// skips the benchmark), the chain from the operator to a link on the
// controller's line, and the count of bytes that crossed that line.

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controller/VirtualController.h"
#include "link/Link.h"
#include "ui/Operator.h"

namespace zar::bench {

// Answers every confirmation with OK, keeps the editor (one set of lines,
// whatever the page), drops message lines.
class QuietOperator : public Operator {
 public:
  explicit QuietOperator(Page page = Page::Program) : page_(page) {}

  std::vector<std::string> editor;

  Page currentPage() const override { return page_; }
  void appendMessage(Page, std::string_view) override {}
  int showCatalogDialog(std::string_view, DialogType, const std::vector<ButtonKind>&, int) override { return mrOk; }
  void beep() override {}
  void processEvents() override {}
  std::vector<std::string> editorLines(Page) const override { return editor; }
  void setEditorLines(Page, const std::vector<std::string>& lines) override { editor = lines; }
  void appendEditorLine(Page, std::string_view line) override { editor.emplace_back(line); }
  size_t editorLineCount(Page) const override { return editor.size(); }
  std::string editorLine(Page, size_t i) const override { return i < editor.size() ? editor[i] : std::string(); }

 private:
  Page page_;
};

// Starts the controller; when it cannot start, the benchmark is skipped with the reason.
inline bool startOrSkip(benchmark::State& state, controller::VirtualController& ctrl) {
  std::string error;
  if (ctrl.start(&error)) return true;
  state.SkipWithError(error.c_str());
  return false;
}

// Transit mode 1 (frames written whole) at baud selector 5, as the paced runs use.
inline LinkSettings pacedSettings() {
  LinkSettings settings;
  settings.transitMode = 1;
  settings.baudSelector = 5;
  return settings;
}

// The message log over an operator, and a link whose port opens `path`
// whatever name it is asked for (an empty path leaves the names alone).
struct LinkRig {
  LinkRig(Operator& op, std::string path, const LinkSettings& settings) : log(catalog, op), link(comm, settings, log) {
    if (!path.empty()) comm.SetPathResolver([path = std::move(path)](const std::string&) { return path; });
  }
  LinkRig(const LinkRig&) = delete;
  LinkRig& operator=(const LinkRig&) = delete;

  MessageCatalog catalog;
  MessageLog log;
  TComm comm;
  Link link;
};

// The bytes that crossed the controller's line, both ways, as far as its traffic record goes.
inline size_t lineBytes(const controller::VirtualController& ctrl) {
  size_t bytes = 0;
  for (const auto& e : ctrl.traffic())
    if (e.kind == controller::TrafficEntry::Kind::In || e.kind == controller::TrafficEntry::Kind::Out)
      bytes += e.bytes.size();
  return bytes;
}

}  // namespace zar::bench
