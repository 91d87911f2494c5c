// zarctl nc check|dump|plot: NC block conversion and tool-path simulation
// without the window.
//
// FILE is read as the program page would hold it. Files named .nc or .ncd
// are NC program files as the program page saves them (slot number, program
// name for ZAR X02, numbered lines); any other file is plain program text,
// one editor line per text line. --nc-file and --text choose either way. A
// failure in the first two lines names the format used, since a file read
// the other way fails right there. The file is read as a stream and only as
// far as the conversion goes: the block list ends at 6000 records, whatever
// the size of the file.
#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "base/InputFile.h"
#include "base/SafeFile.h"
#include "base/Settings.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "nc/ProgramFile.h"
#include "sim/Converter.h"
#include "sim/PathPlot.h"
#include "ui/Encoding.h"
#include "ui/MessageCatalog.h"

namespace zar::cli {

namespace {

constexpr int kExitConversion = 1;
constexpr int kExitFile = 2;
constexpr int kExitCapped = 3;

constexpr std::string_view kConverted = "the program converts";
constexpr std::string_view kNotConverted = "the conversion failed, or the program is empty";
constexpr std::string_view kNotRead =
    "bad arguments; FILE cannot be read, or its slot or name line is wrong (NC program file)";

struct NcOptions {
  std::string file;
  std::string output;
  int language = -1;  // -1: from "Customer.ini", English without it
  bool ncFile = false;  // --nc-file
  bool text = false;    // --text
  int type = 0;  // controller type: 0 ZAR X02 (name line), 1 ZAR X00/X01
  int unit = 0;
  int resolution = 0;
  long maxSteps = sim::HeadlessOptions{}.maxSteps;
  std::optional<double> zLevel;
};

[[noreturn]] void fail(const std::string& reason, int code) {
  std::cerr << reason << '\n';
  throw CLI::RuntimeError(code);
}

// Whether FILE is read as an NC program file: asked for, or by its name.
bool readsNcFile(const NcOptions& o) {
  if (o.ncFile || o.text) return o.ncFile;
  std::string extension = std::filesystem::path(o.file).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".nc" || extension == ".ncd";
}

// Which format FILE was read in, and how to read it the other way.
std::string formatNote(const NcOptions& o) {
  return readsNcFile(o) ? o.file + " was read as an NC program file (slot line, name line, numbered lines); "
                                   "--text reads it as plain program text"
                        : o.file + " was read as plain program text (one line a program line); --nc-file reads "
                                   "it as an NC program file";
}

// A failure in the first two lines of the file: most likely the other format.
[[noreturn]] void failEarly(const NcOptions& o, const std::string& reason, int code) {
  fail(reason + "\n" + formatNote(o), code);
}

std::string catalogText(const MessageCatalog& catalog, int id, int language) {
  return toUtf8(catalog.text(id), language);
}

// The program's editor lines, pulled from the file one at a time.
class ProgramLines {
 public:
  ProgramLines(const NcOptions& o, const MessageCatalog& catalog) : path_(o.file) {
    std::string why;
    if (!file_.open(o.file, &why)) fail(o.file + ": " + why, kExitFile);
    if (!readsNcFile(o)) return;
    ncFile_.emplace(file_.stream(), o.type == 0 ? nc::kTypeX02 : nc::kTypeX00);
    switch (ncFile_->readHeader()) {
      case nc::LoadStatus::BadSlot: failEarly(o, catalogText(catalog, 112, o.language), kExitFile);
      case nc::LoadStatus::NameTooLong: failEarly(o, catalogText(catalog, 113, o.language), kExitFile);
      case nc::LoadStatus::Loaded: break;
      default: ended_ = true;  // ends within its header: nothing to convert
    }
  }

  bool next(std::string& line) {
    if (!peeked_.empty()) {
      line = std::move(peeked_.front());
      peeked_.pop_front();
      return true;
    }
    if (!pull(line)) return false;
    ++count_;
    return true;
  }

  // Whether the program has no lines, or one empty line: nothing to convert.
  bool empty() {
    std::string line;
    while (peeked_.size() < 2 && pull(line)) {
      ++count_;
      peeked_.push_back(std::move(line));
    }
    return peeked_.empty() || (peeked_.size() == 1 && peeked_.front().empty());
  }

  // Lines read so far (all of them once next() returned false).
  size_t count() const { return count_; }
  // A read that failed on the way ends the command.
  void checkRead() const {
    if (file_.failed()) fail(path_ + ": " + file_.error(), kExitFile);
  }

 private:
  // Text lines: LF ends a line, a CR before it is dropped; a last line
  // without LF still counts.
  bool pull(std::string& line) {
    if (ended_) return false;
    if (ncFile_) {
      ended_ = !ncFile_->nextLine(line);
      return !ended_;
    }
    if (!std::getline(file_.stream(), line)) {
      ended_ = true;
      return false;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }

  std::string path_;
  InputFile file_;
  std::optional<nc::ProgramFileReader> ncFile_;
  std::deque<std::string> peeked_;
  size_t count_ = 0;
  bool ended_ = false;
};

// The conversion of the program in FILE.
struct Conversion {
  MessageCatalog catalog;
  std::unique_ptr<sim::BlockList> list = std::make_unique<sim::BlockList>();
  sim::ConversionResult result;
  size_t lines = 0;  // lines read; all of the program's after a success
};

// The catalog language: --language, else that of "Customer.ini" in the working
// directory, else English -- the same rule as the other zarctl commands.
void resolveLanguage(NcOptions& o) {
  if (o.language < 0) o.language = customerLanguageOrEnglish(".");
}

// An output file is neither the input nor a place that cannot be written:
// both are found out before any work is done.
void checkOutput(const NcOptions& o) {
  if (o.output.empty()) return;
  if (sameFile(o.output, o.file)) fail(o.output + ": the output would overwrite its own input", kExitFile);
  std::string why;
  if (!checkReplaceable(o.output, &why)) fail("cannot write " + o.output + ": " + why, kExitFile);
}

void writeOutput(const std::string& path, std::string_view content) {
  std::string why;
  if (!replaceFileContent(path, content, &why)) fail("cannot write " + path + ": " + why, kExitFile);
}

// Converts the program; an empty program ends the command.
std::unique_ptr<Conversion> convert(const NcOptions& o) {
  auto c = std::make_unique<Conversion>();
  c->catalog.load(".", o.language);
  ProgramLines lines(o, c->catalog);
  if (lines.empty()) {
    lines.checkRead();
    std::string text = catalogText(c->catalog, 198, o.language);
    fail(text.empty() ? "the program is empty" : text, kExitConversion);
  }
  sim::Converter converter(*c->list);
  c->result = converter.ConvertLines([&lines](std::string& line) { return lines.next(line); });
  lines.checkRead();
  c->lines = lines.count();
  return c;
}

std::string failureText(const Conversion& c, const NcOptions& o) {
  std::string text = catalogText(c.catalog, sim::messageForStatus(c.result.status), o.language);
  if (text.empty()) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "conversion status %d", c.result.status);
    text = buf;
  }
  text += sim::OnLineSuffix(c.result.failingLine);
  if (c.result.failingLine == 1 || c.result.failingLine == 2) text += "\n" + formatNote(o);
  return text;
}

void runCheck(const NcOptions& o) {
  const auto c = convert(o);
  if (!c->result.ok()) fail(failureText(*c, o), kExitConversion);
  std::cout << c->list->count() << " blocks from " << c->lines << " lines\n";
}

void runDump(const NcOptions& o) {
  checkOutput(o);
  const auto c = convert(o);
  const std::string dump = sim::DumpText(*c->list, c->result);
  if (o.output.empty())
    std::cout << dump << std::flush;
  else
    writeOutput(o.output, dump);
  if (!c->result.ok()) fail(failureText(*c, o), kExitConversion);
}

void runPlot(const NcOptions& o) {
  checkOutput(o);
  const auto c = convert(o);
  if (!c->result.ok()) fail(failureText(*c, o), kExitConversion);

  sim::SvgPlot svg(o.zLevel);
  sim::HeadlessOptions options;
  options.unit = o.unit;
  options.resolution = o.resolution;
  options.maxSteps = o.maxSteps;
  const sim::HeadlessResult run = sim::RunHeadless(*c->list, svg, options);
  writeOutput(o.output, svg.document(o.file));

  const sim::PathExtents& e = run.extents;
  std::printf("steps=%ld segments=%ld extents=(X%.3f,Y%.3f) , (X%.3f,Y%.3f)\n", run.steps,
              svg.segments(), e.minX, e.minY, e.maxX, e.maxY);
  std::fflush(stdout);
  if (run.prepassTruncated)
    std::cerr << "the program's control flow runs too long to measure in full; extents are partial\n";
  if (run.stoppedByCallDepth) std::cerr << "the run ended at a CALL nested eight deep\n";
  if (run.capped)
    fail("the run was cut off after " + std::to_string(run.steps) +
             " steps (an endless loop?); raise --max-steps to go further",
         kExitCapped);
}

void addCommonOptions(CLI::App* cmd, NcOptions& o) {
  cmd->add_option("FILE", o.file,
                  "NC program: an NC program file if named .nc or .ncd, else plain program text")
      ->required();
  cmd->add_option("--language", o.language, "message catalog: 0 Chinese, 1 English (default: from Customer.ini, else English)")
      ->check(CLI::Range(0, 2));
  CLI::Option* ncFile =
      cmd->add_flag("--nc-file", o.ncFile, "read FILE as an NC program file as saved by the program page");
  cmd->add_flag("--text", o.text, "read FILE as plain program text, one line a program line")->excludes(ncFile);
  cmd->add_option("--type", o.type, "controller type of an NC program file: 0 ZAR X02 (default), 1 ZAR X00/X01")
      ->check(CLI::Range(0, 1));
}

}  // namespace

void addNcCommands(CLI::App& app) {
  auto options = std::make_shared<NcOptions>();
  CLI::App* nc = app.add_subcommand("nc", "NC program conversion and tool-path simulation");
  nc->require_subcommand(1);

  CLI::App* check = nc->add_subcommand("check", "convert a program; report the first failing line");
  addCommonOptions(check, *options);
  setExitCodes(check, {{"0", kConverted}, {"1", kNotConverted}, {"2", kNotRead}});
  check->callback([options] {
    resolveLanguage(*options);
    runCheck(*options);
  });

  CLI::App* dump = nc->add_subcommand("dump", "print the conversion dump (Test.TXT)");
  addCommonOptions(dump, *options);
  dump->add_option("-o,--output", options->output, "write the dump to this file instead");
  setExitCodes(dump, {{"0", kConverted},
                      {"1", "the conversion failed (the dump is written up to the failure), or the program is empty"},
                      {"2", "bad arguments; FILE cannot be read, or its slot or name line is wrong (NC program "
                            "file); the output cannot be written"}});
  dump->callback([options] {
    resolveLanguage(*options);
    runDump(*options);
  });

  CLI::App* plot = nc->add_subcommand("plot", "simulate the whole path and draw it as SVG");
  addCommonOptions(plot, *options);
  plot->add_option("-o,--output", options->output, "SVG file to write")->required();
  plot->add_option("--unit", options->unit, "unit item: 0 (default) or 1")->check(CLI::Range(0, 1));
  plot->add_option("--resolution", options->resolution, "step length choice 0..4 (default 0)")
      ->check(CLI::Range(0, sim::kResolutionCount - 1));
  plot->add_option("--z", options->zLevel, "draw only the path at this Z level");
  plot->add_option("--max-steps", options->maxSteps, "cut the run off after this many steps")
      ->check(CLI::PositiveNumber);
  setExitCodes(plot, {{"0", "the path was drawn"},
                      {"1", kNotConverted},
                      {"2", "bad arguments; FILE cannot be read, or its slot or name line is wrong (NC program "
                            "file); the SVG cannot be written"},
                      {"3", "the run was cut off at --max-steps (the SVG holds the path so far)"}});
  plot->callback([options] {
    resolveLanguage(*options);
    runPlot(*options);
  });

  setExitCodes(nc, {{"2", "no command, or an unknown one"}}, "Each command lists its own: zarctl nc COMMAND --help.");
}

}  // namespace zar::cli
