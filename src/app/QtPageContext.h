#pragma once
// What a page of the main window reaches of the window, and nothing more:
// the person at the screen (message areas, dialogs, editors), the catalog
// and message log, the settings, the link with its dialogue runner, the file
// choosers' state and the text conversion at the widget boundary. The window
// implements it; pages never see the window itself.
//
// Pages are built before the window's services exist: a page's constructor
// only keeps the reference, its handlers use it.

#include <QString>

#include <functional>
#include <string>
#include <string_view>

#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

class QWidget;

namespace zar {

class Link;
class Operator;
struct FileChoice;
struct Settings;

class PageContext {
 public:
  // The core's view of the person: what dialogues and files report to.
  virtual Operator& person() = 0;
  virtual const MessageCatalog& catalog() const = 0;
  virtual MessageLog& messageLog() = 0;
  virtual Settings& settings() = 0;
  // Where "Init.Ini", the catalogs and the manual are, for the run.
  virtual const std::string& workingDirectory() const = 0;

  // The link primitives over the port chosen on the program page.
  virtual Link& link() = 0;
  // Runs one controller dialogue with every page's transfer buttons
  // disabled, the current page's dialogue locks on and the other pages out
  // of reach; false, without running it, while another one runs.
  virtual bool runDialogue(const std::function<void()>& dialogue) = 0;
  virtual bool dialogueRunning() const = 0;

  // The parameter page's model (0..5) and version (0..2), which the port
  // search sets; with `rebuildList` the parameter list follows them.
  virtual int controllerModel() const = 0;
  virtual int controllerVersion() const = 0;
  virtual void setControllerModel(int modelIndex, int versionIndex, bool rebuildList) = 0;

  // The file choosers' shared state (chosen path, remembered names).
  virtual FileChoice& fileChoice() = 0;
  // The window, as the parent of the dialogs a page opens.
  virtual QWidget* dialogParent() = 0;

  // Between the core's 8-bit texts and the widgets' Unicode.
  virtual QString toQt(std::string_view eightBit) const = 0;
  virtual std::string fromQt(const QString& text) const = 0;

  std::string GetMessageText(int id) const { return catalog().text(id); }
  // A catalog message (and extra text) into the current page's message area.
  void AddMessage(int id, std::string_view extra = {}) { messageLog().add(id, extra); }

 protected:
  ~PageContext() = default;
};

}  // namespace zar
