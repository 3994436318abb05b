#include "model/model_interpreter.h"

#include <array>
#include <cstring>

#include "base/message.h"

namespace {
// The model's first words. "call", "print" and "new" stand first so that
// their abbreviations win ("c" is CALL, "p" PRINT, "n" NEW); they are handed
// on to the levels below.
const char* const kModelWords =
    "call print new step initial cycle history property fix free gp grid generate model group apply solve "
    "water delete config interface moo region attach gpattach table plot range zone sel body geom_test "
    "track impgrid expgrid pdelete chem movie";
constexpr int kWordCount = 38;

enum ModelWord { kCall = 1, kPrint, kNew, kMoo = 22 };

// The keyword with the given 1-based number.
String WordAt(int number) {
  const char* p = kModelWords;
  for (int n = 1; *p; ++n) {
    const char* e = std::strchr(p, ' ');
    if (!e) e = p + std::strlen(p);
    if (n == number) return String(p, static_cast<int>(e - p));
    p = *e ? e + 1 : e;
  }
  return String();
}

std::array<ModelCommandHandler, kWordCount + 1>& Handlers() {
  static std::array<ModelCommandHandler, kWordCount + 1> handlers{};
  return handlers;
}
}  // namespace

void InstallModelCommand(const char* keyword, ModelCommandHandler handler) {
  for (int n = 1; n <= kWordCount; ++n) {
    if (WordAt(n).str() == keyword) {
      Handlers()[static_cast<size_t>(n)] = handler;
      return;
    }
  }
}

int ModelInterpreter::Command() {
  TokenIndex() = 0;
  int word = 0;
  if (MatchKeyword(kModelWords, word) != kOk) return CommandType::Execute();
  switch (word) {
    case kCall:
    case kPrint:
    case kNew:
      --TokenIndex();
      return CommandType::Execute();
    case kMoo:
      // Interface integrity listing: one empty line, then the corrupted interfaces.
      *this << "\n";
      return kDone;
    default:
      break;
  }
  if (ModelCommandHandler handler = Handlers()[static_cast<size_t>(word)]) {
    handler(*this);
    return kDone;
  }
  String upper = WordAt(word);
  upper.ToUpper();
  throw QJExcept(MessageText("%s is not available in this version", upper));
}
