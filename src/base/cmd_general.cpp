// The general commands: the last level of command dispatch.
#include <string>

#include "base/app.h"
#include "base/command.h"
#include "base/command_table.h"
#include "base/message.h"
#include "base/system.h"
#include "platform/console_device.h"
#include "platform/os_services.h"

namespace {

// A file name parameter, or the program's own name with the extension.
String FileNameOrDefault(CommandType& interp, const char* extension) {
  String name;
  int code = interp.CheckFileName(&name, extension);
  if (code == CommandType::kMissing) return Identity().lowerName + "." + extension;
  if (code != CommandType::kOk) interp.ThrowParamError(code);
  return name;
}

int Quit(CommandType&) {
  ExitProgram(NormalExitCode());
  return CommandType::kDone;
}

int Macro(CommandType& in) {
  if (!in.Macros()) throw KWRExcept("No macro list specified");
  String name = in.GetString();
  String contents;
  int code = in.CheckString(&contents);
  if (code == CommandType::kMissing)
    contents = String();
  else if (code != CommandType::kOk)
    in.ThrowParamError(code);
  if (contents.IsEmpty())
    in.Macros()->Remove(name);
  else
    in.Macros()->Define(name, contents);
  return CommandType::kDone;
}

int Call(CommandType& in) {
  in.PushFile(FileNameOrDefault(in, "dat"));
  return CommandType::kDone;
}

int Return(CommandType&) { return CommandType::kEndSource; }

// PRINT and SET: one item after the other until the line ends.
template <bool kPrint>
int Items(CommandType& in) {
  int r;
  do {
    r = kPrint ? in.Print() : in.Set();
  } while (r == CommandType::kOk);
  if (r == CommandType::kMissing && in.TokenIndex() > 1) return CommandType::kDone;
  in.ThrowParamError(r);
  return CommandType::kDone;
}

int SystemCommand(CommandType& in) {
  String text;
  while (in.HasToken()) {
    text += in.Token();
    text += " ";
    ++in.TokenIndex();
  }
  in.flush();
  in.FlushLog();
  System::Shell(text);
  return CommandType::kDone;
}

int Nothing(CommandType&) { return CommandType::kDone; }

int New(CommandType& in) {
  if (in.IsInteractive()) in.ResetTitle();
  return CommandType::kRestart;
}

int Save(CommandType& in) {
  in.Save(FileNameOrDefault(in, "sav"), false);
  return CommandType::kDone;
}

int Restore(CommandType& in) {
  in.Restore(FileNameOrDefault(in, "sav"));
  return CommandType::kDone;
}

int Mainwin(CommandType& in) {
  double r[4];
  in.GetDeviceVector(r);
  double pos[2] = {r[0], r[1]};
  double size[2] = {r[2] - r[0], r[3] - r[1]};
  for (;;) {
    int k = 0;
    int code = in.MatchKeyword("size position", k);
    if (code == CommandType::kMissing) break;
    if (code != CommandType::kOk) return code;
    in.GetVector2(k == 1 ? size : pos);
  }
  double rect[4];
  for (int i = 0; i < 2; ++i) {
    pos[i] = pos[i] < 0 ? 0 : pos[i] > 0.9 ? 0.9 : pos[i];
    double end = pos[i] + size[i];
    rect[i] = pos[i];
    rect[i + 2] = end < 0.1 ? 0.1 : end > 1.0 ? 1.0 : end;
  }
  in.SetMainWindow(rect);
  return CommandType::kDone;
}

int Pause(CommandType& in) {
  in.Pause();
  return CommandType::kDone;
}

int Continue(CommandType& in) {
  // Only a keyboard source pushed by PAUSE over a file is dropped.
  if (in.CurrentKind() == CommandSource::kKeyboard && in.SourceDepth() > 1) in.PopSource();
  return CommandType::kDone;
}

int Title(CommandType& in) {
  in.SetDeviceText(JobTitle().c_str());
  String title;
  int code = in.CheckString(&title);
  if (code == CommandType::kMissing) {
    bool ended = false;
    title = in.ReadLine(MessageText("Job Title:"), ended);
    while (!title.IsEmpty() && (title.GetAt(title.Length() - 1) == '\n')) title.SetLength(title.Length() - 1);
  } else if (code != CommandType::kOk) {
    in.ThrowParamError(code);
  }
  // A title of several words needs no quotes: the words that follow join it.
  String word;
  while (in.CheckString(&word, nullptr, nullptr, false) == CommandType::kOk) title += " " + word;
  JobTitle() = title;
  return CommandType::kDone;
}

// The general commands.
CommandTable<int (*)(CommandType&)> g_generalWords("general", {
                                                                  {"quit", &Quit},
                                                                  {"stop", &Quit},
                                                                  {"macro", &Macro},
                                                                  {"call", &Call},
                                                                  {"return", &Return},
                                                                  {"print", &Items<true>},
                                                                  {"set", &Items<false>},
                                                                  {"system", &SystemCommand},
                                                                  {"gui", &Nothing},
                                                                  {"debug", &Nothing},
                                                                  {"new", &New},
                                                                  {"save", &Save},
                                                                  {"restore", &Restore},
                                                                  {"mainwin", &Mainwin},
                                                                  {"pause", &Pause},
                                                                  {"continue", &Continue},
                                                                  {"title", &Title},
                                                              });

}  // namespace

int CommandType::ExecuteGeneral() {
  if (TokenCount() == 0) return kDone;
  TokenIndex() = 0;
  int word = 0;
  if (int code = MatchKeyword(g_generalWords.Keywords(), word)) return code;
  return g_generalWords.HandlerOf(word)(*this);
}

// PAUSE key: waits for a key. PAUSE n: waits n seconds; the space bar ends
// the wait, ESC ends the command file silently; with no terminal it does not
// wait. PAUSE: reads commands from the command window until CONTINUE.
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
  // With no one at a terminal to end the wait, the run goes on at once.
  if (!Device() || !Device()->IsTerminal()) return;
  const uint32_t start = System::Clock();
  const double wait = seconds * System::TicksPerSecond();
  flush();
  while (static_cast<double>(System::Clock() - start) < wait) {
    if (KeyPressed(27)) throw ESCInterrupt(false);
    if (KeyPressed(' ')) break;
    SleepMilliseconds(10);
  }
}
