#include "shop/Backup.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "base/FileLocator.h"
#include "base/SafeFile.h"
#include "nc/ProgramFile.h"
#include "nc/ProgramTransfer.h"
#include "param/ParameterFile.h"
#include "param/ParameterModels.h"
#include "param/ParameterTables.h"
#include "param/ParameterTransfer.h"
#include "plc/PlcDecompiler.h"
#include "plc/PlcFile.h"
#include "plc/PlcTransfer.h"
#include "plc/PlcWorkspace.h"
#include "ui/Encoding.h"
#include "ui/MessageLog.h"
#include "ui/Operator.h"

namespace zar::shop {
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Nobody watches a backup: every question is answered OK (or Yes), and the
// message lines and editors are kept for the summary and the files.
class UnattendedOperator : public Operator {
 public:
  Page currentPage() const override { return page_; }
  void setPage(Page page) { page_ = page; }
  void appendMessage(Page, std::string_view line) override { lines_.emplace_back(line); }
  int showCatalogDialog(std::string_view, DialogType, const std::vector<ButtonKind>& buttons, int) override {
    for (ButtonKind preferred : {ButtonKind::OK, ButtonKind::Yes})
      for (ButtonKind b : buttons)
        if (b == preferred) return dialogResultOf(b);
    return buttons.empty() ? mrNone : dialogResultOf(buttons.front());
  }
  void beep() override {}
  void processEvents() override {}
  std::vector<std::string> editorLines(Page page) const override {
    const auto it = editors_.find(page);
    return it == editors_.end() ? std::vector<std::string>{} : it->second;
  }
  void setEditorLines(Page page, const std::vector<std::string>& lines) override { editors_[page] = lines; }
  void appendEditorLine(Page page, std::string_view line) override { editors_[page].emplace_back(line); }
  size_t editorLineCount(Page page) const override {
    const auto it = editors_.find(page);
    return it == editors_.end() ? 0 : it->second.size();
  }

  const std::vector<std::string>& lines() const { return lines_; }
  void clearLines() { lines_.clear(); }

 private:
  Page page_ = Page::Program;
  std::vector<std::string> lines_;
  std::map<Page, std::vector<std::string>> editors_;
};

// Why a dialogue failed, in words: the port's own reason when it did not
// open, the hang-up, or the outcome and the last message line.
std::string failureText(const Link& link, const UnattendedOperator& op, DialogueOutcome outcome, int language) {
  if (!link.lastOpenError().empty()) return link.lastOpenError();
  for (const std::string& line : op.lines())
    if (line == Link::kHungUpText) return std::string(Link::kHungUpText);
  std::string text(outcomeName(outcome));
  if (!op.lines().empty()) text += " (" + toUtf8(op.lines().back(), language) + ")";
  return text;
}

void syncDirectory(const fs::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string uniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  return std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + std::to_string(random() % 100000);
}

// Puts the finished staging folder in place of DIR/<machine>/<date>; an
// earlier backup of the same date goes only once the new one is there.
bool publish(const fs::path& staging, const fs::path& target, std::string& why) {
  std::error_code ec;
  fs::path old;
  if (fs::exists(target, ec)) {
    old = target.parent_path() / ("." + target.filename().string() + ".replaced-" + uniqueSuffix());
    fs::rename(target, old, ec);
    if (ec) {
      why = "cannot move the earlier backup " + target.string() + " aside: " + ec.message();
      return false;
    }
  }
  fs::rename(staging, target, ec);
  if (ec) {
    why = "cannot rename " + staging.string() + " to " + target.string() + ": " + ec.message();
    if (!old.empty()) fs::rename(old, target, ec);
    return false;
  }
  syncDirectory(target.parent_path());
  if (!old.empty()) fs::remove_all(old, ec);
  return true;
}

// One machine's backup, step by step; any failed step ends it.
class MachineBackup {
 public:
  MachineBackup(const Machine& m, const BackupSetup& setup, MachineResult& result)
      : m_(m), setup_(setup), result_(result), log_(*setup.catalog, op_),
        link_(comm_, linkSettings(m, setup), log_, comNumber(m) ? setup.ports : nullptr) {
    if (!comNumber(m)) link_.setDevicePath(m.port);
  }
  ~MachineBackup() { comm_.Close(); }
  Link& link() { return link_; }

  bool programs(const fs::path& staging, const std::atomic<bool>& cancel) {
    nc::ProgramTransfer transfer(link_, log_);
    op_.setPage(Page::Program);
    for (int slot : m_.slots) {
      if (cancel) return fail("cancelled");
      nc::ProgramPage page;
      page.slot = slot;
      page.typeIndex = m_.typeIndex;
      page.comIndex = comIndex();
      op_.clearLines();
      op_.setEditorLines(Page::Program, {});
      const DialogueOutcome outcome = transfer.RcvBtnClick(page);
      if (outcome == DialogueOutcome::Refused) {
        ++result_.emptySlots;  // the controller holds no program there
        continue;
      }
      if (outcome != DialogueOutcome::Done)
        return fail("slot " + std::to_string(slot) + ": " + failureText(link_, op_, outcome, setup_.language));
      const std::vector<std::string> lines = op_.editorLines(Page::Program);
      char file[32];
      std::snprintf(file, sizeof file, "slot-%02d.nc", slot);
      if (!write(staging / file, nc::formatProgramFile(slot, page.progName, m_.typeIndex, lines))) return false;
      ++result_.programs;
      result_.programLines += lines.size();
    }
    return true;
  }

  bool parameters(const fs::path& staging) {
    param::ParameterTables tables(FileLocator(setup_.workingDirectory), setup_.language);
    tables.LoadAddressTables();
    param::ParameterChooser chooser(tables);
    param::ModelVersion selection;
    if (const auto index = param::modelIndexOf(m_.modelNumber))
      selection = param::enterSelector(param::modelButton(*index), selection);
    if (const auto index = param::versionIndexOf(m_.version); index && !m_.version.empty())
      selection = param::enterSelector(param::versionButton(*index), selection);
    chooser.select(selection);
    const std::vector<param::ParameterEntry>& list = chooser.list().entries;
    if (list.empty())
      return fail("parameters: the list of model " + std::to_string(m_.modelNumber) +
                  " is empty (no parameter data files found)");
    op_.setPage(Page::Parameter);
    op_.clearLines();
    param::ParameterTransfer transfer(link_, log_, comIndex());
    const DialogueOutcome outcome = transfer.ParRcvBtnClick(list);
    if (outcome != DialogueOutcome::Done)
      return fail("parameters: " + failureText(link_, op_, outcome, setup_.language));
    const std::vector<std::string> lines = op_.editorLines(Page::Parameter);
    if (!write(staging / "parameters.par", param::formatParameterFile(lines))) return false;
    result_.parameters = lines.size();
    return true;
  }

  // The image as it came (plc.mcn, checked record by record) and its source
  // (plc.pmc). An image that does not decompile is still kept: it is what
  // the controller holds, and what a restore sends back.
  bool plcProgram(const fs::path& staging) {
    op_.setPage(Page::Plc);
    op_.clearLines();
    plc::PlcWorkspace workspace;  // one per machine: workers must not share one
    plc::PlcTransfer transfer(link_, log_, comIndex(), workspace);
    const DialogueOutcome outcome = transfer.receiveImage();
    if (outcome != DialogueOutcome::Done) return fail("plc: " + failureText(link_, op_, outcome, setup_.language));
    const std::string image = plc::PlcTransfer::imageText(transfer.records());
    if (!write(staging / "plc.mcn", image)) return false;
    result_.plcRecords = transfer.records().size();

    UnattendedOperator quiet;
    quiet.setPage(Page::Plc);
    MessageLog quietLog(*setup_.catalog, quiet);
    plc::PlcWorkspace decompiling;
    std::istringstream in(image);
    const plc::PlcDecompileResult decompiled = plc::DecompilePlcImage(in, decompiling, quietLog);
    if (!decompiled.ok()) {
      result_.plcNote = "image only: it does not decompile";
      return true;
    }
    const std::vector<std::string> source = quiet.editorLines(Page::Plc);
    if (!write(staging / "plc.pmc", plc::formatPlcFile(source))) return false;
    result_.plcLines = source.size();
    return true;
  }

 private:
  static int comNumber(const Machine& m) { return PortDirectory::comNumberOf(m.port); }
  int comIndex() const { return comNumber(m_) ? comNumber(m_) - 1 : 0; }

  static LinkSettings linkSettings(const Machine& m, const BackupSetup& setup) {
    LinkSettings s = setup.link;
    if (m.timeoutMs) s.timeoutMs = *m.timeoutMs;
    if (m.baud) {
      const int rates[] = {1200, 2400, 4800, 9600, 19200};
      for (int i = 0; i < 5; ++i)
        if (rates[i] == *m.baud) s.baudSelector = i + 1;
    }
    return s;
  }

  bool write(const fs::path& path, const std::string& content) {
    std::string why;
    if (replaceFileContent(path.string(), content, &why)) return true;
    return fail("cannot write " + path.string() + ": " + why);
  }
  bool fail(std::string why) {
    result_.error = std::move(why);
    return false;
  }

  const Machine& m_;
  const BackupSetup& setup_;
  MachineResult& result_;
  UnattendedOperator op_;
  MessageLog log_;
  TComm comm_;
  Link link_;
};

}  // namespace

std::string MachineResult::taken() const {
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (programs || emptySlots) add("programs " + std::to_string(programs));
  if (parameters) add("parameters " + std::to_string(parameters));
  if (plcRecords) add("plc " + std::to_string(plcRecords) + " records" + (plcNote.empty() ? "" : " (" + plcNote + ")"));
  return text.empty() ? "-" : text;
}

std::string BackupRunner::today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

void BackupRunner::attach(Link* link) {
  std::lock_guard lock(linksMutex_);
  links_.insert(link);
  if (cancel_) link->requestCancel();
}

void BackupRunner::detach(Link* link) {
  std::lock_guard lock(linksMutex_);
  links_.erase(link);
}

void BackupRunner::requestCancel() {
  cancel_ = true;
  std::lock_guard lock(linksMutex_);
  for (Link* link : links_) link->requestCancel();
}

MachineResult BackupRunner::backUp(const Machine& m) {
  MachineResult result;
  result.name = m.name;
  const auto start = Clock::now();
  const fs::path machineDir = fs::path(setup_.directory) / m.name;
  const fs::path staging = machineDir / ("." + setup_.date + ".partial-" + uniqueSuffix());
  std::error_code ec;
  fs::create_directories(staging, ec);
  if (ec) {
    result.error = "cannot make " + staging.string() + ": " + ec.message();
  } else if (cancel_) {
    result.error = "cancelled before it began";
  } else {
    MachineBackup backup(m, setup_, result);
    attach(&backup.link());
    bool ok = true;
    if (m.programs) ok = backup.programs(staging, cancel_);
    if (ok && m.parameters) ok = backup.parameters(staging);
    if (ok && m.plc) ok = backup.plcProgram(staging);
    detach(&backup.link());
    if (ok) {
      std::string why;
      if (publish(staging, machineDir / setup_.date, why)) {
        result.ok = true;
        result.folder = (machineDir / setup_.date).string();
      } else {
        result.error = why;
      }
    }
  }
  if (!result.ok) fs::remove_all(staging, ec);
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return result;
}

std::vector<MachineResult> BackupRunner::run(const std::vector<Machine>& machines) {
  std::vector<MachineResult> results(machines.size());
  std::atomic<size_t> next{0};
  auto worker = [&] {
    for (size_t i = next++; i < machines.size(); i = next++) {
      results[i] = backUp(machines[i]);
      if (setup_.onDone) {
        std::lock_guard lock(doneMutex_);
        setup_.onDone(results[i]);
      }
    }
  };
  const size_t count = std::min<size_t>(machines.size(), static_cast<size_t>(std::max(setup_.jobs, 1)));
  std::vector<std::thread> workers;
  for (size_t i = 1; i < count; ++i) workers.emplace_back(worker);
  worker();
  for (std::thread& t : workers) t.join();
  return results;
}

}  // namespace zar::shop
