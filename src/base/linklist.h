// Intrusive doubly linked lists of persistent objects and their save
// protocol: a list writes its count and, per node, a type code and the node's
// own data; on restore it creates each node from its type code. A pointer
// between objects is saved as the target's 1-based position in its list and
// turned back into a pointer once every list has been restored.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

#include <vector>

#include "base/memory.h"

class SaveStream;
class LinkListBase;

// The saved indices that restored objects hold for their pointers, kept
// beside the objects until every list is read: a pointer field is never set
// to an index. RestorePointer queues an index and leaves its field null
// while its object is read; RemapPointer takes the indices of one object
// back in the order they were read and turns each into its object.
class PendingLinks {
 public:
  // Reads one object: `read` runs with this store taking its indices.
  template <class F>
  void Restore(F&& read) {
    starts_.push_back(values_.size());
    Active active(this, values_.size(), values_.size(), true);
    read();
  }
  // Remaps the k-th object read (0-based): `remap` runs with that object's
  // indices to take, and must take all of them.
  template <class F>
  void Remap(size_t k, F&& remap) {
    const size_t begin = k < starts_.size() ? starts_[k] : values_.size();
    const size_t end = k + 1 < starts_.size() ? starts_[k + 1] : values_.size();
    Active active(this, begin, end, false);
    remap();
    active.CheckAllTaken();
  }
  // Room for `objects` objects of as many indices as those read so far, and
  // never for more indices than `most` beyond those.
  void Reserve(size_t objects, uint64_t most) {
    starts_.reserve(objects);
    if (starts_.empty()) return;
    const uint64_t wanted = uint64_t{values_.size()} / starts_.size() * objects;
    values_.reserve(static_cast<size_t>(std::min<uint64_t>(wanted, values_.size() + most)));
  }
  void Clear() {
    values_ = Values();
    starts_ = Starts();
  }

  // The store of the object being read or remapped (logic error: none).
  static void Put(uint32_t index);
  static uint32_t Take();

 private:
  class Active {
   public:
    Active(PendingLinks* links, size_t next, size_t end, bool reading);
    ~Active();
    Active(const Active&) = delete;
    Active& operator=(const Active&) = delete;
    void CheckAllTaken() const;
  };
  using Values = std::vector<uint32_t, LargeArrayAllocator<uint32_t>>;
  using Starts = std::vector<size_t, LargeArrayAllocator<size_t>>;
  Values values_;
  Starts starts_;
};

class LinkListNode {
 public:
  LinkListNode() = default;
  virtual ~LinkListNode() = default;
  LinkListNode(const LinkListNode&) = delete;
  LinkListNode& operator=(const LinkListNode&) = delete;

  // The node's own fields; the list writes the type code before them.
  virtual void Restore(SaveStream&) {}
  virtual void Save(SaveStream&) const {}
  // Turns the saved indices of the node's pointer fields back into pointers.
  virtual void RemapPointers() {}

  uint32_t SaveIndex() const { return saveIndex_; }
  void SetSaveIndex(uint32_t index) { saveIndex_ = index; }
  uint32_t TypeCode() const { return typeCode_; }
  void SetTypeCode(uint32_t code) { typeCode_ = code; }
  // The neighbours in the list; null at either end or when not in a list.
  LinkListNode* NextNode() const { return next_ && next_->isNode_ ? next_ : nullptr; }
  LinkListNode* PreviousNode() const { return prev_ && prev_->isNode_ ? prev_ : nullptr; }
  bool InList() const { return next_ != nullptr; }

 private:
  friend class LinkListBase;
  uint32_t saveIndex_ = 0;
  uint32_t typeCode_ = 0;
  LinkListNode* next_ = nullptr;
  LinkListNode* prev_ = nullptr;
  bool isNode_ = true;  // false only in a list's end marker
};

class LinkListBase {
 public:
  LinkListBase();
  // Destroys the nodes, frees the index array and leaves the registry; never throws.
  virtual ~LinkListBase();
  LinkListBase(const LinkListBase&) = delete;
  LinkListBase& operator=(const LinkListBase&) = delete;

  // A new node of the class that the type code names, or null when the code
  // is unknown (RESTORE then fails with the stream's read error).
  virtual LinkListNode* Create(uint32_t typeCode) = 0;

  // Editing: constant time, no allocation. The list owns the nodes it holds.
  LinkListNode* Append(LinkListNode* node);
  void Prepend(LinkListNode* node);
  void InsertBefore(LinkListNode* position, LinkListNode* node);
  // Unlinks the node without destroying it.
  LinkListNode* Remove(LinkListNode* node);
  // Destroys every node.
  void Clear();

  uint32_t Count() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }
  LinkListNode* First() const { return end_.next_ != &end_ ? end_.next_ : nullptr; }
  LinkListNode* Last() const { return end_.prev_ != &end_ ? end_.prev_ : nullptr; }

  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = LinkListNode*;
    using difference_type = std::ptrdiff_t;
    using pointer = LinkListNode**;
    using reference = LinkListNode*;
    explicit Iterator(LinkListNode* n) : n_(n) {}
    LinkListNode* operator*() const { return n_; }
    Iterator& operator++() {
      n_ = n_->NextNode();
      return *this;
    }
    bool operator==(const Iterator& o) const { return n_ == o.n_; }
    bool operator!=(const Iterator& o) const { return n_ != o.n_; }

   private:
    LinkListNode* n_;
  };
  Iterator begin() const { return Iterator(First()); }
  Iterator end() const { return Iterator(nullptr); }

  // Count, then per node its type code and its data.
  void Save(SaveStream& stream) const;
  // Clears the list, reads it back through Create and builds the index array
  // that GetByIndex resolves saved indices with. A count that the bytes left
  // cannot hold, or an unknown type code, is the stream's read error.
  void Restore(SaveStream& stream);
  void RemapAll();
  // Remaps one node of this list in a walk of the owner's own, as RemapAll does.
  template <class F>
  void RemapNode(const LinkListNode* node, F&& remap) {
    pending_.Remap(node->SaveIndex() - 1, remap);
  }
  // The node saved with that index (0 gives null); an index that the list
  // cannot resolve gives null and is counted as a bad pointer. Valid between
  // Restore and ReleaseIndexArrays.
  LinkListNode* GetByIndex(uint32_t index) const;
  // Numbers the nodes 1, 2, 3 ... in list order.
  void Number();
  void ReleaseIndexArray() {
    index_.reset();
    indexCount_ = 0;
    pending_.Clear();
  }

 private:
  void LinkBefore(LinkListNode* before, LinkListNode* node);

  LinkListNode end_;  // end marker: next is the first node, previous the last
  uint32_t count_ = 0;
  std::unique_ptr<LinkListNode*[]> index_;
  uint32_t indexCount_ = 0;
  PendingLinks pending_;
};

// Registry-wide operations over every live list.
void NumberAllLists();
void ReleaseIndexArrays();
uint32_t BadPointerCount();
void ResetBadPointerCount();
// Removes a list from the registry: nothing when the registry is empty;
// "LinkListBase not found" when the list is not registered.
void UnregisterList(LinkListBase* list);
bool IsListRegistered(const LinkListBase* list);

// Pointers between list objects in a save file: the target's save index, 0 for none.
void SavePointer(SaveStream& stream, const LinkListNode* target);
uint32_t ReadSavedIndex(SaveStream& stream);
void CountBadPointer();
// How many nodes have left any list so far. A pointer taken while the count
// stood where it stands now still names a listed object.
uint32_t ListRemovalCount();

// Reads the saved index of a pointer field: the field stays null and the
// index waits beside it until RemapPointer.
template <class T>
void RestorePointer(SaveStream& stream, T*& field) {
  field = nullptr;
  PendingLinks::Put(ReadSavedIndex(stream));
}
// The same for an index that a record holds for another subsystem's list.
inline void RestoreIndex(SaveStream& stream) { PendingLinks::Put(ReadSavedIndex(stream)); }
inline void QueueIndex(uint32_t index) { PendingLinks::Put(index); }

// The pointer field's saved index, turned into its object through the list
// that holds the target; an index that does not resolve to an object of
// type T gives null and is counted as a bad pointer.
template <class T>
void RemapPointer(const LinkListBase& list, T*& field) {
  LinkListNode* node = list.GetByIndex(PendingLinks::Take());
  field = dynamic_cast<T*>(node);
  if (node && !field) CountBadPointer();
}
// Takes a saved index without resolving it (its list is not there).
inline uint32_t SkipPending() { return PendingLinks::Take(); }
