#pragma once
// The message catalog: numbered user-visible texts in the user's language.
//
// Line n of the catalog file is message n; a line is a label, one blank and
// the text. Files are read in pieces of at most 253 characters (a longer
// physical line fills several entries) and at most 300 entries are kept.

#include <array>
#include <string>
#include <vector>

namespace zar {

class MessageCatalog {
 public:
  static constexpr int kMaxEntries = 300;
  static constexpr int kPieceLength = 253;

  // Catalog file name for a language index: 0 "Message.C", 1 "Message.E", 2 "Message.X".
  static std::string fileNameFor(int language);

  // Loads the catalog of `language` for the working directory `directory`
  // (found by the file locator). On failure the catalog is empty.
  bool load(const std::string& directory, int language);
  // Loads a catalog file by path (same rules).
  bool loadFile(const std::string& path);
  // Loads from text already in memory (same rules as a file).
  void loadText(const std::string& content);

  // The text of message `id` after the first blank of its line; empty when
  // `id` is outside 1..count() or the line has no blank.
  std::string text(int id) const;
  int count() const { return static_cast<int>(entries_.size()); }
  int language() const { return language_; }

  // Captions of the eleven dialog button kinds (messages 71 to 81).
  std::array<std::string, 11> buttonCaptions() const;

 private:
  std::vector<std::string> entries_;
  int language_ = 1;
};

// `GetMessageText` of the original naming, over a given catalog.
inline std::string GetMessageText(const MessageCatalog& catalog, int id) { return catalog.text(id); }

}  // namespace zar
