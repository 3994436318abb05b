// Histories: scalar quantities of the model sampled at the history interval
// while the model is stepped. The history module owns the list and the
// sample store, a temporary file of fixed-size records appended through a
// buffer; the readers (dump, write, plots) read it back from the earliest
// first record of the histories they show.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/except.h"
#include "base/string.h"

class CommandType;
class SaveStream;
class HistoryModule;

class History {
 public:
  History() = default;
  virtual ~History() = default;
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  // The kinds' type codes, as saved.
  enum Code : uint32_t {
    kGp = 2,
    kZone = 3,
    kUnbal = 4,
    kDytime = 5,
    kDt = 6,
    kCrtime = 7,
    kThtime = 8,
    kFltime = 9,
    kRatio = 10,
    kSelNode = 11,
    kZolt = 12,
    kInterface = 13,
    kChem = 21
  };
  virtual uint32_t TypeCode() const = 0;

  virtual void Restore(SaveStream& stream);
  virtual void Save(SaveStream& stream) const;
  virtual void RemapPointers() {}
  virtual double Measure() = 0;
  virtual bool GetPosition(double[3]) const { return false; }
  virtual bool IsValid() { return true; }
  // The object is about to be destroyed: a history that records it forgets it.
  virtual void Forget(const void*) {}

  uint8_t hasValue = 0;
  uint8_t active = 1;
  String name;
  uint32_t id = 0;
  uint32_t number = 0;
  uint32_t minStep = 1000000000;
  uint32_t maxStep = 0;
  uint64_t firstRecord = 0;  // 1 + byte offset of the first record written with it; 0 none
  double minValue = 1e20;
  double maxValue = -1e20;
  double value = 0.0;
  uint32_t saveIndex = 0;

  void ResetLimits() {
    minStep = 1000000000;
    maxStep = 0;
    firstRecord = 0;
    minValue = 1e20;
    maxValue = -1e20;
  }
};

// The chosen histories of an output, the quantity on the x axis, the step
// window and the thinning.
struct HistorySelection {
  struct Entry {
    uint8_t reversed = 0;
    uint8_t hasValue = 0;
    History* history = nullptr;
    double value = 0.0;
    uint32_t drawStyle = 0;
  };
  std::vector<Entry> entries;
  uint8_t xHasValue = 0;
  double x = 0.0;
  uint8_t versusReversed = 0;
  uint32_t begin = 0;
  uint32_t end = 1000000000;
  uint32_t skip = 0;
  double xminimum = -1e20, yminimum = -1e20, xmaximum = 1e20, ymaximum = 1e20;
  History* versus = nullptr;

  void Reset() { *this = HistorySelection(); }
  // One clause of the phrase: 0 handled, else the keyword check's result
  // for the word that is not part of the phrase (2: the line has ended).
  int ParseClause(CommandType& interp, HistoryModule& module);
  // Clauses until the line ends (0) or a word is not part of the phrase.
  int Parse(CommandType& interp, HistoryModule& module);
  void ParseToEnd(CommandType& interp, HistoryModule& module);
  String XLabel() const;
  String EntryLabel(size_t i) const;
};

// The sample store: records appended at the end through a write buffer, read
// back at any offset through a read buffer. The temporary file goes when the
// store is closed.
class SampleStore {
 public:
  SampleStore() = default;
  ~SampleStore() { Close(); }
  SampleStore(const SampleStore&) = delete;
  SampleStore& operator=(const SampleStore&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  void Open();
  void Close();
  uint64_t End() const { return end_; }
  void Append(const void* data, size_t count) {
    if (buffer_.size() + count > kBufferSize) Flush();
    const auto* p = static_cast<const unsigned char*>(data);
    buffer_.insert(buffer_.end(), p, p + count);
    end_ += count;
  }
  // Reads bytes at an offset below End().
  void Read(uint64_t offset, void* data, size_t count);

 private:
  static constexpr size_t kBufferSize = size_t{1} << 18;
  void Flush();
  int fd_ = -1;
  uint64_t end_ = 0;      // bytes in the store, buffered ones included
  uint64_t flushed_ = 0;  // bytes in the file
  std::vector<unsigned char> buffer_;
  std::vector<unsigned char> readBuffer_;
  uint64_t readStart_ = 0;
};

class HistoryModule {
 public:
  HistoryModule() = default;
  virtual ~HistoryModule() = default;

  // Assigns the number (the preset one, else the smallest free one) and
  // appends; "History %s already exists" when the number is taken (the
  // history is then not added and the caller keeps it).
  History& Add(std::unique_ptr<History> history);
  void Sample(uint32_t step);
  History* FindById(uint32_t id) const;
  History* FindByNumber(int32_t number) const;
  uint32_t Count() const { return static_cast<uint32_t>(list_.size()); }
  History* At(size_t i) const { return list_[i].get(); }
  void UpdateActive();
  // Every history lets go of a grid-point or zone about to be destroyed and
  // is inactive from then on.
  void ObjectDeleted(const void* object);
  void Clear();
  void Purge();
  void SetDefaultCallback(void (*callback)());
  bool FirstSample(HistorySelection& selection);
  bool NextSample(HistorySelection& selection);

  // One clause of the sub-commands (dump print range write delete reset
  // purge limits, id): 0 handled, else the keyword check's result.
  virtual int Command(CommandType& interp);
  // Clauses until the line ends.
  void RunCommand(CommandType& interp);

  void DumpTable(CommandType& interp, HistorySelection& selection);
  void WriteTable(std::ostream& os, HistorySelection& selection);
  void PrintList(CommandType& interp);
  void PrintLimits(CommandType& interp);

  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream, int32_t fileVersion);
  void RemapPointers();
  History* GetByIndex(uint32_t index) const;
  uint32_t IndexOf(const History* history) const;
  virtual std::unique_ptr<History> Create(uint32_t typeCode) = 0;

  uint32_t presetId = 0;
  const SampleStore& Store() const { return store_; }

 protected:
  std::vector<std::unique_ptr<History>> list_;

 private:
  void ReadRecord();

  SampleStore store_;
  uint64_t readPos_ = 0;
  uint32_t acceptedCount_ = 0;
  uint32_t recordStep_ = 0;
  std::vector<unsigned char> record_;  // one record, built or read
  void (*callbacks_[10])() = {};
};

// Thrown for a number that names no history.
class HistoryNotFound : public QJExcept {
 public:
  explicit HistoryNotFound(int64_t number);
};

// The program's one history module, with the model's kinds.
class ModelHistoryModule : public HistoryModule {
 public:
  int Command(CommandType& interp) override;
  std::unique_ptr<History> Create(uint32_t typeCode) override;
};
ModelHistoryModule& Histories();
