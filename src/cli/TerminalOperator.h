#pragma once
// The person at a terminal: messages go to standard output (UTF-8),
// confirmations are asked on the terminal unless answered in advance.

#include <functional>
#include <map>

#include "ui/Operator.h"

namespace zar::cli {

class TerminalOperator : public Operator {
 public:
  // language: catalog language, for converting texts to UTF-8.
  // assumeYes: answer every confirmation with OK without asking.
  TerminalOperator(int language, bool assumeYes) : language_(language), assumeYes_(assumeYes) {}

  void setCurrentPage(Page page) { page_ = page; }
  // A question asked on the terminal gives up (the person declined) once
  // this holds, without waiting for the Enter key (Ctrl-C at the prompt).
  void setInterrupted(std::function<bool()> interrupted) { interrupted_ = std::move(interrupted); }
  Page currentPage() const override { return page_; }
  void appendMessage(Page page, std::string_view line) override;
  int showCatalogDialog(std::string_view text, DialogType type,
                        const std::vector<ButtonKind>& buttons, int focus) override;
  void beep() override;
  void processEvents() override {}
  std::vector<std::string> editorLines(Page page) const override;
  void setEditorLines(Page page, const std::vector<std::string>& lines) override;
  void appendEditorLine(Page page, std::string_view line) override;

 private:
  // One line typed on standard input; false at its end or when interrupted.
  bool readAnswer(std::string& answer) const;

  int language_;
  bool assumeYes_;
  Page page_ = Page::Program;
  std::function<bool()> interrupted_;
  std::map<Page, std::vector<std::string>> editors_;
};

}  // namespace zar::cli
