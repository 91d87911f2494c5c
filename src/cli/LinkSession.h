#pragma once
// What every zarctl command that talks to the controller shares: the link
// options (port, controller type, time-outs, transit mode, baud, language,
// trace, --yes), the session set up from the working directory's settings
// files and those options, the person at the terminal, the port with its
// progress line and Ctrl-C handling, and the exit codes.
//
//   Session s("param send", options);
//   CommandOperator op(s.language, options.yes, false);
//   MessageLog log(s.catalog, op);
//   SessionLink port(s, op, log);
//   DialogueOutcome outcome = port.run([&] { return transfer(port.link()).ParTrnBtnClick(); });

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Settings.h"
#include "cli/CancelSignals.h"
#include "cli/ProgressLine.h"
#include "cli/TerminalOperator.h"
#include "link/DialogueOutcome.h"
#include "link/Link.h"
#include "link/PortNames.h"
#include "link/ThreadComm.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

namespace CLI { class App; }

namespace zar::cli {

inline constexpr int kExitUsage = 2;
inline constexpr int kExitLink = 3;
inline constexpr int kExitRefused = 4;
inline constexpr int kExitDeclined = 5;
inline constexpr int kExitFile = 6;
inline constexpr int kExitCancelled = CancelSignals::kExitCode;

// Prints each line of `text` after "zarctl <command>: " on standard error
// and ends the command with `code`.
[[noreturn]] void fail(std::string_view command, const std::string& text, int code);
// A whole decimal number within [low, high], or a usage error naming `what`.
int wholeNumber(std::string_view command, const std::string& what, const std::string& text, int low, int high);

struct LinkOptions {
  std::string port;
  std::string type = "X02";
  std::string timeout, byteDelay, transitMode, baud, reconnectDelay, language;
  bool yes = false;
  bool trace = false;
};
// Adds --port, --type, --timeout, --byte-delay, --transit-mode, --baud,
// --reconnect-delay, --language, --trace and -y/--yes to a command.
void addLinkOptions(CLI::App& command, LinkOptions& options);

// The person at the terminal, with the editors kept here (read line by line
// while a send runs) and every message line remembered for the summary.
// With `messagesToStderr` message lines go to standard error (when standard
// output carries a file). Message lines and questions make room for the
// progress line, if any.
class CommandOperator : public TerminalOperator {
 public:
  CommandOperator(int language, bool yes, bool messagesToStderr)
      : TerminalOperator(language, yes), language_(language), toStderr_(messagesToStderr) {}

  std::vector<std::string> lines;
  ProgressLine* progress = nullptr;

  void appendMessage(Page page, std::string_view line) override;
  int showCatalogDialog(std::string_view text, DialogType type, const std::vector<ButtonKind>& buttons,
                        int focus) override;
  std::vector<std::string> editorLines(Page) const override { return editor_; }
  void setEditorLines(Page, const std::vector<std::string>& lines) override { editor_ = lines; }
  void appendEditorLine(Page, std::string_view line) override { editor_.emplace_back(line); }
  size_t editorLineCount(Page) const override { return editor_.size(); }
  std::string editorLine(Page, size_t index) const override {
    return index < editor_.size() ? editor_[index] : std::string();
  }

 private:
  int language_;
  bool toStderr_;
  std::vector<std::string> editor_;
};

// Everything one command works with, set up from the working directory's
// settings files ("Init.Ini", "Customer.ini", the catalog) and the options.
struct Session {
  Session(std::string command, const LinkOptions& options);

  std::string command;     // "send", "param receive": names the command in messages
  Settings settings;
  LinkSettings link;
  int language = 1;
  int comIndex = 0;
  std::string devicePath;  // --port given as a device path
  int typeIndex = 0;       // 0 "ZAR X02", 1 "ZAR X00/X01"
  MessageCatalog catalog;

  // The line that says why a dialogue failed, in UTF-8: the hang-up line,
  // or the first message line that begins with the catalog text of one of
  // `ids` (102, a port that did not open, with the reason line after it);
  // "" when there is none.
  std::string failureLine(const std::vector<std::string>& lines, std::initializer_list<int> ids) const;
};

// The port and the link primitives of a session: COM numbers through
// "Ports.ini", or the device path given with --port.
class SessionLink {
 public:
  SessionLink(const Session& session, CommandOperator& op, const MessageLog& log);
  ~SessionLink();
  Link& link() { return link_; }

  // Runs one dialogue (a callable returning DialogueOutcome): its progress
  // on standard error when that is a terminal, Ctrl-C and SIGTERM cancelling
  // it; the port is closed afterwards.
  template <typename Dialogue>
  DialogueOutcome run(Dialogue&& dialogue) {
    DialogueOutcome outcome;
    {
      const Watch watch(*this);
      outcome = dialogue();
    }
    comm_.Close();
    return outcome;
  }

 private:
  // The progress line and the signals, for the time of a dialogue.
  class Watch {
   public:
    explicit Watch(SessionLink& s);
    ~Watch();

   private:
    SessionLink& s_;
    const CancelSignals signals_;
  };

  CommandOperator& op_;
  TComm comm_;
  std::unique_ptr<PortDirectory> ports_;
  Link link_;
  ProgressLine progress_;
};

}  // namespace zar::cli
