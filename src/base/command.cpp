#include "base/command.h"

#include <cfenv>
#include <new>

#include "base/message.h"
#include "base/savestream.h"

// ---------------------------------------------------------------------------
// MacroTable

void MacroTable::Define(const String& name, const String& contents) {
  if (name.IsEmpty()) return;
  for (auto& e : entries_) {
    if (e.first == name) {
      e.second = contents;
      return;
    }
  }
  auto it = entries_.begin();
  while (it != entries_.end() && it->first.CompareString(name) < 0) ++it;
  entries_.insert(it, {name, contents});
}

void MacroTable::Remove(const String& name) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->first == name) {
      entries_.erase(it);
      return;
    }
  }
}

const String* MacroTable::Find(const String& name) const {
  for (const auto& e : entries_)
    if (e.first == name) return &e.second;
  return nullptr;
}

void MacroTable::Save(SaveStream& stream) const {
  stream.WriteI32(Count());
  for (const auto& e : entries_) {
    SaveString(stream, e.first);
    SaveString(stream, e.second);
  }
}

void MacroTable::Restore(SaveStream& stream) {
  Clear();
  int32_t n = stream.ReadI32();
  if (n < 0) stream.ReadFailure();
  stream.CheckAvailable(static_cast<uint64_t>(n) * 8);
  for (int32_t i = 0; i < n; ++i) {
    String name, contents;
    RestoreString(stream, name);
    RestoreString(stream, contents);
    Define(name, contents);
  }
}

// ---------------------------------------------------------------------------
// Command exceptions

CommandType::ConvertExcept::ConvertExcept(int index, const String& token)
    : CommandExcept(MessageText("Bad conversion parameter %s (%s)", IntToString(index), token), index) {}

CommandType::MissingExcept::MissingExcept(int index)
    : CommandExcept(MessageText("Missing parameter %s", IntToString(index)), index) {}

CommandType::UnrecognizedExcept::UnrecognizedExcept(int index, const String& token)
    : CommandExcept(MessageText("Unrecognized parameter %s (%s)", IntToString(index), token), index) {}

CommandType::RecursionExcept::RecursionExcept() : CommandExcept(String("Macro recursion error"), -1) {}

CommandType::BadCommandExcept::BadCommandExcept(const String& token)
    : CommandExcept(MessageText("Bad command (%s)", token), 0) {}

// ---------------------------------------------------------------------------
// The interpreter

CommandType::CommandType(int level, MacroTable* macros, bool virtualBase, ConsoleDevice* device)
    : LogStream(device), level_(level), virtualBase_(virtualBase), macros_(macros) {}

CommandType::~CommandType() = default;

bool CommandType::Run(const String& prompt) {
  for (;;) {
    try {
      return Process(prompt);
    } catch (const KWRExcept&) {
      clear();  // the stream may have been left failed by the interruption
      try {
        throw;
      } catch (const BadCommandExcept& e) {
        if (IsHelp(Token(0)))
          ShowHelp();
        else
          ReportError(e);
      } catch (const ConvertExcept& e) {
        if (IsHelp(Token(e.Index())))
          ShowHelp();
        else
          ReportError(e);
      } catch (const UnrecognizedExcept& e) {
        if (IsHelp(Token(e.Index())))
          ShowHelp();
        else
          ReportError(e);
      } catch (const ESCInterrupt& e) {
        if (e.Report()) ReportError(e);
      } catch (const KWRExcept& e) {
        ReportError(e);
      }
    } catch (const std::bad_alloc&) {
      // The standard library's allocations fail as the program's own do.
      clear();
      ReportError(MemExcept());
    }
    helpLines_.clear();
    helpKeywords_.clear();
    std::feclearexcept(FE_ALL_EXCEPT);
    ResetSources();
  }
}

bool CommandType::Process(const String& prompt) {
  int r = ProcessSource(prompt);
  while (r != kRestart) {
    if (r == kEndSource) {
      bool reports = CurrentReportsEnd();
      PopSource();
      if (reports) return false;
    }
    r = ProcessSource(prompt);
  }
  return true;
}

int CommandType::ProcessSource(const String& prompt) {
  while (!EscPressed()) {
    if (GetLine(prompt)) return kEndSource;
    int r = Execute();
    clear();
    std::feclearexcept(FE_ALL_EXCEPT);
    if (r == kRestart || r == kEndSource) return r;
    if (r == kNotHandled) throw BadCommandExcept(Token(index_));
    if (r != kDone) ThrowParamError(r);
  }
  throw ESCInterrupt(true);
}

void CommandType::ClearTokens() {
  tokens_.clear();
  index_ = 0;
  tokenLimit_ = 32000;
}

bool CommandType::GetLine(const String& prompt) {
  ClearTokens();
  commentSeen_ = false;
  helpLines_.clear();
  helpKeywords_.clear();
  if (!prefix_.IsEmpty()) Expand(prefix_);
  const String& shown = prefix_.IsEmpty() ? prompt : prefixPrompt_;
  bool ended = false;
  commentSeen_ = false;
  String line = ReadLine(shown, ended);
  if (ended) return true;
  while (Expand(line)) {
    commentSeen_ = false;
    line = ReadLine(shown, ended);
    if (ended) return true;
  }
  return false;
}

namespace {
// The word after MACRO is a macro's name: it is never expanded, so that a
// macro can be redefined or removed.
bool NamesMacro(const std::vector<String>& tokens) {
  return tokens.size() == 1 && tokens[0].Length() >= 2 && String("macro").ComparePrefix(tokens[0].c_str()) == 0;
}
}  // namespace

bool CommandType::Expand(String line) {
  if (++depth_ > 10) {
    depth_ = 0;
    throw RecursionExcept();
  }
  bool continuation = false;
  try {
    // The line is read from a moving position: copying what is left of it
    // after every word would make a long line cost the square of its length.
    const std::string& text = line.str();
    size_t pos = 0;
    while (pos < text.size()) {
      String word = SplitWordAt(text, pos);
      if (word.IsEmpty()) break;
      String contents;
      if (macros_ && !NamesMacro(tokens_) && FindMacro(word, contents)) {
        if (Expand(contents)) continuation = true;
        if (commentSeen_) break;
      } else if (word.str() == "&") {
        continuation = true;
      } else {
        tokens_.push_back(word);
      }
    }
  } catch (...) {
    if (depth_ > 0) --depth_;
    throw;
  }
  --depth_;
  return continuation;
}

String CommandType::SplitWord(String& line) {
  size_t pos = 0;
  String word = SplitWordAt(line.str(), pos);
  line = pos < line.str().size() ? String(line.str().substr(pos)) : String();
  return word;
}

String CommandType::SplitWordAt(const std::string& s, size_t& pos) {
  const char* seps = separators_.c_str();
  auto isSep = [seps](char c) { return c != 0 && std::string_view(seps).find(c) != std::string_view::npos; };
  size_t i = pos;
  while (i < s.size() && isSep(s[i])) ++i;
  if (i >= s.size()) {
    pos = s.size();
    return String();
  }
  if (s[i] == comment_) {
    pos = s.size();
    commentSeen_ = true;
    return String();
  }
  std::string word;
  size_t j = i;
  char q = s[i];
  if (q == '\'' || q == '"') {
    word += q;
    ++j;
    bool closed = false;
    while (j < s.size()) {
      char c = s[j++];
      if (c == '\\') {
        if (j >= s.size()) {
          word += '\\';
          break;
        }
        char e = s[j++];
        switch (e) {
          case 'n':
            word += '\n';
            break;
          case 'r':
            word += '\r';
            break;
          case 't':
            word += '\t';
            break;
          default:
            word += e;
            break;
        }
        continue;
      }
      word += c;
      if (c == q) {
        closed = true;
        break;
      }
    }
    if (!closed) word += q;
  } else {
    while (j < s.size() && !isSep(s[j]) && s[j] != comment_) word += s[j++];
  }
  pos = j;
  return String(std::move(word));
}

bool CommandType::FindMacro(const String& word, String& contents) {
  if (word.IsEmpty() || !macros_) return false;
  bool hash = word.GetAt(0) == '#';
  if (macros_->HashOnly() && !hash) return false;
  String name = hash ? word.Mid(1, 256) : word;
  if (const String* found = macros_->Find(name)) {
    contents = *found;
    return true;
  }
  if (hash) throw KWRExcept(MessageText("Macro %s not found", name));
  return false;
}

String CommandType::Token(int index) const {
  if (index < 0 || index >= TokenCount()) return String();
  return tokens_[static_cast<size_t>(index)];
}

bool CommandType::HasToken(int* index) const {
  int i = index ? *index : index_;
  return i >= 0 && i < TokenCount() && i < tokenLimit_;
}

int CommandType::FindToken(const char* keyword) const {
  String kw(keyword);
  for (int i = 0; i < TokenCount(); ++i) {
    const String& t = tokens_[static_cast<size_t>(i)];
    if (t.Length() <= kw.Length() && kw.ComparePrefix(t.c_str()) == 0) return i;
  }
  return -1;
}

bool CommandType::IsHelp(const String& word) {
  if (word.str() == "?") return true;
  String lower = word;
  lower.ToLower();
  return lower.str() == "help";
}

void CommandType::SetCommandPrefix(const String& prefix, const String& prompt) {
  prefix_ = prefix;
  prefixPrompt_ = prompt;
}

namespace {
// Whether `word` is a leading part of the keyword: no longer than it and equal
// to its first characters (case folded unless the switch is on). An empty
// word is a leading part of every keyword.
bool IsLeadingPart(std::string_view keyword, const String& word) {
  size_t n = static_cast<size_t>(word.Length());
  if (n > keyword.size()) return false;
  return String(std::string(keyword.substr(0, n))).Compare(word.c_str()) == 0;
}
}  // namespace

int CommandType::MatchKeyword(const char* list, int& result, int* index) {
  result = 0;
  if (!list) return kConvert;
  int& idx = index ? *index : index_;
  if (idx < 0 || idx >= TokenCount() || idx >= tokenLimit_) return kMissing;
  const String& w = tokens_[static_cast<size_t>(idx)];
  std::string_view all(list);
  if (IsHelp(w)) {
    size_t p = 0;
    while (p < all.size()) {
      size_t e = all.find(' ', p);
      if (e == std::string_view::npos) e = all.size();
      if (e > p) helpKeywords_.push_back(String(std::string(all.substr(p, e - p))));
      p = e + 1;
    }
    return kUnrecognized;
  }
  int number = 0;
  size_t p = 0;
  while (p < all.size()) {
    size_t e = all.find(' ', p);
    if (e == std::string_view::npos) e = all.size();
    if (e > p) {
      ++number;
      if (IsLeadingPart(all.substr(p, e - p), w)) {
        ++idx;
        result = number;
        return kOk;
      }
    }
    p = e + 1;
  }
  return kUnrecognized;
}

void CommandType::ShowHelp() {
  auto dedupe = [](std::vector<String>& v) {
    for (size_t i = 0; i < v.size(); ++i)
      for (size_t j = i + 1; j < v.size(); ++j)
        if (!v[i].IsEmpty() && v[j] == v[i]) v[j] = String();
  };
  dedupe(helpLines_);
  dedupe(helpKeywords_);
  for (const String& h : helpLines_)
    if (!h.IsEmpty()) *this << h << "\n";
  bool any = false;
  for (const String& k : helpKeywords_) any = any || !k.IsEmpty();
  if (any) {
    *this << "Checked against keywords..."
          << "\n";
    std::string line;
    for (const String& k : helpKeywords_) {
      if (k.IsEmpty()) continue;
      if (!line.empty() && line.size() + 1 + k.str().size() > 78) {
        *this << line << "\n";
        line.clear();
      }
      if (!line.empty()) line += ' ';
      line += k.str();
    }
    if (!line.empty()) *this << line << "\n";
  }
  helpLines_.clear();
  helpKeywords_.clear();
}

void CommandType::ClearMacros() {
  if (script_)
    script_->Clear(*this);
  else if (macros_)
    macros_->Clear();
}

int CommandType::Execute() { return script_ ? script_->Dispatch(*this) : ExecuteGeneral(); }
int CommandType::Print() { return script_ ? script_->Print(*this) : PrintGeneral(); }
int CommandType::Set() { return script_ ? script_->Set(*this) : SetGeneral(); }

void CommandType::ResetSources() {
  if (script_) script_->ResetSources(*this);
  LogStream::ResetSources();
}
