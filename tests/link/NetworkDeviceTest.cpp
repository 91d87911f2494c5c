// The serial port component on a network port, against servers scripted in
// the test process: raw TCP, the COM port option, and the ways a server or
// the network fails.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "link/NetworkSerialDevice.h"
#include "link/PortInfo.h"
#include "link/PortNames.h"
#include "link/ScriptedServer.h"
#include "link/ThreadComm.h"

namespace zar {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::ScriptedServer;
using test::TelnetResponder;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string readAll(TComm& comm, size_t count) {
  std::string got(count, '\0');
  size_t at = 0;
  const auto end = Clock::now() + 3s;
  while (at < count && Clock::now() < end) {
    const int n = comm.Read(got.data() + at, static_cast<uint32_t>(count - at));
    if (n > 0) at += static_cast<size_t>(n);
  }
  got.resize(at);
  return got;
}

TEST(NetworkPortName, ValidAndMalformedNames) {
  auto p = parseNetworkPort("rfc2217://10.0.0.5:4001");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->kind, NetworkPort::Kind::Rfc2217);
  EXPECT_EQ(p->host, "10.0.0.5");
  EXPECT_EQ(p->endpoint(), "10.0.0.5:4001");
  p = parseNetworkPort("TCP://[fe80::1]:02000/");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->kind, NetworkPort::Kind::RawTcp);
  EXPECT_EQ(p->host, "fe80::1");
  EXPECT_EQ(p->endpoint(), "[fe80::1]:2000");
  EXPECT_TRUE(parseNetworkPort("tcp://serial-box.local:7000"));

  for (const char* bad : {"tcp://host", "tcp://:4001", "tcp://host:0", "tcp://host:65536", "tcp://host:40x1",
                          "rfc2217://fe80::1:4001", "tcp://[fe80::1]4001", "tcp://a b:1", "udp://host:1"}) {
    std::string why;
    EXPECT_FALSE(parseNetworkPort(bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
  EXPECT_TRUE(isNetworkPortName("Rfc2217://x"));
  EXPECT_FALSE(isNetworkPortName("/dev/ttyS0"));
}

TEST(NetworkPortName, PortsIniCarriesNetworkPorts) {
  const auto map = PortDirectory::parseMap(
      "COM5 = rfc2217://10.0.0.5:4001\r\nCOM6 = tcp://box:7000\r\nCOM7 = tcp://nohost\r\nCOM8 = ftp://x:1\r\n");
  EXPECT_EQ(map, (std::map<int, std::string>{{5, "rfc2217://10.0.0.5:4001"}, {6, "tcp://box:7000"}}));
  EXPECT_EQ(PortDirectory::parseMap(PortDirectory::formatMap(map)), map);

  // The port box and the link see the entry as it stands.
  const auto dir = std::filesystem::temp_directory_path() / ("zar_netports_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "dev");
  std::ofstream(dir / "Ports.ini") << "COM5 = rfc2217://10.0.0.5:4001\r\n";
  PortDirectory ports(dir.string(), (dir / "dev").string(), (dir / "sys").string());
  EXPECT_EQ(ports.devicePathFor("COM5"), "rfc2217://10.0.0.5:4001");
  EXPECT_EQ(ports.devicePathFor("tcp://box:7000"), "tcp://box:7000");
  EXPECT_EQ(ports.describe(5), "rfc2217://10.0.0.5:4001");
  ASSERT_EQ(ports.entries().size(), 1u);
  EXPECT_TRUE(ports.entries()[0].present);
  const std::vector<PortInfo> info = describePorts(ports, (dir / "dev").string(), (dir / "sys").string());
  ASSERT_EQ(info.size(), 1u);
  EXPECT_TRUE(info[0].present);
  EXPECT_EQ(info[0].driver, "serial server (RFC 2217)");
  std::filesystem::remove_all(dir);
}

TEST(NetworkDevice, RawTcpCarriesEveryByteBothWays) {
  std::string received;
  const std::string all = [] {
    std::string s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s;
  }();
  ScriptedServer server([&](int fd) {
    test::sendAll(fd, all);
    received = test::recvFor(fd, 500);
  });
  TComm comm;
  comm.SetDeviceName(server.url("tcp"));
  comm.Open();
  ASSERT_TRUE(comm.Enabled()) << comm.LastOpenError();
  EXPECT_TRUE(comm.OpenNotice().empty());
  comm.SetDTRState(true);  // no modem lines on raw TCP: nothing to do, no error
  EXPECT_EQ(readAll(comm, 256), all);
  EXPECT_EQ(comm.Write(all.data(), 256), 256);
  std::this_thread::sleep_for(700ms);
  comm.Close();
  EXPECT_EQ(received, all);
}

TEST(NetworkDevice, ComPortOptionSetsTheLineAndEscapesIac) {
  TelnetResponder responder;
  responder.toSend = telnet::escapeData(std::string("A\xff\r\nB", 5));
  ScriptedServer server([&](int fd) { responder.run(fd, 1500); });
  TComm comm;
  comm.SetDeviceName(server.url("rfc2217"));
  comm.SetBaudRate(br19200);
  comm.SetParity(paEven);
  comm.SetDataBits(da7);
  comm.Open();
  ASSERT_TRUE(comm.Enabled()) << comm.LastOpenError();
  EXPECT_TRUE(comm.OpenNotice().empty()) << comm.OpenNotice();
  comm.SetDTRState(true);
  comm.SetRTSState(false);
  EXPECT_EQ(readAll(comm, 5), std::string("A\xff\r\nB", 5));
  EXPECT_EQ(comm.Write("x\xffy", 3), 3);
  std::this_thread::sleep_for(300ms);
  comm.Close();

  std::lock_guard lock(responder.mutex);
  EXPECT_EQ(responder.data, "x\xffy");
  auto sent = [&](uint8_t command, std::string value) {
    for (const telnet::Event& e : responder.commands)
      if (e.command == command && e.value == value) return true;
    return false;
  };
  EXPECT_TRUE(sent(telnet::kSetBaudRate, std::string("\x00\x00\x4b\x00", 4)));
  EXPECT_TRUE(sent(telnet::kSetDataSize, "\x07"));
  EXPECT_TRUE(sent(telnet::kSetParity, "\x03"));
  EXPECT_TRUE(sent(telnet::kSetStopSize, "\x01"));
  EXPECT_TRUE(sent(telnet::kSetControl, "\x08"));  // DTR on
  EXPECT_TRUE(sent(telnet::kSetControl, "\x0c"));  // RTS off
}

TEST(NetworkDevice, ServerThatKeepsItsOwnRateRefusesTheSettings) {
  TelnetResponder responder;
  responder.answer = [](uint8_t command, const std::string& value) {
    return command == telnet::kSetBaudRate ? std::string("\x00\x00\x25\x80", 4) : value;  // 9600 whatever asked
  };
  ScriptedServer server([&](int fd) { responder.run(fd, 1000); });
  TComm comm;
  comm.SetDeviceName(server.url("rfc2217"));
  comm.SetBaudRate(br19200);
  EXPECT_THROW(comm.Open(), CommError);
  EXPECT_FALSE(comm.Enabled());
}

TEST(NetworkDevice, DeclinedOrUnansweredNegotiationFallsBackToRawWithANotice) {
  TelnetResponder refusing;
  refusing.refuseComPort = true;
  ScriptedServer server([&](int fd) { refusing.run(fd, 1000); });
  TComm comm;
  comm.SetDeviceName(server.url("rfc2217"));
  comm.Open();
  ASSERT_TRUE(comm.Enabled()) << comm.LastOpenError();
  EXPECT_NE(comm.OpenNotice().find("declined the COM port option"), std::string::npos) << comm.OpenNotice();
  EXPECT_EQ(comm.Write("a\xff", 2), 2);  // still Telnet: the 0xFF goes doubled
  std::this_thread::sleep_for(200ms);
  comm.Close();
  {
    std::lock_guard lock(refusing.mutex);
    EXPECT_EQ(refusing.data, "a\xff");
  }

  // A server that accepts and then says nothing at all.
  ScriptedServer silent([](int fd) { test::recvFor(fd, 1500); });
  TComm quiet;
  quiet.SetDeviceName(silent.url("rfc2217"));
  quiet.SetOpenTimeout(300);
  const auto start = Clock::now();
  quiet.Open();
  EXPECT_LT(secondsSince(start), 1.0);
  ASSERT_TRUE(quiet.Enabled()) << quiet.LastOpenError();
  EXPECT_NE(quiet.OpenNotice().find("did not answer"), std::string::npos) << quiet.OpenNotice();
}

TEST(NetworkDevice, ConnectionFailuresNameHostAndReasonWithinTheTimeOut) {
  TComm comm;
  const std::string refused = "tcp://127.0.0.1:" + std::to_string(ScriptedServer::closedPort());
  comm.SetDeviceName(refused);
  comm.Open();
  EXPECT_FALSE(comm.Enabled());
  EXPECT_NE(comm.LastOpenError().find(refused), std::string::npos) << comm.LastOpenError();
  EXPECT_NE(comm.LastOpenError().find("connection refused"), std::string::npos) << comm.LastOpenError();

  comm.SetDeviceName("rfc2217://no-such-host.invalid:4001");
  comm.SetOpenTimeout(500);
  auto start = Clock::now();
  comm.Open();
  EXPECT_FALSE(comm.Enabled());
  EXPECT_LT(secondsSince(start), 1.5);
  EXPECT_NE(comm.LastOpenError().find("no-such-host.invalid"), std::string::npos) << comm.LastOpenError();

  // An address nobody answers for (TEST-NET-1): refused, unreachable or a time-out.
  comm.SetDeviceName("tcp://192.0.2.1:4001");
  comm.SetOpenTimeout(300);
  start = Clock::now();
  comm.Open();
  EXPECT_FALSE(comm.Enabled());
  EXPECT_LT(secondsSince(start), 1.3);
  EXPECT_NE(comm.LastOpenError().find("192.0.2.1:4001"), std::string::npos) << comm.LastOpenError();
}

TEST(NetworkDevice, OneClientPerServerPort) {
  ScriptedServer server([](int fd) { test::recvFor(fd, 800); });
  TComm first, second;
  first.SetDeviceName(server.url("tcp"));
  first.Open();
  ASSERT_TRUE(first.Enabled()) << first.LastOpenError();
  second.SetDeviceName(server.url("tcp"));
  second.Open();
  EXPECT_FALSE(second.Enabled());
  EXPECT_NE(second.LastOpenError().find("already open"), std::string::npos) << second.LastOpenError();
  first.Close();

  // A server that turns a second client away closes the connection at once.
  ScriptedServer busy([](int fd) { test::sendAll(fd, "Port already in use\r\n"); });
  TComm third;
  third.SetDeviceName(busy.url("tcp"));
  third.Open();
  EXPECT_FALSE(third.Enabled());
  EXPECT_NE(third.LastOpenError().find("closed the connection"), std::string::npos) << third.LastOpenError();
}

TEST(NetworkDevice, ServerDroppingTheConnectionIsAHangUp) {
  ScriptedServer server([](int fd) {
    test::sendAll(fd, "$L");  // half a frame, then gone
    std::this_thread::sleep_for(150ms);
  });
  TComm comm;
  comm.SetDeviceName(server.url("tcp"));
  comm.Open();
  ASSERT_TRUE(comm.Enabled()) << comm.LastOpenError();
  EXPECT_EQ(readAll(comm, 2), "$L");
  const auto end = Clock::now() + 2s;
  while (!comm.HungUp() && Clock::now() < end) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(comm.HungUp());
  EXPECT_EQ(comm.WaitInput(100), -1);
  EXPECT_EQ(comm.Write("x", 1), 0);
}

}  // namespace
}  // namespace zar
