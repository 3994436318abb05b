// A global list of one kind of model object: the intrusive list with typed
// walking. RESTORE fills it through Create, which makes a fresh object of
// the kind from the model memory pool (T::NewForRestore: an object whose
// record is about to be read, so it takes no id of its own).
#pragma once

#include <iterator>

#include "base/linklist.h"

template <class T>
class ModelList : public LinkListBase {
 public:
  LinkListNode* Create(uint32_t) override { return T::NewForRestore(); }

  T* Head() const { return static_cast<T*>(First()); }
  T* Tail() const { return static_cast<T*>(Last()); }
  static T* Next(const T* object) { return static_cast<T*>(object->NextNode()); }

  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T*;
    using difference_type = std::ptrdiff_t;
    using pointer = T**;
    using reference = T*;
    explicit Iterator(T* object) : object_(object) {}
    T* operator*() const { return object_; }
    Iterator& operator++() {
      object_ = Next(object_);
      return *this;
    }
    bool operator==(const Iterator& o) const { return object_ == o.object_; }
    bool operator!=(const Iterator& o) const { return object_ != o.object_; }

   private:
    T* object_;
  };
  Iterator begin() const { return Iterator(Head()); }
  Iterator end() const { return Iterator(nullptr); }
};

// Every node of a model list is its kind of object: the saved index of a
// pointer to one resolves without a type test (an index the list cannot
// resolve gives null and is counted, as for any list).
template <class T>
void RemapPointer(const ModelList<T>& list, T*& field) {
  field = static_cast<T*>(list.GetByIndex(PendingLinks::Take()));
}
