// zarctl send/receive/delete stopped by Ctrl-C or SIGTERM, and their
// progress line on a terminal, end to end against `zarctl controller`.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

// `zarctl controller ARGS` in the background; its first line names the device.
class Controller {
 public:
  explicit Controller(const fs::path& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "controller");
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      execZarctl(dir, std::move(args));
    }
    ::close(out[1]);
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
    ::close(out[0]);
  }
  ~Controller() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  const std::string& device() const { return device_; }

 private:
  pid_t pid_ = -1;
  std::string device_;
};

class TransferCancelCliTest : public ::testing::Test {
 protected:
  TransferCancelCliTest() : dir(fs::temp_directory_path() / ("zar-cli-cancel-" + std::to_string(::getpid()))) {
    fs::create_directories(dir);
    fs::copy_file(fs::path(ZAR_DATA_DIR) / "Message.E", dir / "Message.E");
    writeFile(dir / "Customer.ini", "Language = 1\r\nBaud = 5\r\n");
    std::string program = "7\r\nLONG\r\n";
    for (int i = 1; i <= 300; ++i) program += "N" + std::to_string(i) + " G01 X" + std::to_string(i) + "\r\n";
    writeFile(dir / "long.nc", program);
  }
  ~TransferCancelCliTest() override { fs::remove_all(dir); }

  std::vector<std::string> transfer(std::vector<std::string> args, const Controller& ctrl) {
    for (const char* a : {"--timeout", "8000", "--transit-mode", "1", "--port"}) args.emplace_back(a);
    args.push_back(ctrl.device());
    return args;
  }
  // Waits until standard output holds `text`.
  bool stdoutShows(const std::string& text, std::chrono::milliseconds limit = 5000ms) {
    const auto end = Clock::now() + limit;
    while (readFile(dir / "stdout.txt").find(text) == std::string::npos) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }

  fs::path dir;
};

TEST_F(TransferCancelCliTest, CtrlCWhileAReplyIsAwaitedWritesNothing) {
  // The second program line comes five seconds late.
  Controller ctrl(dir, {"--samples", "--fault", "list.line:2:delay=5000*0"});
  for (const bool toStdout : {false, true}) {
    SCOPED_TRACE(toStdout ? "program to standard output" : "receive -o");
    std::vector<std::string> args{"receive", "1", "-y"};
    if (!toStdout) args.insert(args.end(), {"-o", "out.nc"});
    ZarctlRun run(dir, transfer(args, ctrl));
    // Messages go to standard error when the program goes to standard output.
    const fs::path log = dir / (toStdout ? "stderr.txt" : "stdout.txt");
    const auto end = Clock::now() + 5s;
    while (readFile(log).find("Communicating") == std::string::npos && Clock::now() < end)
      std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(300ms);  // well into the wait
    const auto cancelled = Clock::now();
    run.signal(SIGINT);
    EXPECT_EQ(run.wait(), 130);
    EXPECT_LT(Clock::now() - cancelled, 1s);

    EXPECT_FALSE(fs::exists(dir / "out.nc"));
    const std::string messages = readFile(log);
    EXPECT_NE(messages.find("Cancelled.\nPort closed \n"), std::string::npos) << messages;
    EXPECT_EQ(messages.find("No reply"), std::string::npos);
    const std::string err = readFile(dir / "stderr.txt");
    EXPECT_NE(err.find("zarctl receive: cancelled; the port is closed, nothing was written (1 line had arrived)\n"),
              std::string::npos)
        << err;
    if (toStdout) {
      EXPECT_EQ(readFile(dir / "stdout.txt"), "");
    }
    EXPECT_EQ(err.find('\r'), std::string::npos);  // no progress line off a terminal
  }
}

TEST_F(TransferCancelCliTest, SigtermMidSendStopsAtAFrameBoundary) {
  Controller ctrl(dir, {"--baud", "4800"});  // about 15 lines a second
  ZarctlRun run(dir, transfer({"send", "long.nc", "-y"}, ctrl));
  ASSERT_TRUE(stdoutShows("N20 G01 X20\n"));
  run.signal(SIGTERM);
  EXPECT_EQ(run.wait(), 130);
  const std::string out = readFile(dir / "stdout.txt");
  EXPECT_NE(out.find("Cancelled.\nPort closed \n"), std::string::npos) << out;
  EXPECT_EQ(out.find("Transfer complete"), std::string::npos);
  EXPECT_EQ(out.find("N300 "), std::string::npos);
  EXPECT_EQ(readFile(dir / "stderr.txt"), "zarctl send: cancelled; the port is closed\n");

  // The controller is free for the next command at once.
  ZarctlRun next(dir, transfer({"delete", "7", "-y"}, ctrl));
  EXPECT_EQ(next.wait(), 0) << readFile(dir / "stderr.txt");
}

TEST_F(TransferCancelCliTest, OnATerminalProgressShowsAndCtrlCAtAQuestionSendsNothing) {
  Controller ctrl(dir, {"--samples"});
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

TEST_F(TransferCancelCliTest, HelpOfEachCommandDocumentsExit130) {
  for (const char* command : {"send", "receive", "delete"}) {
    ZarctlRun run(dir, {command, "--help"});
    EXPECT_EQ(run.wait(), 0);
    EXPECT_NE(readFile(dir / "stdout.txt").find("130 cancelled by Ctrl-C or SIGTERM"), std::string::npos)
        << command;
  }
}

}  // namespace
