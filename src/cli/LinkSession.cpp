#include "cli/LinkSession.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <iostream>

#include "base/FileLocator.h"
#include "controller/ControllerConfig.h"
#include "ui/Encoding.h"

namespace zar::cli {

void fail(std::string_view command, const std::string& text, int code) {
  size_t from = 0;
  do {
    const size_t end = text.find('\n', from);
    std::cerr << "zarctl " << command << ": " << text.substr(from, end - from) << "\n";
    from = end == std::string::npos ? end : end + 1;
  } while (from != std::string::npos);
  throw CLI::RuntimeError(code);
}

int wholeNumber(std::string_view command, const std::string& what, const std::string& text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high)
    fail(command,
         what + " must be a number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" + text +
             "'",
         kExitUsage);
  return value;
}

void addLinkOptions(CLI::App& cmd, LinkOptions& o) {
  cmd.add_option("--port", o.port,
                 "COM1..COM99 (see Ports.ini) or a device path such as /dev/ttyUSB0 "
                 "(default: the port of Init.Ini)")
      ->type_name("PORT");
  cmd.add_option("--type", o.type, "Controller type: X02 (program names travel) or X00/X01")
      ->type_name("TYPE")
      ->capture_default_str();
  cmd.add_option("--timeout", o.timeout, "Reply time-out in ms (default: Init.Ini)")->type_name("MS");
  cmd.add_option("--byte-delay", o.byteDelay, "Pause after each byte in transit mode 0, ms")->type_name("MS");
  cmd.add_option("--transit-mode", o.transitMode, "0: byte by byte; 1: a frame at once")->type_name("0|1");
  cmd.add_option("--baud", o.baud, "1200, 2400, 4800, 9600 or 19200 (default: Customer.ini)")->type_name("BAUD");
  cmd.add_option("--reconnect-delay", o.reconnectDelay, "Pause before re-opening the port, ms")->type_name("MS");
  cmd.add_option("--language", o.language, "Message catalog: 0 Chinese, 1 English (default: Customer.ini)")
      ->type_name("0|1");
  cmd.add_flag("--trace", o.trace, "Show every frame sent and reply received");
  cmd.add_flag("-y,--yes", o.yes, "Answer every confirmation with OK instead of asking");
}

void CommandOperator::appendMessage(Page page, std::string_view line) {
  lines.emplace_back(line);
  if (progress) progress->hide();
  if (toStderr_)
    std::cerr << toUtf8(line, language_) << '\n';
  else
    TerminalOperator::appendMessage(page, line);
  if (progress) progress->show();
}

int CommandOperator::showCatalogDialog(std::string_view text, DialogType type, const std::vector<ButtonKind>& buttons,
                                       int focus) {
  if (progress) progress->hide();
  const int result = TerminalOperator::showCatalogDialog(text, type, buttons, focus);
  if (progress) progress->show();
  return result;
}

Session::Session(std::string commandName, const LinkOptions& o) : command(std::move(commandName)) {
  settings = loadSettings(".");
  link = LinkSettings::from(settings);
  language = settings.language;
  if (!o.language.empty()) language = wholeNumber(command, "--language", o.language, 0, 1);
  if (!o.timeout.empty()) link.timeoutMs = wholeNumber(command, "--timeout", o.timeout, 0, 600000);
  if (!o.byteDelay.empty()) link.byteDelayMs = wholeNumber(command, "--byte-delay", o.byteDelay, 0, 10000);
  if (!o.transitMode.empty()) link.transitMode = wholeNumber(command, "--transit-mode", o.transitMode, 0, 1);
  if (!o.reconnectDelay.empty())
    link.reconnectDelayMs = wholeNumber(command, "--reconnect-delay", o.reconnectDelay, 0, 60000);
  if (o.trace) link.sendTrace = link.receiveTrace = true;
  if (!o.baud.empty()) {
    static constexpr int rates[] = {1200, 2400, 4800, 9600, 19200};
    const int baud = wholeNumber(command, "--baud", o.baud, 1200, 19200);
    link.baudSelector = 0;
    for (int i = 0; i < 5; ++i)
      if (rates[i] == baud) link.baudSelector = i + 1;
    if (link.baudSelector == 0) fail(command, "--baud must be 1200, 2400, 4800, 9600 or 19200", kExitUsage);
  }

  const auto type = controller::parseControllerType(o.type);
  if (!type) fail(command, "--type must be X02 or X00/X01, not '" + o.type + "'", kExitUsage);
  typeIndex = *type == controller::ControllerType::X02 ? 0 : 1;

  comIndex = settings.defaultPort >= 0 ? settings.defaultPort : 0;
  if (!o.port.empty()) {
    if (o.port.front() == '/') {
      devicePath = o.port;  // stands in for the default COM number
    } else {
      const int n = PortDirectory::comNumberOf(o.port);
      if (n == 0) fail(command, "--port must be COM1 to COM99 or a device path, not '" + o.port + "'", kExitUsage);
      comIndex = n - 1;
    }
  }

  if (!catalog.load(".", language)) {
    std::cerr << "zarctl " << command << ": no message catalog " << MessageCatalog::fileNameFor(language)
              << " in " << FileLocator(".").placesText(FileKind::Data) << "; messages show their numbers\n";
    std::string text;
    for (int i = 1; i <= MessageCatalog::kMaxEntries; ++i)
      text += "M" + std::to_string(i) + " [message " + std::to_string(i) + "] \n";
    catalog.loadText(text);
  }
}

std::string Session::failureLine(const std::vector<std::string>& lines, std::initializer_list<int> ids) const {
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line == Link::kHungUpText) return line;
    for (int id : ids) {
      const std::string text = catalog.text(id);
      if (text.empty() || !line.starts_with(text)) continue;
      std::string failure = toUtf8(line, language);
      if (id == 102 && i + 1 < lines.size()) failure += "\n" + toUtf8(lines[i + 1], language);
      return failure;
    }
  }
  return {};
}

SessionLink::SessionLink(const Session& s, CommandOperator& op, const MessageLog& log)
    : op_(op),
      ports_(s.devicePath.empty() ? std::make_unique<PortDirectory>(".") : nullptr),
      link_(comm_, s.link, log, ports_.get()),
      progress_(s.command) {
  link_.setDevicePath(s.devicePath);
  op_.setInterrupted([this] { return link_.cancelRequested(); });
}

SessionLink::~SessionLink() {
  comm_.Close();
  op_.setInterrupted(nullptr);
}

SessionLink::Watch::Watch(SessionLink& s) : s_(s), signals_(s.link_) {
  // Progress on standard error, only where someone watches it.
  if (s_.progress_.active()) {
    s_.op_.progress = &s_.progress_;
    s_.link_.progress().setObserver(&s_.progress_);
  }
}

SessionLink::Watch::~Watch() {
  s_.op_.progress = nullptr;
  s_.link_.progress().setObserver(nullptr);
}

}  // namespace zar::cli
