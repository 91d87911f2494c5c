#pragma once
// An Operator for tests: records every message line by page, answers
// dialogs from a queue (default: the first button), counts beeps.

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "ui/Operator.h"

namespace zar::test {

class RecordingOperator : public Operator {
 public:
  struct Dialog {
    std::string text;
    DialogType type;
    std::vector<ButtonKind> buttons;
  };

  Page page = Page::Program;
  std::map<Page, std::vector<std::string>> messages;
  std::map<Page, std::vector<std::string>> editors;
  std::vector<Dialog> dialogs;
  std::deque<int> answers;  // dialog results to return, in order
  int beeps = 0;
  int eventPumps = 0;

  Page currentPage() const override { return page; }
  void appendMessage(Page p, std::string_view line) override { messages[p].emplace_back(line); }
  // The lines stay for assertions; the clearing is counted.
  void clearMessages(Page p) override { ++clears[p]; }
  std::map<Page, int> clears;
  int showCatalogDialog(std::string_view text, DialogType type,
                        const std::vector<ButtonKind>& buttons, int) override {
    dialogs.push_back({std::string(text), type, buttons});
    if (!answers.empty()) {
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    }
    return buttons.empty() ? mrNone : dialogResultOf(buttons.front());
  }
  void beep() override { ++beeps; }
  void processEvents() override { ++eventPumps; }
  std::vector<std::string> editorLines(Page p) const override {
    auto it = editors.find(p);
    return it == editors.end() ? std::vector<std::string>{} : it->second;
  }
  void setEditorLines(Page p, const std::vector<std::string>& lines) override { editors[p] = lines; }
  void appendEditorLine(Page p, std::string_view line) override { editors[p].emplace_back(line); }

  // All message lines of a page, for assertions.
  const std::vector<std::string>& log(Page p = Page::Program) { return messages[p]; }
};

}  // namespace zar::test
