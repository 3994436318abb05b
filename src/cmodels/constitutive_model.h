// The constitutive-model library: the interface every model implements, the
// table of model prototypes, the save object that carries a model's data
// through the zone record, and the table look-up that models may call.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "base/memory.h"
#include "cmodels/model_state.h"

class SaveStream;
class ModelSaveObject;

class ConstitutiveModel {
 public:
  // Type codes of the built-in models; null and Mohr-Coulomb are fixed by the program.
  enum TypeCode : uint32_t { kNullType = 1, kElasticType = 2, kMohrType = 3, kViscousType = 4 };

  virtual ~ConstitutiveModel();
  ConstitutiveModel& operator=(const ConstitutiveModel&) = delete;

  // Every zone holds a model of its own: models take their memory from the
  // small-object pool, without a system call and without a header.
  static void* operator new(size_t bytes) { return SmallObjectAlloc(bytes); }
  // Null when there is no memory.
  static void* operator new(size_t bytes, const std::nothrow_t&) noexcept;
  static void operator delete(void* block, size_t bytes) noexcept { SmallObjectFree(block, bytes); }

  uint32_t Type() const { return type_; }
  bool IsNull() const { return type_ == kNullType; }

  // The name that MODEL matches, and the title of the listings.
  virtual const char* Name() const = 0;
  virtual const char* Title() const = 0;
  // Null-terminated lists: the property names (index 1 is the first) and the
  // state names (the first belongs to state bit 1, the next to bit 2, ...).
  virtual const char* const* Properties() const = 0;
  virtual const char* const* States() const = 0;
  // Property by 1-based index; 0 outside the list.
  virtual double GetPropertyByIndex(int index) const = 0;
  // A new model of the same type with the same properties; null when memory fails.
  virtual std::unique_ptr<ConstitutiveModel> Clone() const = 0;
  // The modulus of the time-step estimate and of the normal wave: K + 4G/3.
  virtual double StiffnessModulus() const = 0;
  // The shear modulus of the shear wave.
  virtual double ShearModulus() const = 0;
  virtual int Version() const = 0;
  // Sets a property by 1-based index; false outside the list.
  virtual bool SetPropertyByIndex(int index, double value) = 0;
  // Takes the property values of a model of the same type; false for another type.
  virtual bool Copy(const ConstitutiveModel& source) = 0;
  // Before cycling, with the zone-average stress; null or an error text.
  virtual const char* Initialize(uint32_t dimensions, ModelState& state) = 0;
  // One tetrahedron's stress update; null or an error text.
  virtual const char* UpdateStress(uint32_t dimensions, ModelState& state) = 0;
  // Every tetrahedron of a zone in one call; null or the first error text
  // (tetrahedra before it keep their update). Unless a model does better,
  // each tetrahedron goes through UpdateStress with the record filled as for
  // a call of its own.
  virtual const char* UpdateZoneStress(uint32_t dimensions, ZoneStressBlock& block);
  // Writes the model's data into a saving object, or reads it from a
  // restoring one; null or an error text.
  virtual const char* SaveRestore(ModelSaveObject& object) = 0;
  // Whether the model takes hysteretic damping (INITIAL damping hysteretic).
  virtual bool SupportsHystDamp() const;
  // Whether the zone's geometry must be recomputed during cycling.
  virtual bool AlwaysUpdateGeom() const;

  // 1-based index of the property of that name; 0 when the model has none.
  int GetPropertyIndex(const char* name) const;
  // Sets the property of that name; false when the model has none.
  bool SetPropertyValue(const char* name, double value);
  int NumberOfProperties() const;
  int NumberOfStates() const;
  // The name of one state bit; "" for a bit the model does not use.
  const char* GetState(uint32_t bit) const;

  // The prototypes, in library order.
  static int NumberAvailable();
  static const ConstitutiveModel* FindByIndex(int index);
  // The first prototype whose name begins with the typed name; null for none.
  static const ConstitutiveModel* FindByMatch(const char* name);
  static const ConstitutiveModel* FindByType(uint32_t type);
  // Loads a model library at run time: null on success, else a message text.
  static const char* Load(const char* fileName);

 protected:
  explicit ConstitutiveModel(uint32_t type) : type_(type) {}
  ConstitutiveModel(const ConstitutiveModel&) = default;

 private:
  uint32_t type_;
};

// Carries a model's data through the zone record: the type code, a second
// word, and arrays of doubles and 32-bit integers whose meaning belongs to the model.
class ModelSaveObject {
 public:
  explicit ModelSaveObject(bool save) : save_(save) {}
  bool Saving() const { return save_; }

  uint32_t type = 0;
  uint32_t word = 0;
  std::vector<double> doubles;
  std::vector<uint32_t> ints;

  // Sizes the arrays (zeroed) before they are read.
  void Initialize(uint32_t doubleCount, uint32_t intCount);
  uint32_t DoubleCount() const { return static_cast<uint32_t>(doubles.size()); }
  uint32_t IntCount() const { return static_cast<uint32_t>(ints.size()); }

  // Type, word, both counts and both arrays as the zone record stores them.
  void Write(SaveStream& stream) const;
  // Reads what Write wrote; counts larger than the bytes left are a read error.
  void Read(SaveStream& stream);

 private:
  bool save_;
};

// The tables a model may consult. The program installs its own table store
// behind this interface at start-up; each query answers 0 and writes its result.
class ConTableList {
 public:
  virtual ~ConTableList();
  // The position of the table with the given number.
  virtual int FindTable(int number, int* position) = 0;
  // y at x of the table at a position.
  virtual int ValueAt(int position, double x, double* y) = 0;
  // The slope at x of the table at a position.
  virtual int SlopeAt(int position, double x, double* slope) = 0;

  // Rounds half away from the truncation: 2.5 gives 3, -2.5 gives -2, -2.6 gives -3.
  static int32_t Round(double value);

  // The program's table list; null until one is installed.
  static ConTableList* Instance();
  static void Install(ConTableList* list);
};
