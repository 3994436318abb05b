// Intrusive doubly linked lists of persistent objects and their save
// protocol: a list writes its count and, per node, a type code and the node's
// own data; on restore it creates each node from its type code. A pointer
// between objects is saved as the target's 1-based position in its list and
// turned back into a pointer once every list has been restored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

class SaveStream;
class LinkListBase;

class LinkListNode {
 public:
  LinkListNode() = default;
  virtual ~LinkListNode() = default;
  LinkListNode(const LinkListNode&) = delete;
  LinkListNode& operator=(const LinkListNode&) = delete;

  // The node's own fields; the list writes the type code before them.
  virtual void Restore(SaveStream&) {}
  virtual void Save(SaveStream&) const {}
  // Turns the saved indices held in pointer fields back into pointers.
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
  // The node saved with that index (0 gives null); an index that the list
  // cannot resolve gives null and is counted as a bad pointer. Valid between
  // Restore and ReleaseIndexArrays.
  LinkListNode* GetByIndex(uint32_t index) const;
  // Numbers the nodes 1, 2, 3 ... in list order.
  void Number();
  void ReleaseIndexArray() {
    index_.reset();
    indexCount_ = 0;
  }

 private:
  void LinkBefore(LinkListNode* before, LinkListNode* node);

  LinkListNode end_;  // end marker: next is the first node, previous the last
  uint32_t count_ = 0;
  std::unique_ptr<LinkListNode*[]> index_;
  uint32_t indexCount_ = 0;
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

// Reads a saved index into a pointer field; RemapPointer turns it into the
// object once the lists are restored.
template <class T>
void RestorePointer(SaveStream& stream, T*& field) {
  field = reinterpret_cast<T*>(static_cast<uintptr_t>(ReadSavedIndex(stream)));
}

// Resolves a saved index held in a pointer field through the list that holds
// the target; an index that does not resolve to an object of type T gives
// null and is counted as a bad pointer.
template <class T>
void RemapPointer(const LinkListBase& list, T*& field) {
  uint32_t index = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(field));
  LinkListNode* node = list.GetByIndex(index);
  field = dynamic_cast<T*>(node);
  if (node && !field) CountBadPointer();
}
