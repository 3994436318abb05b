// Tables: numbered, named lists of (x, y) points that the TABLE command, ZOLT
// and history output fill, and that applied conditions, the constitutive
// models and the plots read by linear interpolation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/except.h"
#include "base/string.h"

class SaveStream;

class Table {
 public:
  struct Point {
    double x = 0.0;
    double y = 0.0;
  };
  static constexpr size_t kNoPosition = static_cast<size_t>(-1);

  Table(uint32_t number, const String& name) : number_(number), name_(name) {}

  // y at x: a straight line between the entries around x, the first y below
  // the first x, the last y at or beyond the last x, 0 for an empty table.
  // The search starts where the last one ended, so rising x costs O(1).
  double Interpolate(double x);
  // dy/dx of the segment [x0, x1) holding x; 0 outside the entries.
  double Slope(double x);

  uint32_t Count() const { return static_cast<uint32_t>(points_.size()); }
  uint32_t Id() const { return number_; }
  const String& Name() const { return name_; }
  void SetName(const String& name) { name_ = name; }
  // The pair at a 0-based index; (0, 0) outside the entries.
  Point Entry(int64_t index) const;
  // Smallest x, smallest y, largest x, largest y; all 0 when empty.
  void Bounds(double out[4]) const;
  // Sorted insertion: an entry within 1e-14 (relative, at least absolute)
  // of x takes the new pair, otherwise the pair goes before the first
  // larger x. On a table in ascending order the place is found by bisection.
  void Insert(double x, double y);
  // Replaces the entry at the index, or pads with (0, 0) up to it and
  // appends; a negative index does nothing.
  void SetAt(int64_t index, double x, double y);
  void Append(double x, double y);
  // Stable sort by ascending x.
  void Sort();
  void Erase();
  size_t SearchPosition() const { return search_; }

  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);

 private:
  void NoteAppended();
  void Walk(double x);

  std::vector<Point> points_;
  uint32_t number_;
  String name_;
  size_t search_ = kNoPosition;
  bool ascending_ = true;  // the entries are in non-decreasing x
};

class Table2List {
 public:
  class TableExcept : public QJExcept {
   public:
    using QJExcept::QJExcept;
  };
  class TableNotFoundExcept : public TableExcept {
   public:
    using TableExcept::TableExcept;
  };

  Table* FindById(uint32_t number) const;  // throws when none
  Table* FindByName(const String& name) const;
  Table* LookupId(uint32_t number) const;  // null when none
  Table* LookupName(const String& name) const;
  Table& GetOrCreateById(uint32_t number);
  Table& GetOrCreateByName(const String& name);
  // The 1-based list position of a number; throws when none.
  int32_t IndexOf(uint32_t number) const;
  Table& At(int32_t position) const { return *tables_[static_cast<size_t>(position - 1)]; }
  double InterpolateAt(int32_t position, double x) { return At(position).Interpolate(x); }
  double SlopeAt(int32_t position, double x) { return At(position).Slope(x); }
  uint32_t Count() const { return static_cast<uint32_t>(tables_.size()); }
  void Clear();
  void Save(SaveStream& stream) const;
  // Replaces the list by the file's tables (the old ones are deleted).
  void Restore(SaveStream& stream);
  // The table named by the next token: an integer by number, else by name.
  Table& FindFromCommand(class CommandType& interp) const;

 private:
  Table& Append(std::unique_ptr<Table> table);
  std::vector<std::unique_ptr<Table>> tables_;
  std::unordered_map<uint32_t, Table*> byId_;  // the first table of each number
};

// The program's one table list.
Table2List& Tables();
