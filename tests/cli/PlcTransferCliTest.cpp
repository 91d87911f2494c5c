// zarctl plc send, receive and verify end to end against `zarctl controller`,
// from scratch working directories.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/ControllerProcess.h"

namespace zar {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct CliRun {
  int code;
  std::string out, err;
};

class PlcTransferCli : public ::testing::Test {
 protected:
  PlcTransferCli() : dir(fs::temp_directory_path() / ("zar-cli-plc-" + std::to_string(::getpid()))) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(fs::path(ZAR_TEST_DIR) / "plc/data/all_classes.pmc", dir / "prog.pmc");
  }
  ~PlcTransferCli() override { fs::remove_all(dir); }

  void write(const std::string& name, const std::string& text) { std::ofstream(dir / name, std::ios::binary) << text; }
  CliRun zarctl(const std::string& args, const test::ControllerProcess& ctrl) {
    const std::string cmd = "cd '" + dir.string() + "' && '" ZARCTL_PATH "' plc " + args + " --port " + ctrl.device() +
                            " --timeout 400 --transit-mode 1 </dev/null >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "stdout.txt"), readFile(dir / "stderr.txt")};
  }

  fs::path dir;
};

TEST_F(PlcTransferCli, SendReceiveAndVerifyRoundTrip) {
  test::ControllerProcess ctrl({"--state", (dir / "state.txt").string()});
  CliRun r = zarctl("send prog.pmc", ctrl);
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string image = readFile(dir / "prog.mcn");  // compiled beside the source
  ASSERT_FALSE(image.empty());

  r = zarctl("receive -o back.pmc --image back.mcn", ctrl);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");  // messages go to standard error, with -o too
  EXPECT_EQ(readFile(dir / "back.mcn"), image);
  EXPECT_TRUE(has(readFile(dir / "back.pmc"), "\r\n"));

  // Without -o the source alone is on standard output.
  r = zarctl("receive", ctrl);
  ASSERT_EQ(r.code, 0) << r.err;
  std::string crlf = readFile(dir / "back.pmc"), lf;
  for (char c : crlf)
    if (c != '\r') lf += c;
  EXPECT_EQ(r.out, lf);

  r = zarctl("verify prog.pmc", ctrl);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "identical\n");
  r = zarctl("verify back.mcn", ctrl);  // an image is compared as it stands
  EXPECT_EQ(r.code, 0) << r.err;

  // The image persists in the controller's state file.
  ctrl.stop();
  EXPECT_TRUE(has(readFile(dir / "state.txt"), "[plc]"));
}

TEST_F(PlcTransferCli, VerifyNamesTheFirstDifferingInstruction) {
  test::ControllerProcess ctrl({});
  write("a.pmc", "LD 0000\r\nOUT 0500\r\nEND\r\n");
  write("b.pmc", "LD 0000\r\nOUT 0501\r\nEND\r\n");
  ASSERT_EQ(zarctl("send a.pmc", ctrl).code, 0);
  const CliRun r = zarctl("verify b.pmc", ctrl);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(has(r.out, "instruction 2 differs\n")) << r.out;
  EXPECT_TRUE(has(r.out, "b.pmc: OUT")) << r.out;
  EXPECT_TRUE(has(r.out, "controller: OUT")) << r.out;
}

TEST_F(PlcTransferCli, ADamagedRecordWritesNothingAndNamesTheRecord) {
  test::ControllerProcess ctrl({"--samples", "--fault", "plc.record:2:corrupt"});
  write("out.pmc", "old\r\n");
  const CliRun r = zarctl("receive -o out.pmc --image out.mcn", ctrl);
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(has(r.err, "zarctl plc receive: Record 2 from the controller is damaged")) << r.err;
  EXPECT_EQ(readFile(dir / "out.pmc"), "old\r\n");
  EXPECT_FALSE(fs::exists(dir / "out.mcn"));
}

TEST_F(PlcTransferCli, SendRefusesWhatCannotGoAndSaysWhy) {
  test::ControllerProcess ctrl({});
  write("bad.pmc", "LD 0000\r\nFROB 1\r\n");
  CliRun r = zarctl("send bad.pmc", ctrl);
  EXPECT_EQ(r.code, 6);
  EXPECT_TRUE(has(r.err, "bad.pmc line 2: ")) << r.err;
  write("long.pmc", "LD 0000 ;" + std::string(300, 'x') + "\r\n");
  r = zarctl("send long.pmc", ctrl);
  EXPECT_EQ(r.code, 6);
  EXPECT_TRUE(has(r.err, "line 1 is longer than 255")) << r.err;
  r = zarctl("send none.pmc", ctrl);
  EXPECT_EQ(r.code, 6);
}

TEST_F(PlcTransferCli, CtrlCCancelsAReceiveAndWritesNothing) {
  test::ControllerProcess ctrl({"--samples", "--fault", "plc.record:2:delay=5000"});
  write("out.pmc", "old\r\n");
  const int code = test::interruptOnceShown(
      dir, "plc receive -o out.pmc --port " + ctrl.device() + " --timeout 8000 --transit-mode 1",
      "Receiving PLC records");
  EXPECT_EQ(code, 130);
  EXPECT_EQ(readFile(dir / "out.pmc"), "old\r\n");
  EXPECT_TRUE(has(readFile(dir / "stderr.txt"), "cancelled; the port is closed, nothing was written"));
}

}  // namespace
}  // namespace zar
