// SET, PRINT and LIST of the general level: one item per call.
#include <string>

#include "base/app.h"
#include "base/command.h"
#include "base/file.h"
#include "base/memory.h"
#include "base/message.h"
#include "base/random.h"
#include "base/savestream.h"
#include "base/linklist.h"
#include "base/system.h"

namespace {
const char* const kSetWords =
    "pagination case_sensitivity log logfile mode output safe_conversion echo pagelength plot mouse "
    "pcxoutput random memory cust1 cust2 directory movie";
enum SetWord {
  kPagination = 1, kCaseSensitivity, kLog, kLogFile, kMode, kOutput, kSafeConversion, kEcho, kPageLength,
  kPlot, kMouse, kPcxOutput, kRandom, kMemory, kCust1, kCust2, kDirectory, kMovie
};

const char* const kPrintWords = "macro memory information version directory";
enum PrintWord { kPrintMacro = 1, kPrintMemory, kPrintInformation, kPrintVersion, kPrintDirectory };

const char* const kMemoryWords = "lock add size";
enum MemoryWord { kLock = 1, kAdd, kSize };

// SET PLOT and SET MOVIE belong to the window and device layer.
GuiSetHandler g_plotHandler = nullptr;
GuiSetHandler g_movieHandler = nullptr;

// One SET MEMORY unit: 1,024,000 bytes.
constexpr uint64_t kMemoryUnit = 1024000;

String Decimal(uint64_t v) { return String(std::to_string(v)); }
}  // namespace

String (*HardCopyExtension)() = nullptr;

void InstallGuiSetHandler(const char* item, GuiSetHandler handler) {
  std::string w(item ? item : "");
  if (w == "plot") g_plotHandler = handler;
  if (w == "movie") g_movieHandler = handler;
}

int CommandType::SetGeneral() {
  int word = 0;
  if (int code = MatchKeyword(kSetWords, word)) return code;
  switch (word) {
    case kPagination: SetPagination(GetBool()); return kOk;
    case kCaseSensitivity: SetCaseSensitive(GetBool()); return kOk;
    case kLog:
      if (GetBool()) OpenLog();
      else CloseLog();
      return kOk;
    case kLogFile: {
      String name = GetFileName("log");
      uint32_t mode = GetFileMode();
      SetLogFile(name, mode);
      return kOk;
    }
    case kMode:
      // The command window is always there: its own SET MODE is not asked for.
      *this << "+++ SET MODE command ignored if GUI is active\n";
      if (HasToken()) ++TokenIndex();
      return kOk;
    case kOutput: {
      String ext = HardCopyExtension ? HardCopyExtension() : String();
      PlotOutputName() = GetFileName(ext.c_str());
      return kOk;
    }
    case kSafeConversion: {
      bool on = GetBool();
      if (Macros()) Macros()->SetHashOnly(on);
      return kOk;
    }
    case kEcho: SetEcho(GetBool()); return kOk;
    case kPageLength: SetPageLength(GetInt()); return kOk;
    case kPlot:
    case kMovie: {
      GuiSetHandler h = word == kPlot ? g_plotHandler : g_movieHandler;
      if (!h) throw QJExcept(word == kPlot ? "SET PLOT is not available in this version"
                                           : "SET MOVIE is not available in this version");
      return h(*this);
    }
    case kMouse: GetInt(); return kOk;
    case kPcxOutput: return kOk;
    case kRandom: {
      // The seed is optional; a word that is no integer is left for the next item.
      int32_t seed = 0;
      if (CheckInteger(&seed) != kOk) seed = 0;
      RandomSeed(seed);
      return kOk;
    }
    case kMemory:
      return SetMemory();
    case kCust1:
    case kCust2: {
      String text;
      int code = CheckString(&text);
      if (code == kMissing) text = String(" ");
      else if (code != kOk) ThrowParamError(code);
      (word == kCust1 ? CustomerLine1() : CustomerLine2()) = text;
      return kOk;
    }
    case kDirectory: {
      String dir;
      int code = CheckString(&dir);
      if (code == kMissing) dir = System::CurrentDirectory();
      else if (code != kOk) ThrowParamError(code);
      if (!System::ChangeDirectory(dir)) throw KWRExcept("Could not change directory!");
      *this << "+++ Current directory is set to " << System::CurrentDirectory() << "\n";
      return kOk;
    }
    default:
      return kConvert;
  }
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
      if (word == kAdd) AddModelChunk(bytes);
      else SetModelChunkSize(bytes);
      return kOk;
    }
    default:
      return kConvert;
  }
}

int CommandType::PrintGeneral() {
  int word = 0;
  if (int code = MatchKeyword(kPrintWords, word)) return code;
  switch (word) {
    case kPrintMacro:
      if (!Macros()) throw KWRExcept("No macro list specified");
      ListMacros();
      return kOk;
    case kPrintMemory: {
      // "save" or "system" may follow; any other word is the next item.
      int k = 0;
      int code = MatchKeyword("save system", k);
      const String blanks = "\r" + String(' ', 36) + "\r";
      const String& name = Identity().upperName;
      if (code == kOk && k == 1) {
        *this << "Calculating file size... please wait";
        flush();
        NumberAllLists();
        CountFile count;
        SaveState(count);
        *this << blanks;
        *this << MessageText("%s KBytes in model (save file size)", Decimal(count.Count() / 1024)) << "\n";
      } else if (code == kOk && k == 2) {
        *this << "Scanning system memory... please wait";
        flush();
        uint64_t used = ModelMemoryInUse();
        uint64_t reserved = ModelMemorySize();
        *this << blanks;
        *this << Decimal(used / 1024) << " KBytes being actively used by " << name << "\n";
        *this << Decimal(reserved / 1024) << " KBytes reserved from system for use by " << name << "\n";
      } else {
        *this << "Approximately " << Decimal(ModelMemoryInUse() / 1024) << " KBytes being actively used by "
              << name << "\n";
      }
      return kOk;
    }
    case kPrintInformation:
      ListSettings();
      return kOk;
    case kPrintVersion: {
      String text = VersionString();
      int k = 0;
      if (MatchKeyword("develop", k) == kOk) {
        const ProgramIdentity& id = Identity();
        text += " :: -Rel" + IntToString(id.releaseNumber) + "-Beta" + IntToString(id.betaNumber) + "-Alpha" +
                IntToString(id.programVersion) + "-Lib" + IntToString(id.formatVersion);
      }
      *this << MessageText("%s version %s", Identity().upperName, text) << "\n";
      return kOk;
    }
    case kPrintDirectory:
      *this << System::CurrentDirectory() << "\n";
      return kOk;
    default:
      return kConvert;
  }
}

void CommandType::ListMacros() {
  PageGuard guard(*this);
  const String header("Name                 Contents\n-------------------- ------------------\n");
  *this << MessageText("List of All Macros ...") << "\n" << header;
  SetPageHeader(header);
  for (const auto& e : Macros()->Entries()) {
    std::string name = e.first.str();
    if (name.size() < 20) name.resize(20, ' ');
    *this << name << " '" << e.second << "'" << "\n";
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
