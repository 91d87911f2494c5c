// zarctl backup SHOPFILE -d DIR [--jobs N] [--date YYYY-MM-DD]
//   Backs up every machine of the shop file at once into DIR/<machine>/<date>/
//   and prints a summary table: machine, what was taken, lines, result, time.
//   The shop file is checked whole before anything is sent.

#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/LinkSession.h"
#include "shop/Backup.h"
#include "shop/ShopFile.h"

namespace zar::cli {
namespace {

struct BackupOptions {
  std::string shopFile, directory, date, jobs;
  CLI::App* app = nullptr;
};

volatile std::sig_atomic_t gStopRequested = 0;
void onStopSignal(int) { gStopRequested = 1; }

// Ctrl-C and SIGTERM ask the runner to stop (each machine closes its port,
// nothing half-done is published); a watcher thread passes the request on.
class StopWatch {
 public:
  explicit StopWatch(shop::BackupRunner& runner) {
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &oldInt_);
    sigaction(SIGTERM, &sa, &oldTerm_);
    watcher_ = std::thread([this, &runner] {
      while (!done_) {
        if (gStopRequested) {
          runner.requestCancel();
          return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    });
  }
  ~StopWatch() {
    done_ = true;
    watcher_.join();
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
  std::atomic<bool> done_{false};
  std::thread watcher_;
};

std::string seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", s);
  return text;
}

void printSummary(const std::vector<shop::MachineResult>& results) {
  std::vector<std::vector<std::string>> rows = {{"machine", "taken", "lines", "result", "time"}};
  for (const shop::MachineResult& r : results)
    rows.push_back({r.name, r.taken(), std::to_string(r.programLines + r.parameters + r.plcLines),
                    r.ok ? "ok" : "FAILED: " + r.error, seconds(r.seconds)});
  std::vector<size_t> width(5, 0);
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], row[i].size());
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line.append(width[i] - row[i].size() + 2, ' ');
    }
    std::cout << line << '\n';
  }
  std::cout << std::flush;
}

void runBackup(const BackupOptions& o) {
  const std::string command = "backup";
  if (o.app && !o.app->remaining().empty())
    fail(command, "unexpected argument '" + o.app->remaining().front() + "' (see --help)", kExitUsage);
  if (o.shopFile.empty()) fail(command, "which shop file? (zarctl backup SHOPFILE -d DIR)", kExitUsage);
  if (o.directory.empty()) fail(command, "where to? (-d DIR)", kExitUsage);
  const int jobs = o.jobs.empty() ? 16 : wholeNumber(command, "--jobs", o.jobs, 1, 256);
  if (!o.date.empty()) {
    int y = 0, m = 0, d = 0;
    char rest = 0;
    if (std::sscanf(o.date.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &rest) != 3 || o.date.size() != 10 || m < 1 ||
        m > 12 || d < 1 || d > 31)
      fail(command, "--date must be YYYY-MM-DD, not '" + o.date + "'", kExitUsage);
  }

  std::string why;
  const auto shop = shop::readShopFile(o.shopFile, &why);
  if (!shop) fail(command, why + "\nnothing was sent", kExitFile);
  std::error_code ec;
  std::filesystem::create_directories(o.directory, ec);
  if (ec) fail(command, "cannot make " + o.directory + ": " + ec.message(), kExitFile);

  Session s(command, LinkOptions{});
  PortDirectory ports(".");
  shop::BackupSetup setup;
  setup.directory = o.directory;
  setup.date = o.date.empty() ? shop::BackupRunner::today() : o.date;
  setup.jobs = jobs;
  setup.link = s.link;
  setup.catalog = &s.catalog;
  setup.language = s.language;
  setup.ports = &ports;
  setup.onDone = [](const shop::MachineResult& r) {
    std::cerr << "zarctl backup: " << r.name << ": " << (r.ok ? "done" : "FAILED: " + r.error) << " ("
              << seconds(r.seconds) << ")\n";
  };
  shop::BackupRunner runner(std::move(setup));
  std::vector<shop::MachineResult> results;
  {
    const StopWatch watch(runner);
    results = runner.run(shop->machines);
  }
  printSummary(results);
  size_t failed = 0;
  for (const auto& r : results) failed += r.ok ? 0 : 1;
  if (runner.cancelled())
    fail(command, "cancelled; machines not finished keep their earlier backups", kExitCancelled);
  if (failed)
    fail(command,
         std::to_string(failed) + " of " + std::to_string(results.size()) +
             " machines failed; they keep their earlier backups",
         kExitLink);
}

}  // namespace

void addBackupCommand(CLI::App& app) {
  auto o = std::make_shared<BackupOptions>();
  CLI::App* cmd = app.add_subcommand("backup", "Back up every machine of a shop file at once");
  o->app = cmd;
  setExitCodes(cmd,
               {{"0", "every machine was backed up"},
                {"2", "bad arguments"},
                {"3", "one machine or more failed (the summary says which and why); each keeps its earlier "
                      "backups"},
                {"6", "the shop file could not be read or was refused (each problem named with its line; "
                      "nothing was sent), or DIR could not be made"},
                {"130", "cancelled by Ctrl-C or SIGTERM (every port closed; unfinished machines keep their "
                        "earlier backups)"}},
               "Each machine goes to DIR/<machine>/<date>/ (slot-NN.nc, parameters.par, plc.mcn and "
               "plc.pmc); a slot the controller refuses counts as empty. Defaults come from Init.Ini and "
               "Customer.ini in the working directory; the shop file's format is in the README.");
  cmd->allow_extras();
  cmd->add_option("SHOPFILE", o->shopFile, "Shop file (TOML): one [[machine]] table per machine")
      ->type_name("SHOPFILE");
  cmd->add_option("-d,--dir", o->directory, "Directory that holds the backups")->type_name("DIR");
  cmd->add_option("--jobs", o->jobs, "Machines backed up at the same time (default 16)")->type_name("N");
  cmd->add_option("--date", o->date, "Folder name under each machine (default: today, YYYY-MM-DD)")
      ->type_name("YYYY-MM-DD");
  cmd->callback([o] { runBackup(*o); });
}

}  // namespace zar::cli
