// zarctl backup end to end: several `zarctl controller` processes (one of
// them hanging up mid-program) and a dead server port, from a scratch
// working directory holding the shipped data files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/ControllerProcess.h"
#include "link/ScriptedServer.h"

namespace zar {
namespace {

namespace fs = std::filesystem;
using test::ControllerProcess;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class BackupCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zar_cli_backup_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy(ZAR_DATA_DIR, dir, fs::copy_options::recursive);
    // Frames written whole, without the per-byte pause a real line may need.
    std::ofstream(dir / "Init.Ini") << "TimeOut=500\r\nByteDelay=0\r\nTrace=0,0,0,0\r\nTransit=1\r\n";
  }
  void TearDown() override { fs::remove_all(dir); }

  int zarctl(const std::string& args) {
    const std::string cmd = "cd '" + dir.string() + "' && '" ZARCTL_PATH "' " + args +
                            " </dev/null >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    out = readFile(dir / "stdout.txt");
    err = readFile(dir / "stderr.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string machine(const std::string& name, const std::string& port, const std::string& extra = {}) {
    return "[[machine]]\nname = \"" + name + "\"\nport = \"" + port + "\"\nslots = \"1-5\"\ntimeout = 500\n" + extra +
           "\n";
  }

  fs::path dir;
  std::string out, err;
};

TEST_F(BackupCli, AllGoodExitsZeroDeadOrFailingMachinesExitThreeWithTheSummary) {
  ControllerProcess a({"--samples"}), b({"--samples", "--fault", "list.line:2:hangup"});
  ASSERT_FALSE(a.device().empty());
  ASSERT_FALSE(b.device().empty());
  std::ofstream(dir / "good.toml") << machine("a", a.device());
  ASSERT_EQ(zarctl("backup good.toml -d backups --date 2026-02-03"), 0) << err;
  EXPECT_TRUE(fs::exists(dir / "backups" / "a" / "2026-02-03" / "slot-01.nc"));
  EXPECT_TRUE(fs::exists(dir / "backups" / "a" / "2026-02-03" / "parameters.par"));
  EXPECT_TRUE(fs::exists(dir / "backups" / "a" / "2026-02-03" / "plc.mcn"));
  EXPECT_TRUE(fs::exists(dir / "backups" / "a" / "2026-02-03" / "plc.pmc"));
  EXPECT_NE(out.find("machine"), std::string::npos) << out;
  EXPECT_NE(out.find("ok"), std::string::npos) << out;

  const std::string dead = "tcp://127.0.0.1:" + std::to_string(test::ScriptedServer::closedPort());
  std::ofstream(dir / "shop.toml") << machine("a", a.device(), "take = [\"programs\"]")
                                   << machine("b", b.device(), "take = [\"programs\"]")
                                   << machine("c", dead, "take = [\"programs\"]");
  EXPECT_EQ(zarctl("backup shop.toml -d backups --jobs 2 --date 2026-02-04"), 3) << err;
  EXPECT_TRUE(fs::exists(dir / "backups" / "a" / "2026-02-04" / "slot-04.nc"));
  EXPECT_FALSE(fs::exists(dir / "backups" / "b" / "2026-02-04"));
  EXPECT_NE(out.find("FAILED: slot 1"), std::string::npos) << out;
  EXPECT_NE(out.find(dead + ": connection refused"), std::string::npos) << out;
  EXPECT_NE(err.find("2 of 3 machines failed"), std::string::npos) << err;
}

TEST_F(BackupCli, ABadShopFileIsRefusedWholeBeforeAnythingIsSent) {
  ControllerProcess a({"--samples"});
  std::ofstream(dir / "shop.toml") << machine("a", a.device()) << machine("a", "COM100")
                                   << "[[machine]]\nname = \"x\"\nport = \"COM1\"\nslot = 3\n";
  EXPECT_EQ(zarctl("backup shop.toml -d backups"), 6);
  EXPECT_NE(err.find("shop.toml:7: machine 'a' is named twice"), std::string::npos) << err;
  EXPECT_NE(err.find("shop.toml:9: port 'COM100'"), std::string::npos) << err;
  EXPECT_NE(err.find("shop.toml:16: unknown key 'slot'"), std::string::npos) << err;
  EXPECT_NE(err.find("nothing was sent"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir / "backups" / "a"));

  EXPECT_EQ(zarctl("backup shop.toml"), 2);
  EXPECT_EQ(zarctl("backup shop.toml -d backups --jobs 0"), 2);
  EXPECT_EQ(zarctl("backup shop.toml -d backups --date 2026-13-01"), 2);
}

}  // namespace
}  // namespace zar
