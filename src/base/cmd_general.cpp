// The general commands: the last level of command dispatch.
#include <string>

#include "base/app.h"
#include "base/command.h"
#include "base/message.h"

namespace {
// The general command keywords. The second "stop" can never be selected.
const char* const kGeneralWords =
    "quit stop stop macro call return print set system gui debug new save restore mainwin pause continue title";

enum GeneralWord {
  kQuit = 1, kStop, kStop2, kMacro, kCall, kReturn, kPrint, kSet, kSystem, kGui, kDebug, kNew,
  kSave, kRestore, kMainwin, kPause, kContinue, kTitle
};

[[noreturn]] void NotYet(const char* what) {
  throw KWRExcept(MessageText("%s is not available in this version", what));
}
}  // namespace

int CommandType::ExecuteGeneral() {
  if (TokenCount() == 0) return kDone;
  TokenIndex() = 0;
  int word = 0;
  if (int code = MatchKeyword(kGeneralWords, word)) return code;
  switch (word) {
    case kQuit:
    case kStop:
    case kStop2:
      ExitProgram(0);
      return kDone;
    case kMacro: {
      if (!Macros()) throw KWRExcept("No macro list specified");
      String name = GetString();
      String contents;
      int code = CheckString(&contents);
      if (code == kMissing) contents = String();
      else if (code != kOk) ThrowParamError(code);
      if (contents.IsEmpty()) Macros()->Remove(name);
      else Macros()->Define(name, contents);
      return kDone;
    }
    case kCall:
      NotYet("CALL");
    case kReturn:
      return kEndSource;
    case kPrint:
    case kSet: {
      int r;
      do {
        r = word == kPrint ? Print() : Set();
      } while (r == kOk);
      if (r == kMissing && TokenIndex() > 1) return kDone;
      ThrowParamError(r);
      return kDone;
    }
    case kSystem:
      NotYet("SYSTEM");
    case kGui:
    case kDebug:
      return kDone;
    case kNew:
      if (IsInteractive()) ResetTitle();
      return kRestart;
    case kSave:
      NotYet("SAVE");
    case kRestore:
      NotYet("RESTORE");
    case kMainwin: {
      double r[4];
      GetDeviceVector(r);
      double pos[2] = {r[0], r[1]};
      double size[2] = {r[2] - r[0], r[3] - r[1]};
      for (;;) {
        int k = 0;
        int code = MatchKeyword("size position", k);
        if (code == kMissing) break;
        if (code != kOk) return code;
        GetVector2(k == 1 ? size : pos);
      }
      double rect[4];
      for (int i = 0; i < 2; ++i) {
        pos[i] = pos[i] < 0 ? 0 : pos[i] > 0.9 ? 0.9 : pos[i];
        double end = pos[i] + size[i];
        rect[i] = pos[i];
        rect[i + 2] = end < 0.1 ? 0.1 : end > 1.0 ? 1.0 : end;
      }
      SetMainWindow(rect);
      return kDone;
    }
    case kPause:
      Pause();
      return kDone;
    case kContinue:
      // Only a keyboard source pushed by PAUSE over a file is dropped.
      if (CurrentKind() == CommandSource::kKeyboard && SourceDepth() > 1) PopSource();
      return kDone;
    case kTitle: {
      SetDeviceText(JobTitle().c_str());
      String title;
      int code = CheckString(&title);
      if (code == kMissing) {
        bool ended = false;
        title = ReadLine(MessageText("Job Title:"), ended);
        while (!title.IsEmpty() && (title.GetAt(title.Length() - 1) == '\n')) title.SetLength(title.Length() - 1);
      } else if (code != kOk) {
        ThrowParamError(code);
      }
      JobTitle() = title;
      return kDone;
    }
    default:
      return kConvert;
  }
}

int CommandType::PrintGeneral() {
  int word = 0;
  if (int code = MatchKeyword("macro memory information version directory", word)) return code;
  switch (word) {
    case 1:
      if (!Macros()) throw KWRExcept("No macro list specified");
      ListMacros();
      return kOk;
    case 2:
      NotYet("PRINT MEMORY");
    case 3:
      ListSettings();
      return kOk;
    case 4: {
      String text = VersionText();
      int k = 0;
      int code = MatchKeyword("develop", k);
      if (code == kOk) {
        const ProgramIdentity& id = Identity();
        text += " :: -Rel" + IntToString(id.releaseNumber) + "-Beta" + IntToString(id.betaNumber) +
                "-Alpha" + IntToString(id.programVersion) + "-Lib" + IntToString(id.formatVersion);
      }
      *this << MessageText("%s version %s", Identity().upperName, text) << "\n";
      return kOk;
    }
    case 5:
      NotYet("PRINT DIRECTORY");
    default:
      return kConvert;
  }
}

int CommandType::SetGeneral() {
  int word = 0;
  if (int code = MatchKeyword(
          "pagination case_sensitivity log logfile mode output safe_conversion echo pagelength plot mouse "
          "pcxoutput random memory cust1 cust2 directory movie",
          word))
    return code;
  switch (word) {
    case 1: SetPagination(GetBool()); return kOk;
    case 2: SetCaseSensitive(GetBool()); return kOk;
    case 7: {
      bool on = GetBool();
      if (Macros()) Macros()->SetHashOnly(on);
      return kOk;
    }
    case 8: SetEcho(GetBool()); return kOk;
    case 9: SetPageLength(GetInt()); return kOk;
    case 11: GetInt(); return kOk;
    case 12: return kOk;
    case 15:
    case 16: {
      String text;
      int code = CheckString(&text);
      if (code == kMissing) text = String(" ");
      else if (code != kOk) ThrowParamError(code);
      (word == 15 ? CustomerLine1() : CustomerLine2()) = text;
      return kOk;
    }
    default:
      NotYet("This SET item");
  }
}

void CommandType::Pause() { NotYet("PAUSE"); }

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
  *this << "             Echo : " << OnOffText(Echo()) << "\n";
  *this << "        Safe Mode : " << OnOffText(Macros() && Macros()->HashOnly()) << "\n";
  return 0;
}

void CommandType::Save(const String&, bool) { NotYet("SAVE"); }
void CommandType::Restore(const String&) { NotYet("RESTORE"); }
void CommandType::SaveState(SaveStream&) { NotYet("SAVE"); }
void CommandType::RestoreState(SaveStream&, bool) { NotYet("RESTORE"); }
