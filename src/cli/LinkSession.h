#pragma once
// What every zarctl command that talks to the controller shares: the link
// options (port, controller type, time-outs, transit mode, baud, language,
// trace, --yes), the session set up from the working directory's settings
// files and those options, the person at the terminal, and the exit codes.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Settings.h"
#include "cli/TerminalOperator.h"
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

// Prints "zarctl <command>: <text>" on standard error and ends the command
// with `code`.
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
// output carries a file).
class CommandOperator : public TerminalOperator {
 public:
  CommandOperator(int language, bool yes, bool messagesToStderr)
      : TerminalOperator(language, yes), language_(language), toStderr_(messagesToStderr) {}

  std::vector<std::string> lines;

  void appendMessage(Page page, std::string_view line) override;
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

  // The first message line that begins with the catalog text of one of
  // `ids`, in UTF-8; "" when none does.
  std::string firstLineOf(const std::vector<std::string>& lines, std::initializer_list<int> ids) const;
};

// The port and the link primitives of a session: COM numbers through
// "Ports.ini", or the device path given with --port.
class SessionLink {
 public:
  SessionLink(const Session& session, const MessageLog& log);
  ~SessionLink();
  Link& link() { return link_; }

 private:
  TComm comm_;
  std::unique_ptr<PortDirectory> ports_;
  Link link_;
};

}  // namespace zar::cli
