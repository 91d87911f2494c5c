// zarctl nc check|dump|plot: NC block conversion and tool-path simulation
// without the window.
//
// The program is read from FILE as editor lines (one line per text line), or,
// with --nc-file, from an NC program file as saved by the program page (slot
// number, program name for ZAR X02, numbered lines).
//
// Exit codes: 0 success; 1 the conversion failed or the program is empty;
// 2 a file could not be read or written; 3 the plot was cut off at
// --max-steps.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Settings.h"
#include "cli/Commands.h"
#include "sim/Converter.h"
#include "sim/PathPlot.h"
#include "ui/Encoding.h"
#include "ui/MessageCatalog.h"

namespace zar::cli {

namespace {

constexpr int kExitConversion = 1;
constexpr int kExitFile = 2;
constexpr int kExitCapped = 3;

struct NcOptions {
  std::string file;
  std::string output;
  int language = -1;  // -1: from "Customer.ini", English without it
  bool ncFile = false;
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

std::string workingDirectory() {
  std::vector<char> buf(4096);
  if (getcwd(buf.data(), buf.size()) == nullptr) return ".";
  return buf.data();
}

bool readWhole(const std::string& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Text lines: LF ends a line, a CR before it is dropped; a last line without
// LF still counts.
std::vector<std::string> splitLines(const std::string& content) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    const bool last = end == std::string::npos;
    if (last) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = last ? end : end + 1;
  }
  return lines;
}

// Pieces as a bounded text-mode line read returns them: CR LF taken as LF,
// at most `limit` characters, ending early after an LF (which is kept).
std::vector<std::string> boundedPieces(const std::string& raw, std::size_t limit) {
  std::string content;
  content.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    content += raw[i];
  }
  std::vector<std::string> pieces;
  std::size_t pos = 0;
  while (pos < content.size()) {
    std::size_t end = pos;
    while (end < content.size() && end - pos < limit)
      if (content[end++] == '\n') break;
    pieces.push_back(content.substr(pos, end - pos));
    pos = end;
  }
  return pieces;
}

int leadingInteger(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = std::min(v * 10 + (s[i] - '0'), 1LL << 31);
  return static_cast<int>(negative ? -v : std::min(v, (1LL << 31) - 1));
}

std::string catalogText(const MessageCatalog& catalog, int id, int language) {
  return toUtf8(catalog.text(id), language);
}

// The editor lines an NC program file loads into.
std::vector<std::string> loadNcFile(const std::string& raw, const NcOptions& o,
                                    const MessageCatalog& catalog) {
  std::vector<std::string> header = boundedPieces(raw, 79);
  std::size_t consumed = 0;
  if (header.empty()) return {};
  const int slot = leadingInteger(header[0]);
  consumed += header[0].size();
  if (slot < 1 || slot > 99) fail(catalogText(catalog, 112, o.language), kExitFile);
  if (o.type == 0) {
    if (header.size() < 2) return {};
    std::string name = header[1].substr(0, header[1].find('\n'));
    consumed += header[1].size();
    if (name.size() > 8) fail(catalogText(catalog, 113, o.language), kExitFile);
  }
  // CR LF pairs were folded in the header pieces: find the same place in the raw text.
  std::size_t rawPos = 0, folded = 0;
  while (rawPos < raw.size() && folded < consumed) {
    if (raw[rawPos] == '\r' && rawPos + 1 < raw.size() && raw[rawPos + 1] == '\n') ++rawPos;
    ++rawPos;
    ++folded;
  }
  std::vector<std::string> lines;
  int previous = 0;
  for (const std::string& piece : boundedPieces(raw.substr(rawPos), 119)) {
    const std::size_t blank = piece.find(' ');
    if (blank == std::string::npos) continue;
    const int number = leadingInteger(piece.substr(1, blank > 0 ? blank - 1 : 0));
    for (long gap = static_cast<long>(number) - previous - 1; gap > 0 && lines.size() < 1'000'000; --gap)
      lines.emplace_back();
    previous = number;
    std::string text = piece.substr(blank + 1);
    text = text.substr(0, text.find('\n'));
    lines.push_back(std::move(text));
  }
  return lines;
}

struct Loaded {
  std::vector<std::string> lines;
  MessageCatalog catalog;
};

// The catalog language: --language, else that of "Customer.ini" in the working
// directory, else English -- the same rule as the other zarctl commands.
void resolveLanguage(NcOptions& o) {
  if (o.language >= 0) return;
  o.language = std::filesystem::exists("Customer.ini") ? loadCustomerIni(".").language : 1;
}

std::unique_ptr<Loaded> load(const NcOptions& o) {
  auto loaded = std::make_unique<Loaded>();
  loaded->catalog.load(workingDirectory(), o.language);
  std::string raw;
  if (!readWhole(o.file, raw)) fail("cannot read " + o.file, kExitFile);
  loaded->lines = o.ncFile ? loadNcFile(raw, o, loaded->catalog) : splitLines(raw);
  return loaded;
}

std::string failureText(const Loaded& loaded, const sim::ConversionResult& result, int language) {
  std::string text = catalogText(loaded.catalog, sim::messageForStatus(result.status), language);
  if (text.empty()) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "conversion status %d", result.status);
    text = buf;
  }
  return text + sim::OnLineSuffix(result.failingLine);
}

bool isEmptyProgram(const std::vector<std::string>& lines) {
  return lines.empty() || (lines.size() == 1 && lines[0].empty());
}

// Converts the program; an empty program ends the command.
sim::ConversionResult convert(const Loaded& loaded, sim::BlockList& list, const NcOptions& o) {
  if (isEmptyProgram(loaded.lines)) {
    std::string text = catalogText(loaded.catalog, 198, o.language);
    fail(text.empty() ? "the program is empty" : text, kExitConversion);
  }
  sim::Converter converter(list);
  return converter.ConvertLines(loaded.lines);
}

void runCheck(const NcOptions& o) {
  const auto loaded = load(o);
  auto list = std::make_unique<sim::BlockList>();
  const sim::ConversionResult result = convert(*loaded, *list, o);
  if (!result.ok()) fail(failureText(*loaded, result, o.language), kExitConversion);
  std::cout << list->count() << " blocks from " << loaded->lines.size() << " lines\n";
}

void runDump(const NcOptions& o) {
  const auto loaded = load(o);
  auto list = std::make_unique<sim::BlockList>();
  const sim::ConversionResult result = convert(*loaded, *list, o);
  const std::string dump = sim::DumpText(*list, result);
  if (o.output.empty()) {
    std::cout << dump << std::flush;
  } else {
    std::ofstream out(o.output, std::ios::binary | std::ios::trunc);
    out << dump;
    out.close();
    if (!out) fail("cannot write " + o.output, kExitFile);
  }
  if (!result.ok()) fail(failureText(*loaded, result, o.language), kExitConversion);
}

void runPlot(const NcOptions& o) {
  const auto loaded = load(o);
  auto list = std::make_unique<sim::BlockList>();
  const sim::ConversionResult result = convert(*loaded, *list, o);
  if (!result.ok()) fail(failureText(*loaded, result, o.language), kExitConversion);

  sim::SvgPlot svg(o.zLevel);
  sim::HeadlessOptions options;
  options.unit = o.unit;
  options.resolution = o.resolution;
  options.maxSteps = o.maxSteps;
  const sim::HeadlessResult run = sim::RunHeadless(*list, svg, options);

  std::ofstream out(o.output, std::ios::binary | std::ios::trunc);
  out << svg.document(o.file);
  out.close();
  if (!out) fail("cannot write " + o.output, kExitFile);

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
  cmd->add_option("FILE", o.file, "NC program (one editor line per text line)")->required();
  cmd->add_option("--language", o.language, "message catalog: 0 Chinese, 1 English (default: from Customer.ini, else English)")
      ->check(CLI::Range(0, 2));
  cmd->add_flag("--nc-file", o.ncFile, "FILE is an NC program file as saved by the program page");
  cmd->add_option("--type", o.type, "controller type of --nc-file: 0 ZAR X02 (default), 1 ZAR X00/X01")
      ->check(CLI::Range(0, 1));
}

}  // namespace

void addNcCommands(CLI::App& app) {
  auto options = std::make_shared<NcOptions>();
  CLI::App* nc = app.add_subcommand("nc", "NC program conversion and tool-path simulation");
  nc->require_subcommand(1);

  CLI::App* check = nc->add_subcommand("check", "convert a program; report the first failing line");
  addCommonOptions(check, *options);
  check->callback([options] {
    resolveLanguage(*options);
    runCheck(*options);
  });

  CLI::App* dump = nc->add_subcommand("dump", "print the conversion dump (Test.TXT)");
  addCommonOptions(dump, *options);
  dump->add_option("-o,--output", options->output, "write the dump to this file instead");
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
  plot->callback([options] {
    resolveLanguage(*options);
    runPlot(*options);
  });
}

}  // namespace zar::cli
