#pragma once
// The person at the screen, as the core's dialogues see them.
//
// Every controller dialogue, file operation and conversion talks to the user
// only through this interface: the main window implements it with its pages
// and dialogs, zarctl with a terminal, the tests with a recorder. Texts are
// 8-bit strings in the catalog's encoding (Big5 for the Chinese catalog); the
// implementation converts them at its boundary (see Encoding.h).

#include <string>
#include <string_view>
#include <vector>

namespace zar {

// The main window's pages, numbered as the current page index.
enum class Page : int { Program = 0, Parameter = 1, Plc = 2, None = -1 };

// Message dialog types (ordinals are the stored values).
enum class DialogType : int { Warning = 0, Error = 1, Information = 2, Confirmation = 3, Custom = 4 };

// Dialog button kinds in their fixed order; the ordinal is the kind.
enum class ButtonKind : int {
  Yes, No, OK, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help
};

// Dialog results of the button kinds.
enum DialogResult : int {
  mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
  mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10
};

int dialogResultOf(ButtonKind kind);

class Operator {
 public:
  virtual ~Operator() = default;

  // The page the user looks at; `AddMessage` writes into its message area.
  virtual Page currentPage() const = 0;

  // Appends one line to a page's message area (MsgMemo, ParMsgMemo, PLMMsgMemo).
  virtual void appendMessage(Page page, std::string_view line) = 0;
  // Empties a page's message area (a run of many programs starts each
  // program on a clean one). A view that keeps a running log may ignore it.
  virtual void clearMessages(Page page) { (void)page; }

  // Shows the main window's catalog dialog (modal) and returns the dialog
  // result of the pressed button, or the cancel button's result when it is
  // closed otherwise. Button captions come from the catalog (messages 71-81).
  virtual int showCatalogDialog(std::string_view text, DialogType type,
                                const std::vector<ButtonKind>& buttons, int focus) = 0;

  // The system beep.
  virtual void beep() = 0;

  // Runs pending window events once (repaint, live buttons) while a dialogue waits.
  virtual void processEvents() = 0;

  // Editor contents of a page (ProgramMemo, ParMemo, PLMMemo), one string per line.
  virtual std::vector<std::string> editorLines(Page page) const = 0;
  virtual void setEditorLines(Page page, const std::vector<std::string>& lines) = 0;
  virtual void appendEditorLine(Page page, std::string_view line) = 0;
  // The line count of a page's editor and one line of it (0-based; empty
  // past the end), read afresh on every call. The defaults copy the whole
  // editor; a window overrides them when that is costly.
  virtual size_t editorLineCount(Page page) const { return editorLines(page).size(); }
  virtual std::string editorLine(Page page, size_t index) const {
    const std::vector<std::string> lines = editorLines(page);
    return index < lines.size() ? lines[index] : std::string();
  }

  // Convenience: an OK/Cancel confirmation; true when the user chose OK.
  bool confirm(std::string_view text, DialogType type = DialogType::Confirmation);
};

}  // namespace zar
