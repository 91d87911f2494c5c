#pragma once
// Backs up the machines of a shop file at once: each machine on a worker of
// its own (at most `jobs` at a time), so one slow or dead machine holds up
// nobody else.
//
// A machine's backup goes to DIR/<machine>/<date>/: its programs as NC files
// (slot-05.nc, ...), its parameters as parameters.par (every parameter of
// the model's list), its PLC program as plc.mcn (the image, as received and
// checked) and plc.pmc (its source). The backup is written
// into a hidden folder beside the date folder first and renamed into place
// only when everything of it came; a machine that fails leaves its earlier
// backups as they were. A slot the controller refuses is taken as empty and
// skipped.
//
//   BackupSetup setup{.directory = "backups", .date = "2026-05-04", .jobs = 8, ...};
//   BackupRunner runner(std::move(setup));
//   std::vector<MachineResult> results = runner.run(shop.machines);

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "link/Link.h"
#include "link/PortNames.h"
#include "shop/ShopFile.h"
#include "ui/MessageCatalog.h"

namespace zar::shop {

struct MachineResult {
  std::string name;
  bool ok = false;
  size_t programs = 0;      // programs saved
  size_t emptySlots = 0;    // slots the controller refused (no program)
  size_t programLines = 0;  // lines of those programs
  size_t parameters = 0;    // parameters saved
  size_t plcRecords = 0;    // PLC image records saved
  size_t plcLines = 0;      // lines of the PLC source saved
  std::string plcNote;      // something to say about the PLC ("image only: ...")
  std::string error;        // why it failed, naming port and reason (UTF-8)
  double seconds = 0;
  std::string folder;       // the backup's folder (when ok)

  // "programs 12, parameters 240, plc 37 records"
  std::string taken() const;
};

struct BackupSetup {
  std::string directory;             // DIR
  std::string date;                  // the folder under each machine
  int jobs = 16;
  LinkSettings link;                 // the defaults of Init.Ini and Customer.ini
  const MessageCatalog* catalog = nullptr;
  int language = 1;
  std::string workingDirectory;      // where the parameter data files are ("" = current)
  PortDirectory* ports = nullptr;    // COM numbers; may be null when no machine uses one
  // Called once per machine as it ends (from its worker, one call at a time).
  std::function<void(const MachineResult&)> onDone;
};

class BackupRunner {
 public:
  explicit BackupRunner(BackupSetup setup) : setup_(std::move(setup)) {}

  // Backs up every machine; the results are in the machines' order.
  std::vector<MachineResult> run(const std::vector<Machine>& machines);
  // Stops every running dialogue (each closes its port); machines not begun
  // are not begun. Thread-safe; callable from a signal-watching thread.
  void requestCancel();
  bool cancelled() const { return cancel_; }

  // Today's date as the folder name: YYYY-MM-DD, local time.
  static std::string today();

 private:
  MachineResult backUp(const Machine& machine);
  void attach(Link* link);
  void detach(Link* link);

  BackupSetup setup_;
  std::atomic<bool> cancel_{false};
  std::mutex linksMutex_;
  std::set<Link*> links_;
  std::mutex doneMutex_;
};

}  // namespace zar::shop
