// The general commands: the last level of command dispatch.
#include <string>

#include "base/app.h"
#include "base/command.h"
#include "base/message.h"
#include "base/system.h"
#include "platform/system.h"

namespace {
// The general command keywords. The second "stop" can never be selected.
const char* const kGeneralWords =
    "quit stop stop macro call return print set system gui debug new save restore mainwin pause continue title";

enum GeneralWord {
  kQuit = 1, kStop, kStop2, kMacro, kCall, kReturn, kPrint, kSet, kSystem, kGui, kDebug, kNew,
  kSave, kRestore, kMainwin, kPause, kContinue, kTitle
};

// A file name parameter, or the program's own name with the extension.
String FileNameOrDefault(CommandType& interp, const char* extension) {
  String name;
  int code = interp.CheckFileName(&name, extension);
  if (code == CommandType::kMissing) return Identity().lowerName + "." + extension;
  if (code != CommandType::kOk) interp.ThrowParamError(code);
  return name;
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
      PushFile(FileNameOrDefault(*this, "dat"));
      return kDone;
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
    case kSystem: {
      String text;
      while (HasToken()) {
        text += Token();
        text += " ";
        ++TokenIndex();
      }
      flush();
      FlushLog();
      System::Shell(text);
      return kDone;
    }
    case kGui:
    case kDebug:
      return kDone;
    case kNew:
      if (IsInteractive()) ResetTitle();
      return kRestart;
    case kSave:
      Save(FileNameOrDefault(*this, "sav"), false);
      return kDone;
    case kRestore:
      Restore(FileNameOrDefault(*this, "sav"));
      return kDone;
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
      // A title of several words needs no quotes: the words that follow join it.
      String word;
      while (CheckString(&word, nullptr, nullptr, false) == kOk) title += " " + word;
      JobTitle() = title;
      return kDone;
    }
    default:
      return kConvert;
  }
}

// PAUSE key: waits for a key. PAUSE n: waits n seconds; the space bar ends
// the wait, ESC ends the command file silently. PAUSE: reads commands from
// the command window until CONTINUE.
void CommandType::Pause() {
  int k = 0;
  int code = MatchKeyword("key", k);
  if (code == kOk) {
    *this << MessageText("Press Any Key To Continue---");
    WaitKey();
    *this << "\r" << String(' ', 38) << "\r";
    return;
  }
  if (code == kMissing) {
    PushKeyboard();
    *this << MessageText("Type 'continue' to resume processing") << "\n";
    return;
  }
  double seconds = GetReal();
  const uint32_t start = System::Clock();
  const double wait = seconds * System::TicksPerSecond();
  flush();
  while (static_cast<double>(System::Clock() - start) < wait) {
    if (KeyPressed(27)) throw ESCInterrupt(false);
    if (KeyPressed(' ')) break;
    SleepMilliseconds(10);
  }
}
