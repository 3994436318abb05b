#include "zolt/history.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <ostream>

#include "base/command.h"
#include "base/message.h"
#include "base/savestream.h"
#include "base/stream.h"

static_assert(std::endian::native == std::endian::little, "the sample store is written in memory order");

HistoryNotFound::HistoryNotFound(int64_t number)
    : QJExcept(MessageText("History %s does not exist", IntToString(static_cast<int32_t>(number)))) {}

// ---------------------------------------------------------------------------
// History

void History::Save(SaveStream& s) const {
  s.WriteU8(active);
  SaveString(s, name);
  s.WriteU32(id);
  s.WriteU32(number);
  s.WriteU32(minStep);
  s.WriteU32(maxStep);
  s.WriteU32(static_cast<uint32_t>(firstRecord));
  s.WriteF64(minValue);
  s.WriteF64(maxValue);
}

void History::Restore(SaveStream& s) {
  active = s.ReadFlag();
  RestoreString(s, name);
  id = s.ReadU32();
  number = s.ReadU32();
  minStep = s.ReadU32();
  maxStep = s.ReadU32();
  firstRecord = s.ReadU32();
  minValue = s.ReadF64();
  maxValue = s.ReadF64();
}

// ---------------------------------------------------------------------------
// SampleStore

void SampleStore::Open() {
  Close();
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir && *dir ? dir : "/tmp") + "/KWRXXXXXX";
  fd_ = mkstemp(path.data());
  if (fd_ < 0) throw KWRExcept(MessageText("Unable to open file %s", path.c_str()));
  unlink(path.c_str());
  end_ = flushed_ = 0;
  buffer_.clear();
  buffer_.reserve(kBufferSize);
  readBuffer_.clear();
  readStart_ = 0;
}

void SampleStore::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  end_ = flushed_ = 0;
  buffer_.clear();
  readBuffer_.clear();
}

void SampleStore::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = pwrite(fd_, buffer_.data() + done, buffer_.size() - done, static_cast<off_t>(flushed_ + done));
    if (n <= 0) throw KWRExcept("Error writing file History");
    done += static_cast<size_t>(n);
  }
  flushed_ += buffer_.size();
  buffer_.clear();
}

void SampleStore::Read(uint64_t offset, void* data, size_t count) {
  auto* out = static_cast<unsigned char*>(data);
  if (offset + count > end_) throw KWRExcept("Error reading file History");
  while (count > 0) {
    if (offset >= flushed_) {  // still in the write buffer
      std::memcpy(out, buffer_.data() + (offset - flushed_), count);
      return;
    }
    if (offset < readStart_ || offset >= readStart_ + readBuffer_.size()) {
      readBuffer_.resize(static_cast<size_t>(std::min<uint64_t>(kBufferSize, flushed_ - offset)));
      size_t done = 0;
      while (done < readBuffer_.size()) {
        const ssize_t n =
            pread(fd_, readBuffer_.data() + done, readBuffer_.size() - done, static_cast<off_t>(offset + done));
        if (n <= 0) throw KWRExcept("Error reading file History");
        done += static_cast<size_t>(n);
      }
      readStart_ = offset;
    }
    const size_t at = static_cast<size_t>(offset - readStart_);
    const size_t n = std::min(count, readBuffer_.size() - at);
    std::memcpy(out, readBuffer_.data() + at, n);
    out += n;
    offset += n;
    count -= n;
  }
}

// ---------------------------------------------------------------------------
// HistoryModule: the list and sampling

History& HistoryModule::Add(std::unique_ptr<History> history) {
  uint32_t number = history->id ? history->id : presetId;
  if (number != 0) {
    if (FindById(number)) {
      presetId = 0;
      throw QJExcept(MessageText("History %s already exists", UIntToString(number)));
    }
  } else {
    for (number = 1; FindById(number); ++number) {
    }
  }
  history->id = number;
  list_.push_back(std::move(history));
  list_.back()->number = Count();
  presetId = 0;
  return *list_.back();
}

History* HistoryModule::FindById(uint32_t id) const {
  for (const auto& h : list_)
    if (h->id == id) return h.get();
  return nullptr;
}

History* HistoryModule::FindByNumber(int32_t number) const {
  if (number < 1 || static_cast<uint32_t>(number) > Count()) return nullptr;
  return list_[static_cast<size_t>(number - 1)].get();
}

void HistoryModule::Sample(uint32_t step) {
  if (!store_.IsOpen()) store_.Open();
  const uint64_t offset = store_.End();
  const uint32_t count = Count();
  record_.resize(8 + size_t{9} * count);
  unsigned char* p = record_.data();
  std::memcpy(p, &step, 4);
  std::memcpy(p + 4, &count, 4);
  p += 8;
  for (const auto& hp : list_) {
    History& h = *hp;
    const double v = h.active ? h.Measure() : 0.0;
    *p = h.active;
    std::memcpy(p + 1, &v, 8);
    p += 9;
    if (h.active) {
      h.minStep = std::min(h.minStep, step);
      h.maxStep = std::max(h.maxStep, step);
      if (v <= h.minValue) h.minValue = v;
      if (v >= h.maxValue) h.maxValue = v;
    }
    if (h.firstRecord == 0) h.firstRecord = offset + 1;
  }
  store_.Append(record_.data(), record_.size());
}

void HistoryModule::UpdateActive() {
  for (const auto& h : list_)
    if (!h->IsValid()) h->active = 0;
}

void HistoryModule::ObjectDeleted(const void* object) {
  for (const auto& h : list_) h->Forget(object);
  UpdateActive();
}

void HistoryModule::Clear() {
  for (auto* cb : callbacks_)
    if (cb) cb();
  list_.clear();
  store_.Close();
  readPos_ = 0;
  presetId = 0;
}

void HistoryModule::Purge() {
  store_.Close();
  readPos_ = 0;
  for (const auto& h : list_) h->ResetLimits();
}

void HistoryModule::SetDefaultCallback(void (*callback)()) {
  for (auto*& cb : callbacks_)
    if (!cb) cb = callback;
}

// ---------------------------------------------------------------------------
// Reading the samples back

void HistoryModule::ReadRecord() {
  uint32_t head[2];
  store_.Read(readPos_, head, 8);
  readPos_ += 8;
  recordStep_ = head[0];
  const uint32_t count = head[1];
  const uint32_t known = std::min(count, Count());
  if (known > 0) {
    record_.resize(size_t{9} * known);
    store_.Read(readPos_, record_.data(), record_.size());
  }
  for (uint32_t i = 0; i < Count(); ++i) {
    History& h = *list_[i];
    if (i < known) {
      h.hasValue = record_[size_t{9} * i];
      std::memcpy(&h.value, &record_[size_t{9} * i + 1], 8);
    } else {
      h.hasValue = 0;
      h.value = 0.0;
    }
  }
  readPos_ += uint64_t{9} * count;
}

bool HistoryModule::FirstSample(HistorySelection& sel) {
  if (!store_.IsOpen()) return false;
  readPos_ = 1000000000;
  for (const auto& e : sel.entries)
    if (e.history) readPos_ = std::min(readPos_, e.history->firstRecord - 1);
  acceptedCount_ = 0;
  return NextSample(sel);
}

bool HistoryModule::NextSample(HistorySelection& sel) {
  for (;;) {
    if (readPos_ >= store_.End()) return false;
    ReadRecord();
    if (recordStep_ < sel.begin || recordStep_ > sel.end) continue;
    if (sel.versus && sel.versus->hasValue != 1) continue;
    ++acceptedCount_;
    if (sel.skip <= 1 || acceptedCount_ == 1 || (acceptedCount_ - 1) % sel.skip == 0) break;
  }
  if (sel.versus) {
    sel.x = sel.versus->value;
    sel.xHasValue = sel.versus->hasValue;
  } else {
    sel.x = static_cast<double>(recordStep_);
    sel.xHasValue = 1;
  }
  if (sel.versusReversed) sel.x = -sel.x;
  for (auto& e : sel.entries) {
    e.hasValue = e.history->hasValue;
    e.value = e.reversed ? -e.history->value : e.history->value;
  }
  return true;
}

// ---------------------------------------------------------------------------
// The selection phrase

int HistorySelection::ParseClause(CommandType& interp, HistoryModule& module) {
  int32_t n = 0;
  if (interp.CheckInteger(&n) == CommandType::kOk) {
    History* h = module.FindById(static_cast<uint32_t>(std::abs(static_cast<int64_t>(n))));
    if (!h) throw HistoryNotFound(std::abs(static_cast<int64_t>(n)));
    entries.push_back({static_cast<uint8_t>(n < 0), 0, h, 0.0, 0});
    return 0;
  }
  int word = 0;
  const int at = interp.TokenIndex();
  const int r = interp.MatchKeyword("vs xminimum xmaximum ymaximum yminimum begin end skip new ", word);
  if (r != CommandType::kOk) {
    interp.TokenIndex() = at;
    return r;
  }
  auto limit = [&](double automatic) {
    int w = 0;
    if (interp.MatchKeyword("automatic slave", w) == CommandType::kOk) return automatic;
    return interp.GetReal();
  };
  switch (word - 1) {
    case 0: {
      int w = 0;
      if (interp.MatchKeyword("step cycle ", w) == CommandType::kOk) {
        versus = nullptr;
        versusReversed = 0;
        break;
      }
      const int32_t v = interp.GetInt();
      History* h = module.FindById(static_cast<uint32_t>(std::abs(static_cast<int64_t>(v))));
      if (!h) throw HistoryNotFound(std::abs(static_cast<int64_t>(v)));
      versus = h;
      versusReversed = v < 0;
      break;
    }
    case 1:
      xminimum = limit(-1e20);
      break;
    case 2:
      xmaximum = limit(1e20);
      break;
    case 3:
      ymaximum = limit(1e20);
      break;
    case 4:
      yminimum = limit(-1e20);
      break;
    case 5:
      begin = static_cast<uint32_t>(interp.GetInt());
      break;
    case 6:
      end = static_cast<uint32_t>(interp.GetInt());
      break;
    case 7:
      skip = static_cast<uint32_t>(interp.GetInt());
      break;
    default:
      Reset();
      break;
  }
  return 0;
}

int HistorySelection::Parse(CommandType& interp, HistoryModule& module) {
  for (;;) {
    const int r = ParseClause(interp, module);
    if (r == CommandType::kMissing) return 0;
    if (r != 0) return r;
  }
}

void HistorySelection::ParseToEnd(CommandType& interp, HistoryModule& module) {
  const int r = Parse(interp, module);
  if (r != 0) interp.ThrowParamError(r);
}

String HistorySelection::XLabel() const {
  if (!versus) return String("Step");
  String s = UIntToString(versus->id).str() + " " + versus->name.str();
  return versusReversed ? String("Rev " + s.str()) : s;
}

String HistorySelection::EntryLabel(size_t i) const {
  const Entry& e = entries[i];
  std::string s = UIntToString(e.history->id).str() + " " + e.history->name.str();
  return e.reversed ? String("Rev " + s) : String(s);
}

// ---------------------------------------------------------------------------
// Output

namespace {

std::string Fit12(const String& s) {
  std::string t = s.str().substr(0, 12);
  t.resize(12, ' ');
  return t;
}

}  // namespace

void HistoryModule::DumpTable(CommandType& interp, HistorySelection& sel) {
  PageGuard guard(interp);
  FormatKeeper keep(interp);
  std::string header = Fit12(sel.XLabel()) + " ";
  for (size_t i = 0; i < sel.entries.size(); ++i) header += Fit12(sel.EntryLabel(i)) + " ";
  header += "\n------------ ";
  for (size_t i = 0; i < sel.entries.size(); ++i) header += "------------ ";
  header += "\n";
  interp << header;
  interp.SetPageHeader(String(header));
  interp << std::scientific << std::setprecision(4) << std::right;
  for (bool more = FirstSample(sel); more; more = NextSample(sel)) {
    if (!sel.xHasValue) continue;
    interp << std::setw(12) << sel.x << " ";
    for (const auto& e : sel.entries) {
      if (e.hasValue)
        interp << std::setw(12) << e.value << " ";
      else
        interp << "             ";
    }
    interp << "\n";
    if (interp.EscPressed()) break;
  }
  interp.flush();
}

void HistoryModule::WriteTable(std::ostream& os, HistorySelection& sel) {
  auto label = [](const String& s) { return s.str().substr(0, 12); };
  os << std::right << std::setw(12) << label(sel.XLabel()) << " ";
  for (size_t i = 0; i < sel.entries.size(); ++i) os << std::setw(12) << label(sel.EntryLabel(i)) << " ";
  os << "\n------------ ";
  for (size_t i = 0; i < sel.entries.size(); ++i) os << "------------ ";
  os << "\n";
  // Numbers as %12.4g; formatted into one buffer that goes out in large writes.
  std::string text;
  text.reserve(size_t{1} << 16);
  auto number = [&text](double v) {
    char digits[32];
    const auto r = std::to_chars(digits, digits + sizeof digits, v, std::chars_format::general, 4);
    const size_t n = static_cast<size_t>(r.ptr - digits);
    if (n < 12) text.append(12 - n, ' ');
    text.append(digits, n);
    text += ' ';
  };
  for (bool more = FirstSample(sel); more; more = NextSample(sel)) {
    if (!sel.xHasValue) continue;
    number(sel.x);
    for (const auto& e : sel.entries) {
      if (e.hasValue)
        number(e.value);
      else
        text += "             ";
    }
    text += '\n';
    if (text.size() > (size_t{1} << 16) - 4096) {
      os.write(text.data(), static_cast<std::streamsize>(text.size()));
      text.clear();
    }
  }
  os.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void HistoryModule::PrintList(CommandType& interp) {
  PageGuard guard(interp);
  FormatKeeper keep(interp);
  const char* header =
      " ID  Name                             Position\n"
      "---- -------------------------------  ------------ ------------ ------------\n";
  interp << header;
  interp.SetPageHeader(String(header));
  interp << std::scientific << std::setprecision(4);
  for (const auto& h : list_) {
    interp << std::right << std::setw(4) << h->id << " " << std::left << std::setw(30) << h->name.str().substr(0, 30)
           << " " << std::right;
    double p[3];
    if (h->GetPosition(p)) interp << "            (" << p[0] << "," << p[1] << "," << p[2] << ")";
    interp << "\n";
    if (interp.EscPressed()) break;
  }
  interp.flush();
}

void HistoryModule::PrintLimits(CommandType& interp) {
  PageGuard guard(interp);
  FormatKeeper keep(interp);
  const char* header =
      " ID  Name                           MinStep MaxStep  Min. Value   Max. Value\n"
      "---- ------------------------------ ------- ------- ------------ ------------\n";
  interp << header;
  interp.SetPageHeader(String(header));
  interp << std::scientific;
  for (const auto& h : list_) {
    interp << std::right << std::setw(4) << h->id << " " << std::left << std::setw(30) << h->name.str().substr(0, 30)
           << " " << std::right << std::setw(7) << h->minStep << " " << std::setw(7) << h->maxStep << " "
           << std::setprecision(4) << std::setw(12) << h->minValue << " " << std::setw(12) << h->maxValue << "\n";
    if (interp.EscPressed()) break;
  }
  interp.flush();
}

// ---------------------------------------------------------------------------
// Save and restore

void HistoryModule::Save(SaveStream& s) const {
  s.WriteU32(Count());
  for (const auto& h : list_) {
    s.WriteU32(h->TypeCode());
    h->Save(s);
  }
  const uint64_t total = store_.IsOpen() ? store_.End() : 0;
  s.WriteU32(static_cast<uint32_t>(total));
  if (total == 0) return;
  std::vector<unsigned char> chunk;
  for (uint64_t at = 0; at < total;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(uint64_t{1} << 16, total - at));
    chunk.resize(n);
    const_cast<SampleStore&>(store_).Read(at, chunk.data(), n);
    s.Write(chunk.data(), n);
    at += n;
  }
}

void HistoryModule::Restore(SaveStream& s, int32_t fileVersion) {
  Clear();
  const uint32_t count = s.ReadU32();
  s.CheckAvailable(uint64_t{4} * count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t code = s.ReadU32();
    std::unique_ptr<History> h = Create(code);
    if (!h) s.ReadFailure();
    h->Restore(s);
    h->saveIndex = i + 1;
    list_.push_back(std::move(h));
  }
  store_.Open();
  const uint32_t total = s.ReadU32();
  const uint64_t perEntry = fileVersion <= 18 ? 12 : 9;
  uint64_t consumed = 0;
  std::vector<unsigned char> entries;
  while (consumed < total) {
    uint32_t head[2];
    head[0] = s.ReadU32();
    head[1] = s.ReadU32();
    s.CheckAvailable(uint64_t{9} * head[1]);
    store_.Append(head, 8);
    entries.resize(size_t{9} * head[1]);
    if (!entries.empty()) s.Read(entries.data(), entries.size());
    for (uint32_t i = 0; i < head[1]; ++i)
      if (entries[size_t{9} * i] > 1) s.ReadFailure();
    store_.Append(entries.data(), entries.size());
    consumed += 8 + perEntry * head[1];
  }
  if (consumed != total) s.ReadFailure();
}

void HistoryModule::RemapPointers() {
  for (const auto& h : list_) h->RemapPointers();
}

History* HistoryModule::GetByIndex(uint32_t index) const {
  if (index == 0 || index > Count()) return nullptr;
  return list_[index - 1].get();
}

uint32_t HistoryModule::IndexOf(const History* history) const {
  for (size_t i = 0; i < list_.size(); ++i)
    if (list_[i].get() == history) return static_cast<uint32_t>(i + 1);
  return 0;
}
