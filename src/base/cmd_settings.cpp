// SET, PRINT and LIST of the general level: one item per call.
#include <string>

#include "base/app.h"
#include "base/command.h"
#include "base/command_table.h"
#include "base/file.h"
#include "base/linklist.h"
#include "base/memory.h"
#include "base/message.h"
#include "base/random.h"
#include "base/savestream.h"
#include "base/system.h"

namespace {
const char* const kMemoryWords = "lock add size";
enum MemoryWord { kLock = 1, kAdd, kSize };

// One SET MEMORY unit: 1,024,000 bytes.
constexpr uint64_t kMemoryUnit = 1024000;

String Decimal(uint64_t v) { return String(std::to_string(v)); }

// An item of SET or PRINT: reads its parameters and answers a check code.
using ItemHandler = int (*)(CommandType& in);

int SetPaginationItem(CommandType& in) {
  in.SetPagination(in.GetBool());
  return CommandType::kOk;
}

int SetCaseSensitivityItem(CommandType& in) {
  SetCaseSensitive(in.GetBool());
  return CommandType::kOk;
}

int SetLogItem(CommandType& in) {
  if (in.GetBool())
    in.OpenLog();
  else
    in.CloseLog();
  return CommandType::kOk;
}

int SetLogFileItem(CommandType& in) {
  String name = in.GetFileName("log");
  uint32_t mode = in.GetFileMode();
  in.SetLogFile(name, mode);
  return CommandType::kOk;
}

// The command window is always there: its own SET MODE is not asked for.
int SetModeItem(CommandType& in) {
  in << "+++ SET MODE command ignored if GUI is active\n";
  if (in.HasToken()) ++in.TokenIndex();
  return CommandType::kOk;
}

int SetOutputItem(CommandType& in) {
  String ext = HardCopyExtension ? HardCopyExtension() : String();
  PlotOutputName() = in.GetFileName(ext.c_str());
  return CommandType::kOk;
}

int SetSafeConversionItem(CommandType& in) {
  bool on = in.GetBool();
  if (in.Macros()) in.Macros()->SetHashOnly(on);
  return CommandType::kOk;
}

int SetEchoItem(CommandType& in) {
  in.SetEcho(in.GetBool());
  return CommandType::kOk;
}

int SetPageLengthItem(CommandType& in) {
  in.SetPageLength(in.GetInt());
  return CommandType::kOk;
}

int SetMouseItem(CommandType& in) {
  in.GetInt();
  return CommandType::kOk;
}

int SetPcxOutputItem(CommandType&) { return CommandType::kOk; }

// The seed is optional; a word that is no integer is left for the next item.
int SetRandomItem(CommandType& in) {
  int32_t seed = 0;
  if (in.CheckInteger(&seed) != CommandType::kOk) seed = 0;
  RandomSeed(seed);
  return CommandType::kOk;
}

int SetMemoryItem(CommandType& in) { return in.SetMemory(); }

template <String& (*kLine)()>
int SetCustomerLineItem(CommandType& in) {
  String text;
  int code = in.CheckString(&text);
  if (code == CommandType::kMissing)
    text = String(" ");
  else if (code != CommandType::kOk)
    in.ThrowParamError(code);
  kLine() = text;
  return CommandType::kOk;
}

int SetDirectoryItem(CommandType& in) {
  String dir;
  int code = in.CheckString(&dir);
  if (code == CommandType::kMissing)
    dir = System::CurrentDirectory();
  else if (code != CommandType::kOk)
    in.ThrowParamError(code);
  if (!System::ChangeDirectory(dir)) throw KWRExcept("Could not change directory!");
  in << "+++ Current directory is set to " << System::CurrentDirectory() << "\n";
  return CommandType::kOk;
}

// The general SET items. SET PLOT and SET MOVIE belong to the window and
// device layer, which installs them.
CommandTable<ItemHandler> g_setItems("general set", {{"pagination", &SetPaginationItem},
                                                     {"case_sensitivity", &SetCaseSensitivityItem},
                                                     {"log", &SetLogItem},
                                                     {"logfile", &SetLogFileItem},
                                                     {"mode", &SetModeItem},
                                                     {"output", &SetOutputItem},
                                                     {"safe_conversion", &SetSafeConversionItem},
                                                     {"echo", &SetEchoItem},
                                                     {"pagelength", &SetPageLengthItem},
                                                     {"plot"},
                                                     {"mouse", &SetMouseItem},
                                                     {"pcxoutput", &SetPcxOutputItem},
                                                     {"random", &SetRandomItem},
                                                     {"memory", &SetMemoryItem},
                                                     {"cust1", &SetCustomerLineItem<&CustomerLine1>},
                                                     {"cust2", &SetCustomerLineItem<&CustomerLine2>},
                                                     {"directory", &SetDirectoryItem},
                                                     {"movie"}});

int PrintMacroItem(CommandType& in) {
  if (!in.Macros()) throw KWRExcept("No macro list specified");
  in.ListMacros();
  return CommandType::kOk;
}

// "save" or "system" may follow; any other word is the next item.
int PrintMemoryItem(CommandType& in) {
  int k = 0;
  int code = in.MatchKeyword("save system", k);
  const String blanks = "\r" + String(' ', 36) + "\r";
  const String& name = Identity().upperName;
  if (code == CommandType::kOk && k == 1) {
    in << "Calculating file size... please wait";
    in.flush();
    NumberAllLists();
    CountFile count;
    in.SaveState(count);
    in << blanks;
    in << MessageText("%s KBytes in model (save file size)", Decimal(count.Count() / 1024)) << "\n";
  } else if (code == CommandType::kOk && k == 2) {
    in << "Scanning system memory... please wait";
    in.flush();
    uint64_t used = ModelMemoryInUse();
    uint64_t reserved = ModelMemorySize();
    in << blanks;
    in << Decimal(used / 1024) << " KBytes being actively used by " << name << "\n";
    in << Decimal(reserved / 1024) << " KBytes reserved from system for use by " << name << "\n";
  } else {
    in << "Approximately " << Decimal(ModelMemoryInUse() / 1024) << " KBytes being actively used by " << name << "\n";
  }
  return CommandType::kOk;
}

int PrintInformationItem(CommandType& in) {
  in.ListSettings();
  return CommandType::kOk;
}

int PrintVersionItem(CommandType& in) {
  String text = VersionString();
  int k = 0;
  if (in.MatchKeyword("develop", k) == CommandType::kOk) {
    const ProgramIdentity& id = Identity();
    text += " :: -Rel" + IntToString(id.releaseNumber) + "-Beta" + IntToString(id.betaNumber) + "-Alpha" +
            IntToString(id.programVersion) + "-Lib" + IntToString(id.formatVersion);
  }
  in << MessageText("%s version %s", Identity().upperName, text) << "\n";
  return CommandType::kOk;
}

int PrintDirectoryItem(CommandType& in) {
  in << System::CurrentDirectory() << "\n";
  return CommandType::kOk;
}

// The general PRINT items.
CommandTable<ItemHandler> g_printItems("general print", {{"macro", &PrintMacroItem},
                                                         {"memory", &PrintMemoryItem},
                                                         {"information", &PrintInformationItem},
                                                         {"version", &PrintVersionItem},
                                                         {"directory", &PrintDirectoryItem}});
}  // namespace

String (*HardCopyExtension)() = nullptr;

void InstallGuiSetHandler(const char* item, GuiSetHandler handler) { g_setItems.Install(item, handler); }

int CommandType::SetGeneral() {
  int word = 0;
  if (int code = MatchKeyword(g_setItems.Keywords(), word)) return code;
  const ItemHandler handler = g_setItems.HandlerOf(word);
  if (!handler) throw QJExcept(MessageText("SET %s is not available in this version", g_setItems.UpperName(word)));
  return handler(*this);
}

// SET MEMORY lock on/off, add n, size n (n in units of 1,024,000 bytes).
int CommandType::SetMemory() {
  int word = GetKeyword(kMemoryWords);
  switch (word) {
    case kLock:
      SetModelMemoryLock(GetBool());
      return kOk;
    case kAdd:
    case kSize: {
      int32_t n = 0;
      if (int code = CheckNonNegInt(&n)) ThrowParamError(code);
      uint64_t bytes = static_cast<uint64_t>(n) * kMemoryUnit;
      if (word == kAdd)
        AddModelChunk(bytes);
      else
        SetModelChunkSize(bytes);
      return kOk;
    }
    default:
      return kConvert;
  }
}

int CommandType::PrintGeneral() {
  int word = 0;
  if (int code = MatchKeyword(g_printItems.Keywords(), word)) return code;
  return g_printItems.HandlerOf(word)(*this);
}

void CommandType::ListMacros() {
  PageGuard guard(*this);
  const String header("Name                 Contents\n-------------------- ------------------\n");
  *this << MessageText("List of All Macros ...") << "\n" << header;
  SetPageHeader(header);
  for (const auto& e : Macros()->Entries()) {
    std::string name = e.first.str();
    if (name.size() < 20) name.resize(20, ' ');
    *this << name << " '" << e.second << "'"
          << "\n";
  }
}

int CommandType::ListSettings() {
  PageGuard guard(*this);
  *this << "        Job Title : " << JobTitle() << "\n";
  *this << "Global Pagination : " << OnOffText(Pagination()) << "\n";
  *this << "      Page Length : " << PageLength() << "\n";
  *this << "Case Sensitivity  : " << OnOffText(IsCaseSensitive()) << "\n";
  *this << "Log File          : " << OnOffText(LogOpen()) << "\n";
  *this << "Log File Name     : " << LogName() << "\n";
  *this << "             Echo : " << OnOffText(Echo()) << "\n";
  *this << "        Safe Mode : " << OnOffText(Macros() && Macros()->HashOnly()) << "\n";
  return 0;
}
