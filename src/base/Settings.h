#pragma once
// The settings record and its two files.
//
// "Init.Ini" (read at start-up, written at close) holds the link and editor
// settings in seven lines; "Customer.ini" (installation settings, never
// written) holds the language, the baud selector and the splash time. Both
// are read as text in bounded pieces like every text file of the program, and
// both accept CR LF and bare LF line ends. Reading never fails: what cannot be
// read keeps its default.

#include <string>
#include <string_view>
#include <vector>

namespace zar {

struct Settings {
  // Link (Init.Ini lines 1-4).
  int timeOut = 1000;             // ms, whole-reply limit
  int byteDelay = 10;             // ms, pause after each byte in transit mode 0
  bool receiveTrace = false;      // log every reply ("RCV: ")
  bool sendTrace = false;         // log every frame sent ("TRN: ")
  bool spareFlag = false;         // only read and written back
  bool multipleConfirm = true;    // confirmation switch of the multiple-program transfer
  int transitMode = 0;            // 1: frame written at once, otherwise byte by byte
  // Window (Init.Ini lines 5-7).
  int defaultPort = 1;            // list index in COM_Select (0 = COM1), -1 none
  int plcTransitDelay = 50;       // ms, pause of the PLC transfer, 0..kMaxPlcTransitDelay
  int ncGutterLines = 3000;       // 2000..6000
  int plcGutterLines = 1024;      // 512..1024
  int reconnectDelay = 200;       // ms, pause before re-opening the port
  int portCount = 8;              // COM1..COMn, 1..99
  // Installation (Customer.ini).
  int language = 0;               // 0 Chinese, 1 English
  int baudSelector = 4;           // 1..5 -> 1200, 2400, 4800, 9600, 19200 baud
  int splashTime = 1500;          // ms the about window stays at start-up

  // Baud rate of the baud selector (9600 for anything outside 1..5).
  int baudRate() const;
};

inline constexpr const char* kInitIniName = "Init.Ini";
inline constexpr const char* kCustomerIniName = "Customer.ini";

// Longest line piece read from the settings files (longer lines are split).
inline constexpr int kSettingsPieceLength = 79;
// Upper bound of the splash time; a larger value would look like a hang.
inline constexpr int kMaxSplashTime = 10000;
// Upper bound of the PLC transit delay: the most the window's delay box can
// show or set. A larger value in "Init.Ini" reads as this bound, so the
// window and the command line pause alike, and it is written back so.
inline constexpr int kMaxPlcTransitDelay = 5000;

// A decimal integer as every text file of the program writes it: leading
// white space, an optional sign, digits up to the first non-digit; no digits
// give 0. Values beyond the int range saturate.
int parseDecimal(std::string_view text);

// Splits file content into the pieces a bounded line read returns: at most
// `pieceLength` characters each, a piece ending after its line end, which is
// then removed (CR LF and LF both end a line). A physical line longer than
// the bound fills several pieces.
std::vector<std::string> splitTextPieces(std::string_view content, int pieceLength);

// Applies "Init.Ini" content to `settings` (fields of missing lines keep
// what they hold; a missing line 2 sets the byte delay to 50). The rule for
// the default port against the port count is applied once all lines are read.
void readInitIni(Settings& settings, std::string_view content);
// Reads "Init.Ini" of the working directory `directory`; false when there is
// no such file (defaults kept).
bool loadInitIni(Settings& settings, const std::string& directory);

// The seven lines of "Init.Ini" with CR LF line ends; `selectedPort` is the
// list index selected in the port box at close (-1 when none).
std::string formatInitIni(const Settings& settings, int selectedPort);
// Writes "Init.Ini" of the working directory `directory` through the safe
// replace: a failed write leaves the previous file intact, and two programs
// closing at once leave one whole file. False (*error says why) when it
// cannot be written.
bool saveInitIni(const Settings& settings, int selectedPort, const std::string& directory,
                 std::string* error = nullptr);

// Installation settings as "Customer.ini" gives them.
struct CustomerSettings {
  int language = 0;
  int baudSelector = 4;
  int splashTime = 1500;
};
CustomerSettings readCustomerIni(std::string_view content);
// Reads "Customer.ini" for the working directory `directory`; without the
// file: language 0, baud selector 4, splash time 1500.
CustomerSettings loadCustomerIni(const std::string& directory);
// The catalog language where no window decides it (the command line): that
// of "Customer.ini", English without the file.
int customerLanguageOrEnglish(const std::string& directory);

// The whole start-up reading for a working directory: defaults, "Init.Ini",
// the port index check against the port count, then "Customer.ini".
Settings loadSettings(const std::string& directory);

// Joins a directory and a file name ("" means the current directory).
std::string joinPath(const std::string& directory, const std::string& name);

}  // namespace zar
