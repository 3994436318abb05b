// The command interpreter: reads lines from the input sources, expands
// macros, cuts lines into tokens, matches keywords, reads typed parameters and
// dispatches commands to the most derived interpreter level.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "base/except.h"
#include "base/logstream.h"
#include "base/string.h"

class CommandType;
class GuiApplication;
class SaveStream;

// The scripting level of the interpreter. It sits between the model level and
// the general commands: the interpreter consults it, when one is installed,
// for its own first words, PRINT and SET items, for symbols standing in for
// parameters, and for clearing, saving and restoring the scripting state.
class ScriptLevel {
 public:
  virtual ~ScriptLevel() = default;
  // Dispatch of a line that the model level does not own (0 done, 3 not
  // handled, 4 restart, 5 end of source); the general commands come first.
  virtual int Dispatch(CommandType& interp) = 0;
  virtual int Print(CommandType& interp) = 0;
  virtual int Set(CommandType& interp) = 0;
  // Parameter checks: answer true with the check code in `code` when the
  // token at the index is a scripting symbol; false leaves the base check to run.
  virtual bool CheckInteger(CommandType&, int32_t*, int&, int& /*code*/) { return false; }
  virtual bool CheckNumber(CommandType&, double*, int&, int& /*code*/) { return false; }
  virtual bool CheckString(CommandType&, String*, int&, int*, int& /*code*/) { return false; }
  virtual bool CheckBool(CommandType&, bool*, int&, int& /*code*/) { return false; }
  virtual bool CheckPointer(CommandType&, void**, uint32_t*, int&, int& /*code*/) { return false; }
  // After an error: running marks and the scripting file.
  virtual void ResetSources(CommandType&) {}
  // NEW: empties the scripting state (in place of emptying the macro table).
  virtual void Clear(CommandType& interp) = 0;
  // The scripting state, written and read after the interpreter state.
  virtual void SaveState(CommandType&, SaveStream&) {}
  virtual void RestoreState(CommandType&, SaveStream&) {}
  virtual void RemapPointers(CommandType&) {}
  // RESTORE is about to replace the state; the level may refuse by throwing
  // (a running script would lose the code it runs).
  virtual void BeforeRestore(CommandType&) {}
};

// SET PLOT and SET MOVIE are the window and device layer's: it installs its
// handlers for "plot" and "movie" at start-up (each reads its parameters and
// returns a check code). Until then those items fail with a clear message;
// an item that is not one of the general SET items is a logic error.
using GuiSetHandler = int (*)(CommandType& interp);
void InstallGuiSetHandler(const char* item, GuiSetHandler handler);
// The default extension of SET OUTPUT: the current hard-copy device's; none
// until the device layer installs this.
extern String (*HardCopyExtension)();

// The ordered table of macros (name to contents).
class MacroTable {
 public:
  // Safe mode: only words beginning with "#" are looked up as macros.
  bool HashOnly() const { return hashOnly_; }
  void SetHashOnly(bool on) { hashOnly_ = on; }

  void Define(const String& name, const String& contents);
  void Remove(const String& name);
  const String* Find(const String& name) const;
  void Clear() { entries_.clear(); }
  int Count() const { return static_cast<int>(entries_.size()); }
  const std::vector<std::pair<String, String>>& Entries() const { return entries_; }

  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);

 private:
  bool hashOnly_ = false;
  std::vector<std::pair<String, String>> entries_;  // in name order
};

class CommandType : public LogStream {
 public:
  // Result codes of command handlers.
  enum Result { kDone = 0, kNotHandled = 3, kRestart = 4, kEndSource = 5 };
  // Codes of the parameter checks.
  enum Check { kOk = 0, kConvert = 1, kMissing = 2, kUnrecognized = 3 };

  class CommandExcept : public KWRExcept {
   public:
    CommandExcept(const String& text, int index) : KWRExcept(text), index_(index) {}
    int Index() const { return index_; }

   private:
    int index_;
  };
  class ConvertExcept : public CommandExcept {
   public:
    ConvertExcept(int index, const String& token);
  };
  class MissingExcept : public CommandExcept {
   public:
    explicit MissingExcept(int index);
  };
  class UnrecognizedExcept : public CommandExcept {
   public:
    UnrecognizedExcept(int index, const String& token);
  };
  class RecursionExcept : public CommandExcept {
   public:
    RecursionExcept();
  };
  class BadCommandExcept : public CommandExcept {
   public:
    explicit BadCommandExcept(const String& token);
  };

  CommandType(int level, MacroTable* macros, bool virtualBase, ConsoleDevice* device = nullptr);
  ~CommandType() override;

  // The command loop of the run loop; true means restart (NEW).
  bool Run(const String& prompt);
  // Runs commands until a restart (true) or the end of a source that reports it (false).
  bool Process(const String& prompt);
  int ProcessSource(const String& prompt);
  // Reads and tokenises the next command; true when the input source has ended.
  bool GetLine(const String& prompt);
  // Expands macros and appends the tokens of one line; true when it asks for a continuation.
  bool Expand(String line);
  // Takes the next word off the line.
  String SplitWord(String& line);
  // The word that begins at or after `pos`; `pos` moves past it.
  String SplitWordAt(const std::string& line, size_t& pos);
  bool FindMacro(const String& word, String& contents);

  // Tokens of the current command. An index argument of nullptr means the
  // interpreter's current token index, which is read and advanced in place.
  int TokenCount() const { return static_cast<int>(tokens_.size()); }
  int& TokenIndex() { return index_; }
  int TokenLimit() const { return tokenLimit_; }
  void SetTokenLimit(int limit) { tokenLimit_ = limit; }
  String Token(int index) const;
  String Token() const { return Token(index_); }
  bool HasToken(int* index = nullptr) const;
  int FindToken(const char* keyword) const;
  void AddToken(const String& token) { tokens_.push_back(token); }
  void ClearTokens();
  static bool IsHelp(const String& word);
  void SetCommandPrefix(const String& prefix, const String& prompt);
  // The word put in front of every line while a sub-mode is on (empty otherwise).
  const String& CommandPrefix() const { return prefix_; }
  void AddHelpLine(const String& line) { helpLines_.push_back(line); }
  void ShowHelp();

  // Typed parameter checks: 0 accepted (value stored, index advanced),
  // 1 conversion failed or help given, 2 missing, 3 not recognised.
  virtual int CheckInteger(int32_t* out, int* index = nullptr);
  virtual int CheckNumber(double* out, int* index = nullptr);
  virtual int CheckString(String* out, int* index = nullptr, int* quoted = nullptr, bool helpAllowed = true);
  virtual int MatchKeyword(const char* list, int& result, int* index = nullptr);
  virtual int CheckBool(bool* out, int* index = nullptr);
  virtual int CheckVector2(double out[2], int* index = nullptr);
  virtual int CheckVector(double out[3], int* index = nullptr);
  virtual int CheckPointer(void** out, uint32_t* kind, int* index = nullptr);
  int CheckInt(int32_t* out, int* index = nullptr);
  int CheckNonNegInt(int32_t* out, int* index = nullptr);
  int CheckFileName(String* out, const char* defaultExtension, int* index = nullptr);

  // Getters: the check, and its failure thrown as a command exception.
  int32_t GetInt(int* index = nullptr);
  double GetReal(int* index = nullptr);
  String GetString(int* index = nullptr, int* quoted = nullptr);
  String GetFileName(const char* defaultExtension, int* index = nullptr);
  bool GetBool(int* index = nullptr);
  int GetKeyword(const char* list, int* index = nullptr);
  void GetVector2(double out[2], int* index = nullptr);
  void GetVector(double out[3], int* index = nullptr);
  // Mode bits of an optional "append", "overwrite" or "create" (never throws).
  uint32_t GetFileMode(int* index = nullptr);
  // Throws the exception for a check code (0 and unknown codes return).
  void ThrowParamError(int code, int* index = nullptr);

  // The dispatcher of this level; levels above override it and hand the
  // words they do not own down: to the scripting level when one is
  // installed, else to the general commands.
  virtual int Execute();
  int ExecuteGeneral();
  // One item of PRINT or SET per call: 0 done, else the keyword matcher's code.
  virtual int Print();
  virtual int Set();
  int PrintGeneral();
  int SetGeneral();
  int SetMemory();
  virtual void Pause();
  virtual int ListSettings();
  void ListMacros();
  // Clears the state of this level before every pass of the run loop.
  virtual void ClearMacros();
  // SAVE: measures the state for the disk-space check, confirms an existing
  // file and writes it beside the old file, which it replaces when complete.
  virtual void Save(const String& name, bool quiet);
  // RESTORE: refuses a file that is not a save file of this program before
  // anything is cleared; a failure after clearing clears again.
  virtual void Restore(const String& name);
  // The interpreter state at the head of every save file: the header, the
  // save time, the job title, the customer lines, the macros and then the
  // scripting level's state (ScriptLevel::SaveState / RestoreState). A level
  // above calls these first and appends its own sections after them;
  // RestoreState sets the restore versions that its sections are read under.
  virtual void SaveState(SaveStream& stream);
  virtual void RestoreState(SaveStream& stream, bool quiet = false);
  virtual int AfterRestore() { return 0; }
  // Clears what RESTORE replaces: the application's NEW (or, without an
  // application, the macros and the job title), with the model memory pool
  // emptied in one go.
  void ClearForRestore();

  void SetScriptLevel(ScriptLevel* level) { script_ = level; }
  ScriptLevel* Script() const { return script_; }
  void ResetSources() override;

  MacroTable* Macros() const { return macros_; }
  GuiApplication* App() const { return app_; }
  void SetApp(GuiApplication* app) { app_ = app; }
  int Level() const { return level_; }

 private:
  int level_;
  bool virtualBase_;
  String separators_ = String(" ,=\n\r\t()");
  char comment_ = ';';
  bool commentSeen_ = false;
  std::vector<String> tokens_;
  int index_ = 0;
  int tokenLimit_ = 32000;
  int depth_ = 0;
  String prefix_;
  String prefixPrompt_;
  MacroTable* macros_;
  std::vector<String> helpLines_;
  std::vector<String> helpKeywords_;
  GuiApplication* app_ = nullptr;
  ScriptLevel* script_ = nullptr;
};
