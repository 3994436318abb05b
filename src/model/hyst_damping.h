// Hysteretic damping: a zone's shear stiffness follows the cyclic strain
// history it has seen. A modulus-reduction curve gives a factor between 0 and
// 1 from the strain distance since the last path reversal; unloading and
// reloading follow the doubled curve, and a path that runs back past an
// earlier reversal closes that loop and continues on the older branch.
#pragma once

#include <cstdint>

#include "base/memory.h"

class SaveStream;

class HystDamping : public ModelObject {
 public:
  // Modulus-reduction curves (the damping keywords "default sig3 sig4 hardin").
  enum Curve : int32_t { kDefault = 1, kSig3 = 3, kSig4 = 4, kHardin = 5 };

  HystDamping() = default;
  // Deep copies: both reversal stacks record by record.
  HystDamping(const HystDamping& other);
  HystDamping& operator=(const HystDamping& other);
  ~HystDamping() { Clear(); }

  void SetParameters(int32_t curve, const double p[4]);
  // One step of the zone: the strain increment (three normal components,
  // then three shear components) in, the tangent modulus factor out. The
  // factor is never NaN: parameters that make the curve meaningless give the
  // last factor again.
  double Update(const double increment[6]);
  // Frees the records of both stacks.
  void Clear();

  void Save(SaveStream& stream) const;
  // Reads the record; an unknown curve, a sign other than +1 or -1 or a
  // negative count makes the file unreadable.
  void Restore(SaveStream& stream);

  // Frees the recycled reversal records (NEW and program end).
  static void FreePool();
  // Records waiting on the free list.
  static int PoolCount();

  int32_t CurveCode() const { return curve_; }
  const double* Parameters() const { return p_; }
  int32_t Reversals() const { return reversals_; }
  int32_t Sign() const { return sign_; }
  double Factor() const { return factor_; }
  double Reach() const { return reach_; }
  double PathLength() const { return path_; }
  const double* Strain() const { return strain_; }
  int RisingDepth() const { return Depth(rising_); }
  int FallingDepth() const { return Depth(falling_); }

 private:
  // One remembered reversal: the state of the branch it ended.
  struct Reversal {
    Reversal* next;
    double strain[6];
    double direction[6];
    double path;
    double base;
    double reach;
    int32_t reversals;
  };

  static Reversal* TakeRecord();
  static void RecycleRecord(Reversal* record);
  static int Depth(const Reversal* top);
  static void FreeChain(Reversal*& top);
  static void CopyChain(const Reversal* from, Reversal*& to);
  static void SaveChain(SaveStream& stream, const Reversal* top);
  static void RestoreChain(SaveStream& stream, Reversal*& top);

  void Push(Reversal*& stack, double path);
  // Takes the top of the stack back into the state.
  void Pop(Reversal*& stack);
  double Tangent(double gamma) const;

  Reversal* rising_ = nullptr;   // pushed while the path ran forward
  Reversal* falling_ = nullptr;  // pushed while the path ran backward
  int32_t curve_ = kDefault;
  int32_t reversals_ = 0;
  int32_t sign_ = 1;
  double reach_ = 0.0;
  double projection_ = 0.0;
  double factor_ = 1.0;
  double base_ = 0.0;
  double path_ = 0.0;
  double strain_[6] = {};
  double direction_[6] = {};
  double reversalStrain_[6] = {};
  double log10e_ = 0.4342944819032518;
  double p_[4] = {-3.0, 0.5, 0.0, 0.0};
};
