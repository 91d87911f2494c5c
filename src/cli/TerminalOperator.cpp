#include "cli/TerminalOperator.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <string>

#include "ui/Encoding.h"

namespace zar::cli {

void TerminalOperator::appendMessage(Page, std::string_view line) {
  std::cout << toUtf8(line, language_) << '\n' << std::flush;
}

int TerminalOperator::showCatalogDialog(std::string_view text, DialogType,
                                        const std::vector<ButtonKind>& buttons, int) {
  auto has = [&](ButtonKind kind) {
    for (ButtonKind b : buttons) if (b == kind) return true;
    return false;
  };
  const int yes = has(ButtonKind::OK) ? mrOk : mrYes;
  const int no = has(ButtonKind::Cancel) ? mrCancel : mrNo;
  if (buttons.size() <= 1) {
    std::cerr << toUtf8(text, language_) << '\n';
    return buttons.empty() ? mrNone : dialogResultOf(buttons.front());
  }
  if (assumeYes_) return yes;
  if (!isatty(STDIN_FILENO)) {
    std::cerr << toUtf8(text, language_) << "\n(no terminal to confirm on; use --yes)\n";
    return no;
  }
  std::cerr << toUtf8(text, language_) << "\n[y/N] " << std::flush;
  std::string answer;
  if (!readAnswer(answer)) {
    std::cerr << '\n';
    return no;
  }
  return (!answer.empty() && (answer[0] == 'y' || answer[0] == 'Y')) ? yes : no;
}

bool TerminalOperator::readAnswer(std::string& answer) const {
  if (!interrupted_) return static_cast<bool>(std::getline(std::cin, answer));
  // Waits in short slices, so that an interruption is noticed at once.
  for (;;) {
    if (interrupted_()) return false;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&p, 1, 50);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    char c;
    if (::read(STDIN_FILENO, &c, 1) != 1) return false;
    if (c == '\n') return true;
    answer += c;
  }
}

void TerminalOperator::beep() {
  if (isatty(STDERR_FILENO)) std::cerr << '\a' << std::flush;
}

std::vector<std::string> TerminalOperator::editorLines(Page page) const {
  auto it = editors_.find(page);
  return it == editors_.end() ? std::vector<std::string>{} : it->second;
}

void TerminalOperator::setEditorLines(Page page, const std::vector<std::string>& lines) {
  editors_[page] = lines;
}

void TerminalOperator::appendEditorLine(Page page, std::string_view line) {
  editors_[page].emplace_back(line);
}

}  // namespace zar::cli
