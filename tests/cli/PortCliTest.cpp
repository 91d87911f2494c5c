// zarctl detect, multi read|write and ports end to end against
// `zarctl controller`, from a scratch working directory holding the
// English catalog.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "cli/ControllerProcess.h"

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

struct CliRun {
  int code;
  std::string out, err;
};

class PortCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zar_cli_ports_" + std::to_string(::getpid()));
    fs::create_directories(dir / "out");
    fs::copy_file(fs::path(ZAR_DATA_DIR) / "Message.E", dir / "Message.E");
    std::ofstream(dir / "Customer.ini") << "Language = 1\r\nBaud = 5\r\n";
  }
  void TearDown() override { fs::remove_all(dir); }

  CliRun zarctl(const std::string& args) {
    const std::string cmd = "cd '" + dir.string() + "' && '" ZARCTL_PATH "' " + args +
                            " </dev/null >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "stdout.txt"),
            readFile(dir / "stderr.txt")};
  }
  static std::string fast() { return " --timeout 300 --reconnect-delay 5 --transit-mode 1"; }

  fs::path dir;
};

TEST_F(PortCli, DetectNamesTheFirstPortWithAControllerAndWhatItIs) {
  ControllerProcess ctrl({"--model", "202", "--version", "M"});
  const CliRun r = zarctl("detect --port " + dir.string() + "/absent --port " + ctrl.device() + fast());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, ctrl.device() + " " + ctrl.device() + " type=X02 model=202 version=M\n");
}

TEST_F(PortCli, DetectFailuresHaveTheirTextsAndCodes) {
  {
    const CliRun r = zarctl("detect --port /nonexistent/a --port /nonexistent/b" + fast());
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("zarctl detect: Auto detect failure"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
  {
    ControllerProcess ctrl({"--fault", "model:reply=X-102\\r\\n"});
    const CliRun r = zarctl("detect --port " + ctrl.device() + fast());
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.err.find("Detect a wrong type or version"), std::string::npos) << r.err;
  }
  {
    // No V in the version answer: the version stays K, and that is said.
    ControllerProcess ctrl({"--model", "101", "--fault", "version:reply=1.05M\\r\\n"});
    const CliRun r = zarctl("detect --port " + ctrl.device() + fast());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("type=X00/X01 model=101 version=K"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("holds no V"), std::string::npos) << r.err;
  }
  {
    ControllerProcess ctrl({"--fault", "version:none"});
    const CliRun r = zarctl("detect --port " + ctrl.device() + fast());
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.out.empty());
  }
  EXPECT_EQ(zarctl("detect --port LPT1").code, 2);
}

TEST_F(PortCli, MultiReadBacksUpSlotsAndWriteRestoresThem) {
  ControllerProcess source({"--samples"});
  CliRun r = zarctl("multi read 1,2,7 --prefix P --dir out --port " + source.device() + fast());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "out" / "PL01.NC"));
  EXPECT_TRUE(fs::exists(dir / "out" / "PL02.NC"));
  EXPECT_FALSE(fs::exists(dir / "out" / "PL07.NC"));
  EXPECT_NE(r.out.find("L01   SQUARE"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("L07"), std::string::npos);
  EXPECT_NE(r.out.find("refused"), std::string::npos);
  EXPECT_NE(r.err.find("In program No 07"), std::string::npos) << r.err;

  ControllerProcess target({"--state", (dir / "target.state").string()});
  r = zarctl("multi write out/PL01.NC out/PL02.NC --no-inquire --port " + target.device() + fast());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("stored"), std::string::npos) << r.out;
  target.stop();
  const std::string state = readFile(dir / "target.state");
  EXPECT_NE(state.find("[slot 01]\nname SQUARE"), std::string::npos) << state;
  EXPECT_NE(state.find("[slot 02]"), std::string::npos);

  // Read back from the target, the files are the same.
  fs::create_directories(dir / "again");
  ControllerProcess again({"--state", (dir / "target.state").string()});
  r = zarctl("multi read L01-L02 --prefix P --dir again --port " + again.device() + fast());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(dir / "again" / "PL01.NC"), readFile(dir / "out" / "PL01.NC"));
  EXPECT_EQ(readFile(dir / "again" / "PL02.NC"), readFile(dir / "out" / "PL02.NC"));
}

TEST_F(PortCli, MultiArgumentsAreChecked) {
  EXPECT_EQ(zarctl("multi read 0").code, 2);
  EXPECT_EQ(zarctl("multi read L60").code, 2);
  EXPECT_EQ(zarctl("multi write").code, 2);
  std::string many;
  for (int i = 0; i < 69; ++i) many += " f" + std::to_string(i) + ".nc";
  const CliRun r = zarctl("multi write" + many);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("at most 68 files"), std::string::npos) << r.err;
  EXPECT_EQ(zarctl("multi bogus").code, 2);
}

TEST_F(PortCli, MultiFaultsEndWithTheirCodesAndLeaveEarlierBackupsAlone) {
  std::ofstream(dir / "out" / "L02.NC") << "2\r\nOLD\r\nN1 M30\r\n";
  {
    ControllerProcess ctrl({"--samples", "--fault", "list.line:2:hangup"});
    const CliRun r = zarctl("multi read 2 --dir out --port " + ctrl.device() + fast());
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_EQ(readFile(dir / "out" / "L02.NC"), "2\r\nOLD\r\nN1 M30\r\n");
  }
  {
    ControllerProcess ctrl({"--samples"});
    const CliRun r = zarctl("multi write out/missing.nc --port " + ctrl.device() + fast());
    EXPECT_EQ(r.code, 6);
    EXPECT_NE(r.err.find("missing.nc"), std::string::npos) << r.err;
  }
}

TEST_F(PortCli, CtrlCEndsAMultiReadCleanly) {
  ControllerProcess ctrl({"--samples", "--fault", "list.line:2:delay=3000"});
  const int code = test::interruptOnceShown(
      dir, "multi read 1,2 --dir out --port " + ctrl.device() + " --timeout 5000 --transit-mode 1", "Communicating");
  EXPECT_EQ(code, 130) << readFile(dir / "stderr.txt");
  EXPECT_FALSE(fs::exists(dir / "out" / "L01.NC"));
}

TEST_F(PortCli, PortsListsWithoutFailing) {
  const CliRun r = zarctl("ports");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(r.out.empty());
}

}  // namespace
}  // namespace zar
