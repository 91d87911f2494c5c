// zarctl plc compile|decompile|check: the PLC page's compiler and decompiler
// on files, for scripts. Results and files are those of the window; errors
// also name the source line. (send, receive, verify: PlcTransferCommands.cpp)
#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "base/InputFile.h"
#include "base/SafeFile.h"
#include "base/Settings.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "plc/PlcCompiler.h"
#include "plc/PlcDecompiler.h"
#include "ui/Encoding.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

namespace zar::cli {

namespace {

constexpr int kExitIo = 1;
constexpr int kMsgEditorEmpty = 161;
constexpr size_t kMaxShownLine = 200;

// The PLC page as a command sees it: messages are kept for the command to
// print; decompiled lines go straight to a stream, so any size of image
// decompiles in bounded memory.
class PlcPageOperator : public Operator {
 public:
  explicit PlcPageOperator(std::ostream* editorOut = nullptr, const char* lineEnd = "\n")
      : editorOut_(editorOut), lineEnd_(lineEnd) {}

  std::vector<std::string> messages;

  Page currentPage() const override { return Page::Plc; }
  void appendMessage(Page, std::string_view line) override { messages.emplace_back(line); }
  int showCatalogDialog(std::string_view, DialogType, const std::vector<ButtonKind>& buttons,
                        int) override {
    return buttons.empty() ? mrNone : dialogResultOf(buttons.front());
  }
  void beep() override {}
  void processEvents() override {}
  std::vector<std::string> editorLines(Page) const override { return {}; }
  void setEditorLines(Page, const std::vector<std::string>&) override {}
  void appendEditorLine(Page, std::string_view line) override {
    if (editorOut_) *editorOut_ << line << lineEnd_;
  }

 private:
  std::ostream* editorOut_;
  const char* lineEnd_;
};

struct CommonOptions {
  int language = -1;  // -1: from Customer.ini, English without it
};

int languageOf(const CommonOptions& o) {
  return o.language >= 0 ? o.language : customerLanguageOrEnglish(".");
}

[[noreturn]] void fail(int code) { throw CLI::RuntimeError(code); }

void printMessages(std::ostream& out, const std::vector<std::string>& messages, int language) {
  for (const std::string& m : messages) out << toUtf8(m, language) << '\n';
}

// A source line made safe for a terminal: control bytes escaped, long lines cut.
std::string shownLine(std::string_view line) {
  std::string out;
  for (size_t i = 0; i < line.size() && i < kMaxShownLine; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if ((c < 0x20 && c != '\t') || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (line.size() > kMaxShownLine) out += "...";
  return out;
}

// A text file read whole.
std::string readSourceFile(const std::string& path) {
  std::string content, why;
  if (!readInputFile(path, content, &why)) {
    std::cerr << path << ": " << why << '\n';
    fail(kExitIo);
  }
  return content;
}

// Its physical lines (LF or CR LF ends, any length), as views into it.
std::vector<std::string_view> splitLines(std::string_view rest) {
  std::vector<std::string_view> lines;
  lines.reserve(static_cast<size_t>(std::count(rest.begin(), rest.end(), '\n')) + 1);
  while (!rest.empty()) {
    const size_t lf = rest.find('\n');
    std::string_view line = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
  }
  return lines;
}

// compile and check: the window's compile step on a source file.
void runCompile(const std::string& source, const std::string& image, bool writeImage,
                const CommonOptions& common) {
  const int language = languageOf(common);
  MessageCatalog catalog;
  catalog.load(".", language);
  PlcPageOperator page;
  MessageLog log(catalog, page);

  const std::string content = readSourceFile(source);
  const std::vector<std::string_view> lines = splitLines(content);
  std::string imagePath;
  if (writeImage) {
    imagePath = image.empty() ? plc::PlcImageFileName(source) : image;
    if (sameFile(imagePath, source)) {
      std::cerr << imagePath << ": the image would overwrite its own source\n";
      fail(kExitIo);
    }
  }

  const plc::PlcCompileResult r =
      plc::CompilePlcProgram(lines, plc::PlcWorkspace::process(), imagePath, log);
  switch (r.mode) {
    case plc::PlcEditorMode::Empty:
      std::cerr << toUtf8(catalog.text(kMsgEditorEmpty), language) << '\n'
                << source << ": no lines\n";
      fail(kMsgEditorEmpty);
    case plc::PlcEditorMode::Image:
      std::cout << source << ": already a PLC image (hexadecimal text); nothing to compile\n";
      return;
    case plc::PlcEditorMode::Source:
      break;
  }
  if (r.status != plc::psOk) {
    printMessages(std::cerr, page.messages, language);
    std::cerr << "line " << r.line << ": " << shownLine(lines[static_cast<size_t>(r.line - 1)])
              << '\n';
    fail(plc::messageOf(r.status));
  }
  printMessages(std::cout, page.messages, language);
  if (writeImage && !r.imageWritten) {
    std::cerr << imagePath << ": cannot write the image file: " << r.imageError << '\n';
    fail(kExitIo);
  }
  std::cout << (writeImage ? imagePath : source) << ": " << r.instructions << " instructions, "
            << plc::kImageHeaderBytes + r.instructions * plc::kImageInstructionBytes
            << " image bytes\n";
}

void runDecompile(const std::string& image, const std::string& output, const CommonOptions& common) {
  const int language = languageOf(common);
  MessageCatalog catalog;
  catalog.load(".", language);

  // The source goes through the safe replace, so an unreadable image leaves
  // an existing file untouched.
  SafeFileWriter file(output);
  if (!output.empty()) {
    if (sameFile(output, image)) {
      std::cerr << output << ": the source would overwrite its own image\n";
      fail(kExitIo);
    }
    std::string why;
    if (!file.open(&why)) {
      std::cerr << output << ": " << why << '\n';
      fail(kExitIo);
    }
  }
  // Files get the program's CR LF line ends; the terminal gets plain LF.
  PlcPageOperator page(output.empty() ? &std::cout : &file.stream(), output.empty() ? "\n" : "\r\n");
  MessageLog log(catalog, page);

  const plc::PlcDecompileResult r = plc::DecompilePlcImage(image, plc::PlcWorkspace::process(), log);
  std::cout.flush();
  if (!output.empty()) {
    // Lines decoded before a failure are kept, as the editor keeps them.
    std::string why;
    if ((r.ok() || r.lines > 0) && !file.commit(&why)) {
      std::cerr << output << ": cannot write: " << why << '\n';
      fail(kExitIo);
    }
    file.discard();
  }
  if (!r.ok()) {
    printMessages(std::cerr, page.messages, language);
    if (r.message == 172) std::cerr << image << ": cannot open: " << r.openError << '\n';
    fail(r.message);
  }
  // Standard output is for the source alone; with -o it stays empty.
  printMessages(std::cerr, page.messages, language);
}

}  // namespace

void addPlcCommands(CLI::App& app) {
  auto* plc = app.add_subcommand("plc", "PLC programs: compile, decompile, send to the controller, receive, verify");
  plc->require_subcommand(1);

  auto common = std::make_shared<CommonOptions>();
  auto addLanguage = [&](CLI::App* sub) {
    sub->add_option("--language", common->language,
                    "catalog: 0 Message.C, 1 Message.E, 2 Message.X (default: Customer.ini, else English)")
            ->check(CLI::Range(0, 2));
  };

  auto source = std::make_shared<std::string>();
  auto image = std::make_shared<std::string>();
  auto output = std::make_shared<std::string>();

  auto* compile = plc->add_subcommand("compile", "compile PLC source into an image file (.mcn)");
  compile->add_option("SRC", *source, "PLC source file")->required();
  compile->add_option("-o,--output", *output, "image file (default: SRC with the extension .mcn)");
  addLanguage(compile);
  compile->callback([=] { runCompile(*source, *output, true, *common); });

  auto* check = plc->add_subcommand("check", "check PLC source without writing an image");
  check->add_option("SRC", *source, "PLC source file")->required();
  addLanguage(check);
  check->callback([=] { runCompile(*source, {}, false, *common); });

  auto* decompile = plc->add_subcommand("decompile", "decompile an image file into PLC source");
  decompile->add_option("IMAGE", *image, "PLC image file (hexadecimal text)")->required();
  decompile->add_option("-o,--output", *output, "source file (default: standard output)");
  addLanguage(decompile);
  decompile->callback([=] { runDecompile(*image, *output, *common); });

  // A failure the catalog describes exits with its message number.
  const std::string_view notes = "Messages come from the catalog in the directories zarctl --help names.";
  for (CLI::App* sourceCommand : {compile, check}) {
    setExitCodes(sourceCommand,
                 {{"0", "success (also for a file that is already an image)"},
                  {"1", "a file could not be read or written"},
                  {"2", "bad arguments"},
                  {"161", "the source is empty (catalog message 161)"},
                  {"202-207, 230", "the source does not compile: the catalog message of the error"}},
                 notes);
  }
  setExitCodes(decompile,
               {{"0", "success"},
                {"1", "the output could not be written"},
                {"2", "bad arguments"},
                {"172-174, 208, 231", "the image cannot be read or decoded: the catalog message of the failure"}},
               notes);
  addPlcTransferCommands(*plc);
  setExitCodes(plc, {{"2", "no command, or an unknown one"}}, "Each command lists its own: zarctl plc COMMAND --help.");
}

}  // namespace zar::cli
