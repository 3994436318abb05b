#include "model/hyst_damping.h"

#include <algorithm>
#include <cmath>

#include "base/savestream.h"

namespace {

// Records popped off a stack wait here for the next push.
void* g_freeRecords = nullptr;
int g_freeCount = 0;

constexpr size_t kRecordBytes = 12 * 8 + 3 * 8 + 4;

double Dot(const double a[6], const double b[6]) {
  double s = 0.0;
  for (int i = 0; i < 6; ++i) s += a[i] * b[i];
  return s;
}

void Copy6(double to[6], const double from[6]) { std::copy(from, from + 6, to); }

void Write6(SaveStream& s, const double v[6]) {
  for (int i = 0; i < 6; ++i) s.WriteF64(v[i]);
}

void Read6(SaveStream& s, double v[6]) {
  for (int i = 0; i < 6; ++i) v[i] = s.ReadF64();
}

bool KnownCurve(int32_t curve) {
  return curve == HystDamping::kDefault || curve == HystDamping::kSig3 || curve == HystDamping::kSig4 ||
         curve == HystDamping::kHardin;
}

// x / (1 + x)² without overflow for a large x.
double SigmoidSlope(double x) {
  if (x > 1.0) return 1.0 / ((1.0 + x) * (1.0 + 1.0 / x));
  return x / ((1.0 + x) * (1.0 + x));
}

}  // namespace

// ---------------------------------------------------------------------------
// The pool of reversal records

HystDamping::Reversal* HystDamping::TakeRecord() {
  if (g_freeRecords) {
    Reversal* r = static_cast<Reversal*>(g_freeRecords);
    g_freeRecords = r->next;
    --g_freeCount;
    return r;
  }
  return static_cast<Reversal*>(MemAlloc(sizeof(Reversal)));
}

void HystDamping::RecycleRecord(Reversal* record) {
  record->next = static_cast<Reversal*>(g_freeRecords);
  g_freeRecords = record;
  ++g_freeCount;
}

void HystDamping::FreePool() {
  while (g_freeRecords) {
    Reversal* r = static_cast<Reversal*>(g_freeRecords);
    g_freeRecords = r->next;
    MemFree(r);
  }
  g_freeCount = 0;
}

int HystDamping::PoolCount() { return g_freeCount; }

int HystDamping::Depth(const Reversal* top) {
  int n = 0;
  for (; top; top = top->next) ++n;
  return n;
}

void HystDamping::FreeChain(Reversal*& top) {
  while (top) {
    Reversal* next = top->next;
    MemFree(top);
    top = next;
  }
}

// Appends copies of the records in the same order.
void HystDamping::CopyChain(const Reversal* from, Reversal*& to) {
  Reversal** tail = &to;
  while (*tail) tail = &(*tail)->next;
  for (; from; from = from->next) {
    Reversal* r = TakeRecord();
    *r = *from;
    r->next = nullptr;
    *tail = r;
    tail = &r->next;
  }
}

// ---------------------------------------------------------------------------
// Copying and parameters

HystDamping::HystDamping(const HystDamping& other) : ModelObject() { *this = other; }

HystDamping& HystDamping::operator=(const HystDamping& other) {
  if (this == &other) return *this;
  Clear();
  CopyChain(other.rising_, rising_);
  CopyChain(other.falling_, falling_);
  Copy6(strain_, other.strain_);
  Copy6(direction_, other.direction_);
  Copy6(reversalStrain_, other.reversalStrain_);
  reach_ = other.reach_;
  projection_ = other.projection_;
  factor_ = other.factor_;
  sign_ = other.sign_;
  base_ = other.base_;
  path_ = other.path_;
  reversals_ = other.reversals_;
  curve_ = other.curve_;
  log10e_ = other.log10e_;
  std::copy(other.p_, other.p_ + 4, p_);
  return *this;
}

void HystDamping::Clear() {
  FreeChain(rising_);
  FreeChain(falling_);
}

void HystDamping::SetParameters(int32_t curve, const double p[4]) {
  curve_ = curve;
  std::copy(p, p + 4, p_);
}

// ---------------------------------------------------------------------------
// The strain path

void HystDamping::Push(Reversal*& stack, double path) {
  Reversal* r = TakeRecord();
  Copy6(r->strain, reversalStrain_);
  Copy6(r->direction, direction_);
  r->path = path;
  r->base = base_;
  r->reach = reach_;
  r->reversals = reversals_;
  r->next = stack;
  stack = r;
}

void HystDamping::Pop(Reversal*& stack) {
  Reversal* r = stack;
  stack = r->next;
  Copy6(reversalStrain_, r->strain);
  Copy6(direction_, r->direction);
  base_ = r->base;
  reach_ = r->reach;
  reversals_ = r->reversals;
  RecycleRecord(r);
}

double HystDamping::Update(const double de[6]) {
  for (int i = 0; i < 6; ++i)
    if (!std::isfinite(de[i])) return factor_;
  static const double kRoot6 = std::sqrt(6.0);
  strain_[0] += de[3];
  strain_[1] += de[5];
  strain_[2] += de[4];
  strain_[3] += (de[0] - de[1]) / kRoot6;
  strain_[4] += (de[1] - de[2]) / kRoot6;
  strain_[5] += (de[2] - de[0]) / kRoot6;

  double d[6];
  for (int i = 0; i < 6; ++i) d[i] = strain_[i] - reversalStrain_[i];
  const double norm = std::sqrt(Dot(d, d));
  // A path gone out of range cannot be followed; it must not fill the stacks.
  if (!std::isfinite(norm)) return factor_;
  if (reversals_ == 0) {
    if (norm == 0.0) return 1.0;
    for (int i = 0; i < 6; ++i) direction_[i] = d[i] / norm;
  }
  projection_ = Dot(d, direction_);
  double a = std::fabs(projection_);
  path_ = sign_ * a + base_;

  if (a >= reach_) {
    reach_ = a;
    Reversal*& same = sign_ > 0 ? rising_ : falling_;
    Reversal*& other = sign_ > 0 ? falling_ : rising_;
    if (same && (sign_ > 0 ? path_ >= same->path : path_ <= same->path)) {
      // The loop is closed: the path goes on along the branch that the
      // reversal had ended, and the reversal that began this one is dropped.
      Pop(same);
      if (other) {
        Reversal* dropped = other;
        other = dropped->next;
        RecycleRecord(dropped);
      }
      for (int i = 0; i < 6; ++i) d[i] = strain_[i] - reversalStrain_[i];
      a = std::fabs(Dot(d, direction_));
      path_ = sign_ * a + base_;
    }
  } else if (norm != 0.0) {
    Push(sign_ > 0 ? rising_ : falling_, path_);
    reversals_ += 1;
    sign_ = -sign_;
    for (int i = 0; i < 6; ++i) direction_[i] = d[i] / norm;
    reach_ = 0.0;
    Copy6(reversalStrain_, strain_);
    base_ = path_;
  }

  double f = Tangent(std::max(a, 1e-20));
  if (curve_ == kHardin) {
    if (!std::isfinite(f)) f = factor_;
  } else if (std::isnan(f)) {
    f = factor_;
  } else {
    f = std::clamp(f, 0.0, 1.0);
  }
  factor_ = f;
  return f;
}

// The tangent modulus factor of the curve at the strain distance gamma; NaN
// when the parameters make the curve meaningless there.
double HystDamping::Tangent(double gamma) const {
  const double k = reversals_ == 0 ? 100.0 : 50.0;
  const double L = std::log10(k * gamma);
  const double D = log10e_;
  switch (curve_) {
    case kDefault: {
      const double span = p_[1] - p_[0];
      double t = span != 0.0 ? (p_[1] - L) / span : (L < p_[1] ? 1.0 : 0.0);
      if (!(t > 0.0)) t = 0.0;
      if (t > 1.0) t = 1.0;
      double f = t * t * (3.0 - 2.0 * t);
      // The slope term vanishes where the curve is flat.
      if (t > 0.0 && t < 1.0) f -= 6.0 * D * t * (1.0 - t) / span;
      return f;
    }
    case kSig3:
    case kSig4: {
      const double a = p_[0], b = p_[1], x0 = p_[2];
      const double y0 = curve_ == kSig4 ? p_[3] : 0.0;
      const double x = std::exp(-(L - x0) / b);
      const double slope = SigmoidSlope(x);
      const double secant = y0 + a / (1.0 + x);
      return slope == 0.0 ? secant : secant + D * a * slope / b;
    }
    case kHardin: {
      const double r = 1.0 / (1.0 + k * gamma / p_[0]);
      return r * r;
    }
    default:
      return std::nan("");
  }
}

// ---------------------------------------------------------------------------
// Save form

void HystDamping::SaveChain(SaveStream& s, const Reversal* top) {
  s.WriteI32(Depth(top));
  for (; top; top = top->next) {
    Write6(s, top->strain);
    Write6(s, top->direction);
    s.WriteF64(top->path);
    s.WriteF64(top->base);
    s.WriteF64(top->reach);
    s.WriteI32(top->reversals);
  }
}

void HystDamping::RestoreChain(SaveStream& s, Reversal*& top) {
  const int32_t count = s.ReadI32();
  if (count < 0) s.ReadFailure();
  s.CheckAvailable(static_cast<uint64_t>(count) * kRecordBytes);
  Reversal** tail = &top;
  for (int32_t n = 0; n < count; ++n) {
    Reversal* r = TakeRecord();
    r->next = nullptr;
    *tail = r;
    tail = &r->next;
    Read6(s, r->strain);
    Read6(s, r->direction);
    r->path = s.ReadF64();
    r->base = s.ReadF64();
    r->reach = s.ReadF64();
    r->reversals = s.ReadI32();
  }
}

void HystDamping::Save(SaveStream& s) const {
  Write6(s, strain_);
  Write6(s, direction_);
  Write6(s, reversalStrain_);
  s.WriteF64(reach_);
  s.WriteF64(projection_);
  s.WriteF64(factor_);
  s.WriteF64(base_);
  s.WriteF64(path_);
  for (double p : p_) s.WriteF64(p);
  s.WriteF64(log10e_);
  s.WriteI32(curve_);
  s.WriteI32(reversals_);
  s.WriteI32(sign_);
  SaveChain(s, rising_);
  SaveChain(s, falling_);
}

void HystDamping::Restore(SaveStream& s) {
  Clear();
  Read6(s, strain_);
  Read6(s, direction_);
  Read6(s, reversalStrain_);
  reach_ = s.ReadF64();
  projection_ = s.ReadF64();
  factor_ = s.ReadF64();
  base_ = s.ReadF64();
  path_ = s.ReadF64();
  for (double& p : p_) p = s.ReadF64();
  log10e_ = s.ReadF64();
  curve_ = s.ReadI32();
  reversals_ = s.ReadI32();
  sign_ = s.ReadI32();
  if (!KnownCurve(curve_) || (sign_ != 1 && sign_ != -1) || reversals_ < 0 || !std::isfinite(factor_)) {
    curve_ = kDefault;
    sign_ = 1;
    reversals_ = 0;
    factor_ = 1.0;
    s.ReadFailure();
  }
  RestoreChain(s, rising_);
  RestoreChain(s, falling_);
}
