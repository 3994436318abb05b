#include "zolt/table.h"

#include <algorithm>
#include <cmath>

#include "base/command.h"
#include "base/message.h"
#include "base/savestream.h"

// ---------------------------------------------------------------------------
// Table

void Table::Walk(double x) {
  if (search_ == kNoPosition) search_ = 0;
  if (x < points_[search_].x) search_ = 0;
  while (search_ + 1 < points_.size() && !(x < points_[search_ + 1].x)) ++search_;
}

double Table::Interpolate(double x) {
  if (points_.empty()) return 0.0;
  Walk(x);
  const Point& p0 = points_[search_];
  if (search_ == 0 && x < p0.x) return p0.y;
  if (search_ + 1 >= points_.size()) return p0.y;
  const Point& p1 = points_[search_ + 1];
  return p0.y + (x - p0.x) / (p1.x - p0.x) * (p1.y - p0.y);
}

double Table::Slope(double x) {
  if (points_.empty()) return 0.0;
  Walk(x);
  const Point& p0 = points_[search_];
  if (search_ == 0 && x < p0.x) return 0.0;
  if (search_ + 1 >= points_.size()) return 0.0;
  const Point& p1 = points_[search_ + 1];
  return (p1.y - p0.y) / (p1.x - p0.x);
}

Table::Point Table::Entry(int64_t index) const {
  if (index < 0 || index >= static_cast<int64_t>(points_.size())) return Point();
  return points_[static_cast<size_t>(index)];
}

void Table::Bounds(double out[4]) const {
  if (points_.empty()) {
    out[0] = out[1] = out[2] = out[3] = 0.0;
    return;
  }
  out[0] = out[2] = points_[0].x;
  out[1] = out[3] = points_[0].y;
  for (const Point& p : points_) {
    out[0] = std::min(out[0], p.x);
    out[1] = std::min(out[1], p.y);
    out[2] = std::max(out[2], p.x);
    out[3] = std::max(out[3], p.y);
  }
}

void Table::Insert(double x, double y) {
  const double t = std::max(1e-14, 1e-14 * std::fabs(x));
  size_t at = 0;
  if (ascending_) {
    // The first entry not below x - t: within t it is replaced, otherwise
    // every entry before it is below x and the pair goes in front of it.
    at = static_cast<size_t>(
        std::lower_bound(points_.begin(), points_.end(), x - t, [](const Point& p, double v) { return p.x < v; }) -
        points_.begin());
  } else {
    while (at < points_.size() && !(std::fabs(points_[at].x - x) <= t) && !(x < points_[at].x)) ++at;
  }
  if (at < points_.size() && std::fabs(points_[at].x - x) <= t) {
    points_[at] = {x, y};
    if (ascending_ && ((at > 0 && points_[at - 1].x > x) || (at + 1 < points_.size() && points_[at + 1].x < x)))
      ascending_ = false;
    return;
  }
  points_.insert(points_.begin() + static_cast<std::ptrdiff_t>(at), Point{x, y});
  if (search_ != kNoPosition && at <= search_) ++search_;
}

void Table::SetAt(int64_t index, double x, double y) {
  if (index < 0) return;
  const size_t i = static_cast<size_t>(index);
  if (i < points_.size()) {
    points_[i] = {x, y};
    ascending_ =
        std::is_sorted(points_.begin(), points_.end(), [](const Point& a, const Point& b) { return a.x < b.x; });
    return;
  }
  if (i - points_.size() > 1000000) throw IndexRangeExcept("Table index out of range");
  while (points_.size() < i) Append(0.0, 0.0);
  Append(x, y);
}

void Table::NoteAppended() {
  const size_t n = points_.size();
  if (n > 1 && points_[n - 1].x < points_[n - 2].x) ascending_ = false;
}

void Table::Append(double x, double y) {
  points_.push_back({x, y});
  NoteAppended();
}

void Table::Sort() {
  std::stable_sort(points_.begin(), points_.end(), [](const Point& a, const Point& b) { return a.x < b.x; });
  ascending_ = true;
  search_ = kNoPosition;
}

void Table::Erase() {
  points_.clear();
  search_ = kNoPosition;
  ascending_ = true;
}

void Table::Save(SaveStream& s) const {
  s.WriteU32(Count());
  s.WriteU32(number_);
  SaveString(s, name_);
  for (const Point& p : points_) {
    s.WriteF64(p.x);
    s.WriteF64(p.y);
  }
}

void Table::Restore(SaveStream& s) {
  const uint32_t count = s.ReadU32();
  number_ = s.ReadU32();
  RestoreString(s, name_);
  s.CheckAvailable(uint64_t{16} * count);
  points_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const double x = s.ReadF64();
    Append(x, s.ReadF64());
  }
  search_ = kNoPosition;
}

// ---------------------------------------------------------------------------
// Table2List

Table2List& Tables() {
  static Table2List list;
  return list;
}

Table* Table2List::LookupId(uint32_t number) const {
  const auto it = byId_.find(number);
  return it == byId_.end() ? nullptr : it->second;
}

Table* Table2List::LookupName(const String& name) const {
  for (const auto& t : tables_)
    if (t->Name() == name) return t.get();
  return nullptr;
}

Table* Table2List::FindById(uint32_t number) const {
  if (Table* t = LookupId(number)) return t;
  throw TableNotFoundExcept(MessageText("Table %s not found", UIntToString(number)));
}

Table* Table2List::FindByName(const String& name) const {
  if (Table* t = LookupName(name)) return t;
  throw TableNotFoundExcept(MessageText("Table '%s' not found", name));
}

Table& Table2List::Append(std::unique_ptr<Table> table) {
  Table& t = *table;
  tables_.push_back(std::move(table));
  byId_.emplace(t.Id(), &t);
  return t;
}

Table& Table2List::GetOrCreateById(uint32_t number) {
  if (Table* t = LookupId(number)) return *t;
  return Append(std::make_unique<Table>(number, String("UnNamed")));
}

Table& Table2List::GetOrCreateByName(const String& name) {
  if (Table* t = LookupName(name)) return *t;
  uint32_t highest = 0;
  for (const auto& t : tables_) highest = std::max(highest, t->Id());
  return Append(std::make_unique<Table>(highest + 1, name));
}

int32_t Table2List::IndexOf(uint32_t number) const {
  Table* t = FindById(number);
  for (size_t i = 0; i < tables_.size(); ++i)
    if (tables_[i].get() == t) return static_cast<int32_t>(i + 1);
  return 0;
}

void Table2List::Clear() {
  tables_.clear();
  byId_.clear();
}

void Table2List::Save(SaveStream& s) const {
  s.WriteU32(Count());
  for (const auto& t : tables_) t->Save(s);
}

void Table2List::Restore(SaveStream& s) {
  Clear();
  const uint32_t count = s.ReadU32();
  s.CheckAvailable(uint64_t{12} * count);
  for (uint32_t i = 0; i < count; ++i) {
    auto table = std::make_unique<Table>(0, String("UnNamed"));
    table->Restore(s);
    Append(std::move(table));
  }
}

Table& Table2List::FindFromCommand(CommandType& interp) const {
  int32_t number = 0;
  int index = interp.TokenIndex();
  if (interp.CheckInteger(&number, &index) == CommandType::kOk) {
    interp.TokenIndex() = index;
    return *FindById(static_cast<uint32_t>(number));
  }
  return *FindByName(interp.GetString());
}
