// The contact law of an interface node: the force-displacement relation
// between the node and the zone face it touches. Stiffnesses are per unit
// area; the node multiplies the stresses the law gives by its area.
//
// InterfaceModelBase keeps the contact state word and the model's type
// code; InterfaceModel is the Coulomb slip law with tensile and shear bond
// strength, dilation and an optional bonded slip.
#pragma once

#include <cstdint>
#include <memory>

#include "base/string.h"

class CommandType;
class InterfaceNode;
class SaveStream;

class InterfaceModelBase {
 public:
  // Contact state bits.
  enum State : uint32_t {
    kInContact = 0x20,
    kSlipPast = 0x80,  // failed in shear in an earlier step
    kSlipNow = 0x100,  // slipping in this step
  };

  explicit InterfaceModelBase(int32_t typeCode) : typeCode_(typeCode) {}
  virtual ~InterfaceModelBase() = default;
  InterfaceModelBase(const InterfaceModelBase&) = delete;
  InterfaceModelBase& operator=(const InterfaceModelBase&) = delete;

  int32_t TypeCode() const { return typeCode_; }

  virtual String Name() const = 0;
  // A new model: the mean of this one and `other` when both are of one type
  // (bslip and state from `other`), else a copy of this one.
  virtual std::unique_ptr<InterfaceModelBase> Clone(const InterfaceModelBase* other) const = 0;
  // Normal penetration `un` (positive in contact), shear velocity `vs`:
  // sets the owner's normal and shear stress; true while in contact.
  virtual bool ForceDisplacement(double un, const double vs[3], bool effective) = 0;
  virtual double StiffnessMagnitude() const = 0;
  virtual int NumberOfProperties() const = 0;
  virtual String PropertyText(int index) const = 0;
  // The property named by the next word of the command (consumed), or -1.
  virtual int PropertyIndex(CommandType& interp) const = 0;
  virtual void SetProperty(int index, const String& text) = 0;
  virtual String GetPropertyText(int index) const = 0;
  // The property of a word of the property command (a whole word), or -1.
  virtual int PropertyOfWord(const String&) const { return -1; }
  uint32_t GetState() const { return state_; }
  void SetState(uint32_t state) { state_ = state; }
  // Out of contact and not slipping.
  virtual void ResetState() = 0;
  virtual String StateText() const = 0;

  void SetOwner(InterfaceNode* owner) { owner_ = owner; }
  InterfaceNode* Owner() const { return owner_; }

  // The state word and the type code.
  virtual void Save(SaveStream& stream) const;
  virtual void Restore(SaveStream& stream);

 protected:
  uint32_t state_ = 0;
  int32_t typeCode_;
  InterfaceNode* owner_ = nullptr;
};

class InterfaceModel : public InterfaceModelBase {
 public:
  static constexpr int32_t kTypeCode = 1;
  enum Property { kNormalStiffness, kShearStiffness, kCohesion, kFriction, kTension, kDilation, kBondRatio, kBondSlip };

  InterfaceModel() : InterfaceModelBase(kTypeCode) {}

  String Name() const override { return String("Default"); }
  std::unique_ptr<InterfaceModelBase> Clone(const InterfaceModelBase* other) const override;
  bool ForceDisplacement(double un, const double vs[3], bool effective) override;
  double StiffnessMagnitude() const override;
  int NumberOfProperties() const override { return 8; }
  String PropertyText(int index) const override;
  int PropertyIndex(CommandType& interp) const override;
  void SetProperty(int index, const String& text) override;
  String GetPropertyText(int index) const override;
  int PropertyOfWord(const String& word) const override;
  void ResetState() override { state_ &= ~(kInContact | kSlipNow); }
  String StateText() const override;

  // State, type, the seven reals and the bslip byte.
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  // Friction and dilation are kept as the tangents of their angles.
  double kn = 0.0;
  double ks = 0.0;
  double cohesion = 0.0;
  double friction = 0.0;
  double tension = 0.0;  // never negative; 0 for good once the bond breaks
  double dilation = 0.0;
  double sbratio = 100.0;  // shear bond strength = sbratio x tension
  uint8_t bslip = 0;       // a bonded contact may slip

 private:
  // Slip: the shear stress scaled back to the strength, and dilation.
  void Slip(double trial[3], double magnitude, double strength, double* dilationStress);
};
