#include "base/linklist.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "base/except.h"
#include "base/savestream.h"

namespace {
// Every live list, newest first. Lists are built during static
// initialisation in any order and may outlive other statics, so the
// registry is made on first use and never destroyed.
std::vector<LinkListBase*>& Registry() {
  static auto* lists = new std::vector<LinkListBase*>;
  return *lists;
}

uint32_t g_badPointers = 0;
uint32_t g_removals = 0;

// The store and the indices that the object being read or remapped works on.
struct ActiveLinks {
  std::vector<uint32_t, LargeArrayAllocator<uint32_t>>* values = nullptr;
  size_t next = 0;
  size_t end = 0;
  bool reading = false;
};
ActiveLinks g_active;
ActiveLinks g_saved[8];
int g_depth = 0;
}  // namespace

PendingLinks::Active::Active(PendingLinks* links, size_t next, size_t end, bool reading) {
  if (g_depth == 8) throw std::logic_error("pending links nested too deep");
  g_saved[g_depth++] = g_active;
  g_active = ActiveLinks{&links->values_, next, end, reading};
}

PendingLinks::Active::~Active() { g_active = g_saved[--g_depth]; }

void PendingLinks::Active::CheckAllTaken() const {
  if (g_active.next != g_active.end) throw std::logic_error("an object took fewer saved indices than it read");
}

void PendingLinks::Put(uint32_t index) {
  if (!g_active.values || !g_active.reading) throw std::logic_error("a saved index read outside an object's restore");
  g_active.values->push_back(index);
}

uint32_t PendingLinks::Take() {
  if (!g_active.values || g_active.reading || g_active.next >= g_active.end)
    throw std::logic_error("a saved index taken that its object did not read");
  return (*g_active.values)[g_active.next++];
}

LinkListBase::LinkListBase() {
  end_.isNode_ = false;
  end_.next_ = &end_;
  end_.prev_ = &end_;
  Registry().insert(Registry().begin(), this);
}

LinkListBase::~LinkListBase() {
  Clear();
  index_.reset();
  auto& r = Registry();
  auto it = std::find(r.begin(), r.end(), this);
  if (it != r.end()) r.erase(it);
}

void UnregisterList(LinkListBase* list) {
  auto& r = Registry();
  if (r.empty()) return;
  auto it = std::find(r.begin(), r.end(), list);
  if (it == r.end()) throw KWRExcept("LinkListBase not found");
  r.erase(it);
}

bool IsListRegistered(const LinkListBase* list) {
  const auto& r = Registry();
  return std::find(r.begin(), r.end(), list) != r.end();
}

void LinkListBase::LinkBefore(LinkListNode* before, LinkListNode* node) {
  node->next_ = before;
  node->prev_ = before->prev_;
  before->prev_->next_ = node;
  before->prev_ = node;
  ++count_;
}

LinkListNode* LinkListBase::Append(LinkListNode* node) {
  LinkBefore(&end_, node);
  return node;
}

void LinkListBase::Prepend(LinkListNode* node) { LinkBefore(end_.next_, node); }

void LinkListBase::InsertBefore(LinkListNode* position, LinkListNode* node) {
  LinkBefore(position ? position : &end_, node);
}

LinkListNode* LinkListBase::Remove(LinkListNode* node) {
  if (!node || !node->next_) return node;
  node->prev_->next_ = node->next_;
  node->next_->prev_ = node->prev_;
  node->next_ = nullptr;
  node->prev_ = nullptr;
  --count_;
  ++g_removals;
  return node;
}

void LinkListBase::Clear() {
  while (count_ > 0) delete Remove(end_.next_);
}

void LinkListBase::Save(SaveStream& stream) const {
  stream.WriteU32(count_);
  for (LinkListNode* n : *this) {
    stream.WriteU32(n->TypeCode());
    n->Save(stream);
  }
}

void LinkListBase::Restore(SaveStream& stream) {
  Clear();
  ReleaseIndexArray();
  uint32_t count = stream.ReadU32();
  // Each node needs at least its type code.
  stream.CheckAvailable(uint64_t{count} * 4);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t code = stream.ReadU32();
    std::unique_ptr<LinkListNode> node(Create(code));
    if (!node) stream.ReadFailure();
    node->SetTypeCode(code);
    pending_.Restore([&] { node->Restore(stream); });
    // The nodes of a list mostly hold as many pointers as the first: room
    // for all of them at once spares the copies of a growing store.
    if (i == 0) pending_.Reserve(count, stream.Remaining() / 4);
    Append(node.release());
  }
  index_.reset(new LinkListNode*[count_ + 1]);
  indexCount_ = count_;
  index_[0] = nullptr;
  uint32_t i = 1;
  for (LinkListNode* n : *this) {
    n->SetSaveIndex(i);
    index_[i++] = n;
  }
}

void LinkListBase::RemapAll() {
  for (LinkListNode* n : *this) RemapNode(n, [n] { n->RemapPointers(); });
}

LinkListNode* LinkListBase::GetByIndex(uint32_t index) const {
  if (index == 0) return nullptr;
  if (index_ && index <= indexCount_) return index_[index];
  ++g_badPointers;
  return nullptr;
}

void LinkListBase::Number() {
  uint32_t i = 0;
  for (LinkListNode* n : *this) n->SetSaveIndex(++i);
}

void NumberAllLists() {
  for (LinkListBase* l : Registry()) l->Number();
}

void ReleaseIndexArrays() {
  for (LinkListBase* l : Registry()) l->ReleaseIndexArray();
  g_badPointers = 0;
}

uint32_t BadPointerCount() { return g_badPointers; }
void ResetBadPointerCount() { g_badPointers = 0; }
void CountBadPointer() { ++g_badPointers; }
uint32_t ListRemovalCount() { return g_removals; }

void SavePointer(SaveStream& stream, const LinkListNode* target) { stream.WriteU32(target ? target->SaveIndex() : 0); }

uint32_t ReadSavedIndex(SaveStream& stream) { return stream.ReadU32(); }
