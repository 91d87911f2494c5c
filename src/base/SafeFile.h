#pragma once
// The one way the program writes a file.
//
// A file is never opened for writing in place: the new content goes into a
// temporary file beside it (a name no other writer uses), which is flushed to
// disk and renamed over the old one, and the directory is flushed so the
// rename survives a crash. Until that rename the old file is untouched; after
// it the new file is there whole. A failure at any step removes the
// temporary file and says why in the system's words ("No space left on
// device").
//
// The old file keeps its permission bits. A symbolic link stays a link: the
// file it points to is replaced, and a link whose file does not exist yet
// gets it created. A directory, FIFO or device is never written over.
//
//   std::string why;
//   if (!replaceFileContent(path, text, &why)) report(path + ": " + why);
//
//   SafeFileWriter out(path);                  // or write a piece at a time
//   if (!out.open(&why)) ...
//   out.stream() << line << "\r\n";            // as often as needed
//   if (!out.commit(&why)) ...                 // nothing in place before this

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace zar {

// Replaces the file at `path` with `content` (see above). On failure the old
// file is untouched and *error (when given) says why.
bool replaceFileContent(const std::string& path, std::string_view content, std::string* error);

// Whether `path` could be replaced now: it resolves as replaceFileContent
// would resolve it, and a file can be created beside it (a probe file is
// created and removed). For checking an output before long work.
bool checkReplaceable(const std::string& path, std::string* error);

// Whether two paths name the same existing file (through links and hard
// links alike). False when either does not exist.
bool sameFile(const std::string& a, const std::string& b);

// Writes `content` into a new file in the system's temporary directory,
// named after `prefix` and `suffix`, for output that could not go where it
// was meant to. Returns its path, or "" when even that failed.
std::string keepInTemporaryFile(std::string_view content, const std::string& prefix,
                                const std::string& suffix);

// A file replaced by streaming its new content. Nothing reaches `path` until
// commit(); destroying an uncommitted writer removes the temporary file.
class SafeFileWriter {
 public:
  explicit SafeFileWriter(std::string path);
  ~SafeFileWriter();
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  // Creates the temporary file. False (with the reason) when the target is
  // not a file that can be replaced or its directory refuses new files.
  bool open(std::string* error);
  // Appends to the new content; a failed write is remembered for commit().
  bool write(std::string_view data);
  // The same as a stream (flushed by commit()).
  std::ostream& stream();
  // Flushes the new content to disk and puts it in place. False, with the
  // old file untouched, when any write or this step failed.
  bool commit(std::string* error);
  // Removes the temporary file; the old file stays as it is.
  void discard();

  const std::string& path() const { return path_; }

 private:
  class Buffer;
  bool failWith(int code, std::string* error);

  std::string path_;
  std::string target_;     // the file actually replaced (a link's target)
  std::string directory_;  // where target_ and the temporary file live
  std::string temporary_;
  int fd_ = -1;
  int error_ = 0;  // the first write failure (errno)
  bool hadMode_ = false;
  unsigned mode_ = 0;
  std::unique_ptr<Buffer> buffer_;
  std::unique_ptr<std::ostream> stream_;
};

// Where a replace can be made to fail, for tests.
enum class SafeFileStep { Create, Write, Sync, Rename };

// While it lives, every replace in this process fails at `step` with the
// system error `code` (ENOSPC, EIO, ...), as a full or failing disk would
// make it fail. For tests only; one at a time.
class InjectedWriteFailure {
 public:
  InjectedWriteFailure(SafeFileStep step, int code);
  ~InjectedWriteFailure();
  InjectedWriteFailure(const InjectedWriteFailure&) = delete;
  InjectedWriteFailure& operator=(const InjectedWriteFailure&) = delete;
};

}  // namespace zar
