// zarctl controller, run as a process: the device path on the first line,
// serving until SIGTERM, the memory kept in its state file.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

// zarctl with its standard output on a pipe.
class Zarctl {
 public:
  explicit Zarctl(std::vector<std::string> args) {
    args.insert(args.begin(), ZARCTL_PATH);
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, ZARCTL_PATH, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
  }
  ~Zarctl() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
  }
  // The first line of standard output, without its LF.
  std::optional<std::string> firstLine(int timeoutMs = 5000) {
    std::string line;
    for (;;) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
      char c;
      if (::read(out_, &c, 1) != 1) return std::nullopt;
      if (c == '\n') return line;
      line += c;
    }
  }
  // Sends `sig` and returns the exit status.
  int stop(int sig = SIGTERM) {
    ::kill(pid_, sig);
    return wait();
  }
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

std::optional<std::string> ask(int fd, const std::string& frame) {
  if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
    return std::nullopt;
  std::string reply;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0) return std::nullopt;
    char c;
    if (::read(fd, &c, 1) != 1) return std::nullopt;
    reply += c;
    if (c == '\n' || c == '\x03') return reply;
  }
}

int openRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  return fd;
}

TEST(ZarctlController, ServesSamplesAndKeepsItsMemory) {
  const auto dir = std::filesystem::temp_directory_path() / ("zarctl-ctrl-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string state = (dir / "memory.txt").string();
  const std::string link = (dir / "com2").string();
  {
    Zarctl z({"controller", "--model", "202", "--version", "M", "--samples", "--state", state,
              "--link", link});
    const auto device = z.firstLine();
    ASSERT_TRUE(device);
    EXPECT_EQ(device->rfind("/dev/", 0), 0u) << *device;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), *device);
    const int fd = openRaw(link);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, "\x02VER\x03"), "V1.05M\r\n");
    ask(fd, "$%\r\n");
    ask(fd, "$L\r\n");
    ask(fd, "01\r\n");
    EXPECT_EQ(ask(fd, "\x06\x07\x01\r\n"), "SQUARE\r\n");
    ask(fd, "$%\r\n");
    ask(fd, "$R\r\n");
    EXPECT_EQ(ask(fd, "80=123\r\n"), "\x06\x07\x01\r\n");  // spindle maximum speed
    ::close(fd);
    EXPECT_EQ(z.stop(SIGTERM), 0);
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::ifstream in(state);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("name SQUARE"), std::string::npos);
  EXPECT_NE(text.str().find("80 = 123"), std::string::npos);
  std::filesystem::remove_all(dir);
}

TEST(ZarctlController, ReplacesTheLinkAnEarlierRunLeftBehind) {
  const auto dir = std::filesystem::temp_directory_path() / ("zarctl-stale-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto link = dir / "com3";
  std::filesystem::create_symlink("/dev/pts/9999", link);  // a run killed before it cleaned up
  {
    Zarctl z({"controller", "--link", link.string()});
    const auto device = z.firstLine();
    ASSERT_TRUE(device);
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), *device);
    EXPECT_EQ(z.stop(SIGINT), 0);
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::filesystem::remove_all(dir);
}

TEST(ZarctlController, InjectsFaultsAndStopsAfterAHangup) {
  Zarctl z({"controller", "--model", "101", "--fault", "attention:nak", "--fault",
            "list:hangup"});
  const auto device = z.firstLine();
  ASSERT_TRUE(device);
  const int fd = openRaw(*device);
  EXPECT_EQ(ask(fd, "$%\r\n"), "\x15\x07\x07\r\n");
  EXPECT_EQ(ask(fd, "$L\r\n"), std::nullopt);
  ::close(fd);
  EXPECT_EQ(z.wait(), 0);  // ends by itself once the line is hung up
}

TEST(ZarctlController, RejectsBadOptions) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"controller", "--model", "999"},
        {"controller", "--version", "Q"},
        {"controller", "--type", "X05"},
        {"controller", "--fault", "list:explode"},
        {"controller", "--baud", "-1"}}) {
    Zarctl z(args);
    EXPECT_EQ(z.firstLine(2000), std::nullopt) << args[1];
    EXPECT_NE(z.wait(), 0) << args[1];
  }
}

}  // namespace
