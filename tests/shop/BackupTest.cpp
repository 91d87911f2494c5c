// Backing up several virtual controllers at once, some of them failing: what
// lands in the backup directory, what is left alone, and the summary.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>
#include <fstream>
#include <sstream>

#include "controller/VirtualController.h"
#include "link/ScriptedServer.h"
#include "param/ParameterTables.h"
#include "plc/PlcTransfer.h"
#include "shop/Backup.h"
#include "support/NumberedCatalog.h"

namespace zar::shop {
namespace {

namespace fs = std::filesystem;
using controller::Fault;
using controller::VirtualController;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Hidden folders (staging, replaced backups) left in a machine's folder.
int hiddenEntries(const fs::path& dir) {
  int n = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) n += e.path().filename().string().front() == '.';
  return n;
}

class Backup : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zar_backup_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    setup.directory = dir.string();
    setup.date = "2026-01-01";
    setup.jobs = 8;
    setup.link.timeoutMs = 300;
    setup.link.transitMode = 1;
    setup.link.byteDelayMs = 0;
    setup.link.reconnectDelayMs = 5;
    setup.catalog = &catalog;
    setup.workingDirectory = ZAR_DATA_DIR;
  }
  void TearDown() override { fs::remove_all(dir); }

  static Machine machine(std::string name, std::string port, std::vector<int> slots) {
    Machine m;
    m.name = std::move(name);
    m.port = std::move(port);
    m.slots = std::move(slots);
    m.plc = false;
    return m;
  }
  size_t parameterCount() {
    param::ParameterTables tables(FileLocator(ZAR_DATA_DIR), 1);
    tables.LoadAddressTables();
    param::ParameterChooser chooser(tables);
    chooser.select({});
    return chooser.list().entries.size();
  }

  fs::path dir;
  MessageCatalog catalog = zar::test::numberedCatalog("#", ":", 200);
  BackupSetup setup;
};

TEST_F(Backup, GoodMachinesAreSavedFailedOnesKeepTheirEarlierBackup) {
  VirtualController good;
  ASSERT_TRUE(good.start());
  good.setProgram(1, {"FIRST", {"G00 X0", "M30"}});
  good.setProgram(3, {"THIRD", {"G01 X1 F100", "G01 X2", "M30"}});
  good.setParameter(12, 4321);
  good.setPlcImage(controller::samplePlcImage());
  VirtualController hanging;
  ASSERT_TRUE(hanging.start());
  hanging.setProgram(1, {"ONE", {"G00 X0", "M30"}});
  hanging.setProgram(2, {"TWO", {"G00 X0", "G00 X1", "M30"}});
  hanging.addFault(Fault::hangup("list.line:2"));  // the first program's second line
  // An earlier backup of the hanging machine, of the same date.
  fs::create_directories(dir / "hanging" / "2026-01-01");
  std::ofstream(dir / "hanging" / "2026-01-01" / "slot-01.nc") << "earlier\n";

  const std::string refused = "tcp://127.0.0.1:" + std::to_string(test::ScriptedServer::closedPort());
  std::vector<Machine> machines = {machine("good", good.devicePath(), {1, 2, 3}),
                                   machine("hanging", hanging.devicePath(), {1, 2}),
                                   machine("dead", refused, {1}),
                                   machine("absent", "/dev/zar-no-such-tty", {1})};
  machines[0].plc = true;
  machines[2].parameters = false;

  std::vector<std::string> reported;
  setup.onDone = [&](const MachineResult& r) { reported.push_back(r.name); };
  BackupRunner runner(setup);
  const std::vector<MachineResult> results = runner.run(machines);
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(reported.size(), 4u);

  const MachineResult& ok = results[0];
  EXPECT_TRUE(ok.ok) << ok.error;
  EXPECT_EQ(ok.programs, 2u);
  EXPECT_EQ(ok.emptySlots, 1u);
  EXPECT_EQ(ok.programLines, 5u);
  EXPECT_EQ(ok.parameters, parameterCount());
  const size_t records = controller::samplePlcImage().size();
  EXPECT_EQ(ok.plcRecords, records);
  EXPECT_GT(ok.plcLines, 0u);
  EXPECT_EQ(ok.taken(), "programs 2, parameters " + std::to_string(parameterCount()) + ", plc " +
                            std::to_string(records) + " records");
  const fs::path saved = dir / "good" / "2026-01-01";
  EXPECT_EQ(ok.folder, saved.string());
  EXPECT_TRUE(fs::exists(saved / "slot-01.nc"));
  EXPECT_FALSE(fs::exists(saved / "slot-02.nc"));
  const std::string third = readFile(saved / "slot-03.nc");
  EXPECT_NE(third.find("THIRD"), std::string::npos) << third;
  EXPECT_NE(third.find("G01 X2"), std::string::npos) << third;
  const std::string params = readFile(saved / "parameters.par");
  EXPECT_NE(params.find("(12)=4321"), std::string::npos) << params.substr(0, 400);
  EXPECT_EQ(readFile(saved / "plc.mcn"), plc::PlcTransfer::imageText(controller::samplePlcImage()));
  EXPECT_FALSE(readFile(saved / "plc.pmc").empty());
  EXPECT_EQ(hiddenEntries(dir / "good"), 0);

  EXPECT_FALSE(results[1].ok);
  EXPECT_NE(results[1].error.find("slot 1"), std::string::npos) << results[1].error;
  EXPECT_EQ(readFile(dir / "hanging" / "2026-01-01" / "slot-01.nc"), "earlier\n");
  EXPECT_FALSE(fs::exists(dir / "hanging" / "2026-01-01" / "slot-02.nc"));
  EXPECT_EQ(hiddenEntries(dir / "hanging"), 0);

  EXPECT_FALSE(results[2].ok);
  EXPECT_NE(results[2].error.find(refused), std::string::npos) << results[2].error;
  EXPECT_NE(results[2].error.find("connection refused"), std::string::npos) << results[2].error;
  EXPECT_FALSE(fs::exists(dir / "dead" / "2026-01-01"));
  EXPECT_FALSE(results[3].ok);
  EXPECT_NE(results[3].error.find("/dev/zar-no-such-tty"), std::string::npos) << results[3].error;
}

TEST_F(Backup, TwentyMachinesOfWhichFiveAreDead) {
  std::vector<std::unique_ptr<VirtualController>> ctrls;
  std::vector<Machine> machines;
  for (int i = 0; i < 20; ++i) {
    const std::string name = "m" + std::to_string(i);
    if (i % 4 == 3) {  // dead: nobody listens on its server port
      const int port = test::ScriptedServer::closedPort();
      machines.push_back(machine(name, "rfc2217://127.0.0.1:" + std::to_string(port), {1}));
    } else {
      ctrls.push_back(std::make_unique<VirtualController>());
      ASSERT_TRUE(ctrls.back()->start());
      ctrls.back()->setProgram(1, {"P" + std::to_string(i), {"G00 X" + std::to_string(i), "M30"}});
      machines.push_back(machine(name, ctrls.back()->devicePath(), {1, 2}));
    }
    machines.back().parameters = false;
  }
  const std::vector<MachineResult> results = BackupRunner(setup).run(machines);
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE(machines[i].name);
    EXPECT_EQ(results[i].name, machines[i].name);
    EXPECT_EQ(results[i].ok, i % 4 != 3) << results[i].error;
    if (results[i].ok) {
      EXPECT_NE(readFile(dir / machines[i].name / "2026-01-01" / "slot-01.nc").find("G00 X" + std::to_string(i)),
                std::string::npos);
    } else {
      EXPECT_NE(results[i].error.find("connection refused"), std::string::npos) << results[i].error;
      EXPECT_FALSE(fs::exists(dir / machines[i].name / "2026-01-01"));
    }
  }
}

TEST_F(Backup, ASecondBackupOfTheSameDateReplacesTheFirstOnlyWhenItSucceeds) {
  VirtualController ctrl;
  ASSERT_TRUE(ctrl.start());
  ctrl.setProgram(4, {"A", {"M30"}});
  Machine m = machine("m", ctrl.devicePath(), {4});
  m.parameters = false;
  setup.jobs = 1;
  EXPECT_TRUE(BackupRunner(setup).run({m})[0].ok);
  ctrl.setProgram(4, {"B", {"G00 X9", "M30"}});
  EXPECT_TRUE(BackupRunner(setup).run({m})[0].ok);
  EXPECT_NE(readFile(dir / "m" / "2026-01-01" / "slot-04.nc").find("G00 X9"), std::string::npos);

  ctrl.addFault(Fault::noReply("list.line:1"));
  const MachineResult failed = BackupRunner(setup).run({m})[0];
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(readFile(dir / "m" / "2026-01-01" / "slot-04.nc").find("G00 X9"), std::string::npos);
  EXPECT_EQ(hiddenEntries(dir / "m"), 0);
}

TEST_F(Backup, ACancelStopsEveryMachineAndPublishesNothing) {
  controller::ControllerConfig paced;
  paced.paceBaud = 1200;
  VirtualController slow(paced);
  ASSERT_TRUE(slow.start());
  std::vector<std::string> lines(300, "G01 X1 Y1 Z1 F100");
  slow.setProgram(1, {"LONG", lines});
  Machine m = machine("slow", slow.devicePath(), {1});
  BackupRunner runner(setup);
  std::thread stopper([&] {
    slow.waitForFrames(6, 5000);
    runner.requestCancel();
  });
  const MachineResult r = runner.run({m})[0];
  stopper.join();
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(runner.cancelled());
  EXPECT_FALSE(fs::exists(dir / "slow" / "2026-01-01"));
  EXPECT_EQ(hiddenEntries(dir / "slow"), 0);
}

}  // namespace
}  // namespace zar::shop
