// zarctl send, receive and delete end to end against `zarctl controller`
// (their outcomes, exit codes, Ctrl-C and SIGTERM, the progress line),
// from a scratch working directory holding the English catalog.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/ControllerProcess.h"
#include "ui/Encoding.h"
#include "ui/MessageCatalog.h"

namespace zar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

using test::ControllerProcess;

[[noreturn]] void execZarctl(const fs::path& dir, std::vector<std::string> args) {
  if (::chdir(dir.c_str()) != 0) ::_exit(126);
  std::vector<char*> argv{const_cast<char*>("zarctl")};
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(ZARCTL_PATH, argv.data());
  ::_exit(127);
}

// One zarctl run, either with standard output and error in files of `dir`
// (stdout.txt, stderr.txt; no terminal anywhere) or with all three on a
// pseudo-terminal the test reads.
class ZarctlRun {
 public:
  ZarctlRun(const fs::path& dir, std::vector<std::string> args, bool onTerminal = false) {
    if (onTerminal) {
      pid_ = ::forkpty(&terminal_, nullptr, nullptr, nullptr);
      if (pid_ == 0) execZarctl(dir, std::move(args));
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      const int in = ::open("/dev/null", O_RDONLY);
      const int out = ::open((dir / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = ::open((dir / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(in, STDIN_FILENO);
      ::dup2(out, STDOUT_FILENO);
      ::dup2(err, STDERR_FILENO);
      execZarctl(dir, std::move(args));
    }
  }
  ~ZarctlRun() {
    if (pid_ > 0 && code_ == kRunning) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (terminal_ >= 0) ::close(terminal_);
  }

  void signal(int sig) { ::kill(pid_, sig); }

  // The exit code, or -1 when it did not end within the time (it is killed then).
  int wait(std::chrono::milliseconds limit = 5000ms) {
    const auto end = Clock::now() + limit;
    while (code_ == kRunning) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      if (terminal_ >= 0) readTerminal(10ms);
      else std::this_thread::sleep_for(5ms);
      if (Clock::now() > end) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        code_ = -1;
      }
    }
    if (terminal_ >= 0) readTerminal(50ms);
    return code_;
  }

  // Reads the terminal until `text` showed up (true) or the time is over.
  bool readTerminalUntil(const std::string& text, std::chrono::milliseconds limit = 5000ms) {
    const auto end = Clock::now() + limit;
    while (screen_.find(text) == std::string::npos) {
      if (Clock::now() > end) return false;
      readTerminal(20ms);
    }
    return true;
  }
  const std::string& screen() const { return screen_; }

 private:
  static constexpr int kRunning = -2;
  void readTerminal(std::chrono::milliseconds wait) {
    pollfd p{terminal_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return;
    char buffer[4096];
    const ssize_t n = ::read(terminal_, buffer, sizeof buffer);
    if (n > 0) screen_.append(buffer, static_cast<size_t>(n));
  }

  pid_t pid_ = -1;
  int terminal_ = -1;
  int code_ = kRunning;
  std::string screen_;
};

struct CliRun {
  int code;
  std::string out, err;
};

class TransferCliTest : public ::testing::Test {
 protected:
  TransferCliTest() : dir(fs::temp_directory_path() / ("zar-cli-transfer-" + std::to_string(::getpid()))) {
    fs::create_directories(dir);
    fs::copy_file(fs::path(ZAR_DATA_DIR) / "Message.E", dir / "Message.E");
    writeFile(dir / "Customer.ini", "Language = 1\r\nBaud = 5\r\n");
    english.loadFile((dir / "Message.E").string());
  }
  ~TransferCliTest() override { fs::remove_all(dir); }

  // Runs zarctl with no terminal on standard input.
  CliRun zarctl(const std::string& args) {
    const std::string cmd = "cd '" + dir.string() + "' && '" ZARCTL_PATH "' " + args +
                            " </dev/null >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "stdout.txt"),
            readFile(dir / "stderr.txt")};
  }
  std::string msg(int id) { return toUtf8(english.text(id), 1); }
  // Arguments of a transfer with the controller's device and a long time-out.
  std::vector<std::string> transfer(std::vector<std::string> args, const ControllerProcess& ctrl) {
    for (const char* a : {"--timeout", "8000", "--transit-mode", "1", "--port"}) args.emplace_back(a);
    args.push_back(ctrl.device());
    return args;
  }
  // A program of 300 lines in slot 7, as long.nc.
  void writeLongProgram() {
    std::string program = "7\r\nLONG\r\n";
    for (int i = 1; i <= 300; ++i) program += "N" + std::to_string(i) + " G01 X" + std::to_string(i) + "\r\n";
    writeFile(dir / "long.nc", program);
  }
  // Waits until `file` of the working directory holds `text`.
  bool fileShows(const std::string& file, const std::string& text, std::chrono::milliseconds limit = 5000ms) {
    const auto end = Clock::now() + limit;
    while (readFile(dir / file).find(text) == std::string::npos) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }


  fs::path dir;
  MessageCatalog english;
};

TEST_F(TransferCliTest, SendReceiveDeleteRoundTrip) {
  ControllerProcess ctrl({"--samples"});
  ASSERT_FALSE(ctrl.device().empty());
  const std::string port = " --port " + ctrl.device() + " --timeout 300 --transit-mode 1 --yes";
  const std::string program = "7\r\nDEMO\r\nN1 G00 X0 Y0\r\nN3 G01 X10\r\nN4 M30\r\n";
  writeFile(dir / "demo.nc", program);

  CliRun r = zarctl("send demo.nc" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("N2 \n"), std::string::npos);  // the empty line travels as its prefix
  EXPECT_NE(r.out.find(msg(106) + "\n"), std::string::npos);
  EXPECT_EQ(r.err, "");

  // Without -o the program comes out as a file, messages go to stderr.
  r = zarctl("receive 7" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, program);
  EXPECT_NE(r.err.find(msg(109)), std::string::npos);

  r = zarctl("receive 7 -o back.ncd" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(dir / "back.ncd"), program);

  // Send again under another slot and name: question 130 is answered too.
  r = zarctl("send back.ncd --slot 8 --name OTHER" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  r = zarctl("receive 8" + port);
  EXPECT_EQ(r.out, "8\r\nOTHER\r\nN1 G00 X0 Y0\r\nN3 G01 X10\r\nN4 M30\r\n");

  r = zarctl("delete 7" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(msg(128)), std::string::npos);
  r = zarctl("delete 7" + port);  // nothing there any more: refused
  EXPECT_EQ(r.code, 4);
  EXPECT_EQ(r.err, "zarctl delete: " + msg(122) + "\n");
}

TEST_F(TransferCliTest, X00ControllerTakesNoNames) {
  ControllerProcess ctrl({"--type", "X00/X01", "--model", "101"});
  const std::string port = " --port " + ctrl.device() + " --type X00 --timeout 300 -y";
  writeFile(dir / "a.nc", "3\nN1 X1\nN2 X2\n");  // bare LF is read too
  ASSERT_EQ(zarctl("send a.nc" + port).code, 0);
  const CliRun r = zarctl("receive 3" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "3\r\nN1 X1\r\nN2 X2\r\n");
}

TEST_F(TransferCliTest, ExitCodesSayWhatWentWrong) {
  ControllerProcess ctrl({"--samples", "--fault", "list.slot:none"});
  const std::string port = " --port " + ctrl.device() + " --timeout 200 --transit-mode 1";

  // The slot query goes unanswered: a link failure, nothing written.
  CliRun r = zarctl("receive 1 -o lost.nc" + port + " -y");
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(r.err.ends_with("\nzarctl receive: " + msg(103) + "\n")) << r.err;
  EXPECT_FALSE(fs::exists(dir / "lost.nc"));

  // No terminal and no --yes: declined, nothing deleted.
  r = zarctl("delete 1" + port);
  EXPECT_EQ(r.code, 5);
  EXPECT_NE(r.err.find("use --yes"), std::string::npos);
  r = zarctl("receive 1" + port + " -y");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(r.out.empty());

  // Arguments.
  EXPECT_EQ(zarctl("receive 100" + port).code, 2);
  EXPECT_EQ(zarctl("receive" + port).code, 2);
  EXPECT_EQ(zarctl("send x.nc --type X03" + port).code, 2);
  EXPECT_EQ(zarctl("delete 1 --port LPT1").code, 2);
  EXPECT_EQ(zarctl("delete 1 --baud 300" + port).code, 2);
  EXPECT_EQ(zarctl("delete 1 extra" + port).code, 2);

  // Files.
  EXPECT_EQ(zarctl("send missing.nc" + port + " -y").code, 6);
  writeFile(dir / "bad.nc", "0\r\nX\r\n");
  r = zarctl("send bad.nc" + port + " -y");
  EXPECT_EQ(r.code, 6);
  EXPECT_EQ(r.err, "zarctl send: " + msg(112) + "\n");
  writeFile(dir / "empty.nc", "5\r\nEMPTY\r\n");
  EXPECT_EQ(zarctl("send empty.nc" + port + " -y").code, 6);
  EXPECT_EQ(zarctl("receive 1 -o /nonexistent/dir/x.nc" + port + " -y").code, 6);
}

TEST_F(TransferCliTest, MessagesNameTheDeviceAndWhyItDidNotOpen) {
  ControllerProcess ctrl({"--samples"});
  CliRun r = zarctl("delete 1 --timeout 300 --transit-mode 1 -y --port " + ctrl.device());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(msg(101) + ctrl.device() + "\n"), std::string::npos) << r.out;

  // With -o as without, standard output is left to the program: the log and
  // the failure (the reason after 102 included) are on standard error.
  r = zarctl("receive 1 -o x.nc -y --port /dev/null");
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, msg(102) + "/dev/null\n/dev/null is not a serial device (not a terminal).\n"
                   "zarctl receive: " + msg(102) + "/dev/null\n"
                   "zarctl receive: /dev/null is not a serial device (not a terminal).\n");
  {
    const int held = ::open(ctrl.device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);  // as a terminal program holds it
    r = zarctl("receive 1 -o x.nc -y --port " + ctrl.device());
    ::close(held);
  }
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("zarctl receive: " + ctrl.device() + " is in use by another program"), std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir / "x.nc"));
  r = zarctl("send x.nc -y --port COM42");
  EXPECT_EQ(r.code, 6);  // the file is looked at first
  writeFile(dir / "x.nc", "1\r\nX\r\nN1 M30\r\n");
  r = zarctl("send x.nc -y --port COM42");
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("COM42 is not assigned to a serial device"), std::string::npos) << r.err;
}

TEST_F(TransferCliTest, ReceivedProgramsAreNeverThrownAway) {
  ControllerProcess ctrl({"--samples", "--fault", "list.end:delay=1500*9"});
  const std::string port = " --port " + ctrl.device() + " --timeout 4000 --transit-mode 1 -y";

  // A link to a file not there yet stays a link; the file appears behind it.
  fs::create_directories(dir / "programs");
  fs::create_symlink("programs/one.nc", dir / "current.nc");
  CliRun r = zarctl("receive 1 -o current.nc" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir / "current.nc"));
  EXPECT_EQ(readFile(dir / "programs" / "one.nc").substr(0, 9), "1\r\nSQUARE");

  // The output directory goes away while the program arrives: the program
  // is kept in a temporary file, and the message says where.
  fs::create_directories(dir / "out");
  const std::string cmd = "cd '" + dir.string() + "' && { '" ZARCTL_PATH "' receive 2 -o out/two.nc" + port +
                          " </dev/null >stdout.txt 2>stderr.txt & sleep 0.7; rm -rf out; wait $!; }";
  const int status = std::system(cmd.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 6);
  const std::string err = readFile(dir / "stderr.txt");
  const std::string marker = "the received program is kept in ";
  const size_t at = err.find(marker);
  ASSERT_NE(at, std::string::npos) << err;
  EXPECT_NE(err.find("\nzarctl receive: cannot write out/two.nc: No such file or directory;"), std::string::npos)
      << err;
  const std::string kept = err.substr(at + marker.size(), err.find('\n', at) - at - marker.size());
  EXPECT_EQ(readFile(kept).substr(0, 9), "2\r\nCIRCLE");
  fs::remove(kept);
}

TEST_F(TransferCliTest, ARefusedLineSaysTheSlotHoldsTheFirstLinesOnly) {
  ControllerProcess ctrl({"--fault", "store.line:3:nak"});
  writeFile(dir / "demo.nc", "7\r\nDEMO\r\nN1 G00 X0\r\nN2 G01 X1\r\nN3 G01 X2\r\nN4 M30\r\n");
  const CliRun r = zarctl("send demo.nc -y --timeout 300 --transit-mode 1 --port " + ctrl.device());
  EXPECT_EQ(r.code, 4);
  const std::string note = "Slot 07 holds only the first 2 of the program's 4 lines: do not run it, send it again.";
  EXPECT_EQ(r.err, "zarctl send: " + msg(122) + "\nzarctl send: " + note + "\n");
  EXPECT_TRUE(r.out.ends_with(note + "\n")) << r.out;  // the log says it too
}

TEST_F(TransferCliTest, AGarbledLineIsKeptAndNamedOnStandardError) {
  ControllerProcess ctrl({"--samples", "--fault", "list.line:2:reply=N2 G01\\x1b[2J X1\\r\\n"});
  const CliRun r = zarctl("receive 1 -o one.nc -y --timeout 300 --transit-mode 1 --port " + ctrl.device());
  EXPECT_EQ(r.code, 0) << r.err;  // stored as it came, as the window does
  EXPECT_EQ(r.out, "");
  EXPECT_NE(readFile(dir / "one.nc").find("\r\nN2 G01\x1b[2J X1\r\n"), std::string::npos);
  EXPECT_NE(r.err.find("\nWarning: line 2 arrived garbled"), std::string::npos) << r.err;
}

TEST_F(TransferCliTest, HelpListsTheExitCodes) {
  for (const char* command : {"send", "receive", "delete"}) {
    const CliRun help = zarctl(std::string(command) + " --help");
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("\n  5    a confirmation was declined\n"), std::string::npos) << command;
    EXPECT_NE(help.out.find("\n  130  cancelled by Ctrl-C or SIGTERM"), std::string::npos) << command;
  }
}

// ---- Cancel (Ctrl-C, SIGTERM) and the progress line.

TEST_F(TransferCliTest, CtrlCWhileAReplyIsAwaitedWritesNothing) {
  // The second program line comes five seconds late.
  ControllerProcess ctrl({"--samples", "--fault", "list.line:2:delay=5000*0"});
  for (const bool toStdout : {false, true}) {
    SCOPED_TRACE(toStdout ? "program to standard output" : "receive -o");
    std::vector<std::string> args{"receive", "1", "-y"};
    if (!toStdout) args.insert(args.end(), {"-o", "out.nc"});
    ZarctlRun run(dir, transfer(args, ctrl));
    // A receive's messages go to standard error, with or without -o.
    const std::string log = "stderr.txt";
    ASSERT_TRUE(fileShows(log, "Communicating"));
    std::this_thread::sleep_for(300ms);  // well into the wait
    const auto cancelled = Clock::now();
    run.signal(SIGINT);
    EXPECT_EQ(run.wait(), 130);
    EXPECT_LT(Clock::now() - cancelled, 1s);

    EXPECT_FALSE(fs::exists(dir / "out.nc"));
    const std::string messages = readFile(dir / log);
    EXPECT_NE(messages.find("Cancelled.\nPort closed \n"), std::string::npos) << messages;
    EXPECT_EQ(messages.find("No reply"), std::string::npos);
    const std::string err = readFile(dir / "stderr.txt");
    EXPECT_NE(err.find("zarctl receive: cancelled; the port is closed, nothing was written (1 line had arrived)\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(readFile(dir / "stdout.txt"), "");
    EXPECT_EQ(err.find('\r'), std::string::npos);  // no progress line off a terminal
  }
}

TEST_F(TransferCliTest, SigtermMidSendStopsAtAFrameBoundary) {
  ControllerProcess ctrl({"--baud", "4800"});  // about 15 lines a second
  writeLongProgram();
  ZarctlRun run(dir, transfer({"send", "long.nc", "-y"}, ctrl));
  ASSERT_TRUE(fileShows("stdout.txt", "N20 G01 X20\n"));
  run.signal(SIGTERM);
  EXPECT_EQ(run.wait(), 130);
  const std::string out = readFile(dir / "stdout.txt");
  EXPECT_NE(out.find("Cancelled.\nPort closed \n"), std::string::npos) << out;
  EXPECT_EQ(out.find("Transfer complete"), std::string::npos);
  EXPECT_EQ(out.find("N300 "), std::string::npos);
  // The failure says what the slot holds now: the lines the controller
  // took, perhaps one more if the cancel came while a reply was awaited.
  const std::string err = readFile(dir / "stderr.txt");
  const std::string said = "zarctl send: cancelled; the port is closed\n"
                           "zarctl send: Slot 07 holds only the first ";
  ASSERT_EQ(err.rfind(said, 0), 0u) << err;
  const int taken = std::atoi(err.c_str() + said.size());
  EXPECT_GE(taken, 19);  // line 20 was echoed, so 19 were taken
  const bool unanswered = err.find(" (or " + std::to_string(taken + 1) + ")") != std::string::npos;
  EXPECT_TRUE(err.ends_with(" of the program's 300 lines: do not run it, send it again.\n")) << err;

  // The controller is free for the next command at once, and holds that.
  ZarctlRun back(dir, transfer({"receive", "7", "-y", "-o", "part.nc"}, ctrl));
  ASSERT_EQ(back.wait(), 0) << readFile(dir / "stderr.txt");
  const std::string part = readFile(dir / "part.nc");
  const auto holds = [&part](int line) { return part.find("\nN" + std::to_string(line) + " ") != std::string::npos; };
  EXPECT_TRUE(holds(taken));
  if (!unanswered) {
    EXPECT_FALSE(holds(taken + 1));
  }
  EXPECT_FALSE(holds(taken + 2));
}

TEST_F(TransferCliTest, OnATerminalProgressShowsAndCtrlCAtAQuestionSendsNothing) {
  ControllerProcess ctrl({"--samples"});
  writeLongProgram();
  {
    ZarctlRun run(dir, transfer({"send", "long.nc", "-y"}, ctrl), true);
    EXPECT_EQ(run.wait(10s), 0) << run.screen();
    // One line rewritten in place, left with its final counts.
    EXPECT_NE(run.screen().find("\rsend  "), std::string::npos);
    EXPECT_NE(run.screen().find("\rsend  300/300 lines  100%  "), std::string::npos) << run.screen();
    EXPECT_NE(run.screen().find("/s  in 0:0"), std::string::npos) << run.screen();
    EXPECT_NE(run.screen().find("Transfer complete."), std::string::npos);
  }
  {
    ZarctlRun run(dir, transfer({"delete", "7"}, ctrl), true);  // asks on the terminal
    ASSERT_TRUE(run.readTerminalUntil("[y/N]")) << run.screen();
    run.signal(SIGINT);
    EXPECT_EQ(run.wait(), 130) << run.screen();
    EXPECT_NE(run.screen().find("cancelled"), std::string::npos) << run.screen();
  }
  // Still there: the delete was cancelled at its question.
  ZarctlRun check(dir, transfer({"receive", "7", "-y", "-o", "kept.nc"}, ctrl));
  EXPECT_EQ(check.wait(), 0);
  EXPECT_NE(readFile(dir / "kept.nc").find("N300 G01 X300"), std::string::npos);
}

}  // namespace
}  // namespace zar
