// The intrinsic functions of the scripting language: sets of functions by
// code range, each with its names, argument counts and assignable flags and
// a table of handlers indexed by code. The interpreter routes every request
// through the dispatch; subsystems above register their own sets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "base/string.h"
#include "model/zolt_value.h"
#include "zolt/zolt_executor.h"

class CommandType;
class ZoltInterpreter;

// One set of intrinsics. Codes of a set are its table index plus its base.
class ZoltIntrinsicSet {
 public:
  virtual ~ZoltIntrinsicSet() = default;
  // The answer to one request: find by name, describe, assign, evaluate.
  virtual bool Call(ZoltInterpreter& zolt, ZoltIntrinsicCall& call) = 0;
};

// The ranges: 0-999 core, 1000-1999 model-wide, 2000-2999 zones, 3000-3999
// grid-points, 4000-4999 interfaces, 5000-5999 structural elements. A range
// without a set fails every request; codes of 6000 and above always fail.
constexpr int kZoltIntrinsicRanges = 6;
// Registers (or, with null, removes) the set of a range 0-5; the set stays
// its owner's.
void SetZoltIntrinsicSet(int range, ZoltIntrinsicSet* set);
ZoltIntrinsicSet* GetZoltIntrinsicSet(int range);
// The request routed by code (modes 1-3) or asked of every set in the order
// core, zones, grid-points, interfaces, structural elements, model-wide
// (mode 0).
bool DispatchZoltIntrinsic(ZoltInterpreter& zolt, ZoltIntrinsicCall& call);

// A table of the scripting level's sets: names resolved through a hash at
// compile time, handlers by code at run time.
struct ZoltIntrinsicEntry {
  const char* name;
  uint8_t arguments;
  uint8_t readOnly;
  const char* letters;  // null: every argument a value
};

// The tables of the table intrinsics as the table list offers them. The
// table list fills the hook with SetZoltTables; until it does, every table
// is missing ("Table 'name' not found", "Table n not found") and none can be
// made ("Table intrinsics not valid").
class ZoltTables {
 public:
  virtual ~ZoltTables() = default;
  // The table with that number (name null) or that name. A missing one is
  // made when `create` is set (with that number, or with that name and the
  // next free number); otherwise the table list's not-found error is raised.
  virtual void* Find(int32_t number, const String* name, bool create) = 0;
  virtual int32_t Size(void* table) = 0;
  // y interpolated at x.
  virtual double Interpolate(void* table, double x) = 0;
  // Adds the point, or sets y where x is already an entry.
  virtual void AddPoint(void* table, double x, double y) = 0;
  // Entry `index` (0-based); (0, 0) outside the table.
  virtual void GetEntry(void* table, int32_t index, double& x, double& y) = 0;
  // Stores entry `index`; an index up to 10^6 past the end extends the
  // table, further is "Table index out of range".
  virtual void SetEntry(void* table, int32_t index, double x, double y) = 0;
};
void SetZoltTables(ZoltTables* tables);
ZoltTables& GetZoltTables();

// The drawing intrinsics: operation 0-15 with the argument array; the
// script-drawing item fills the hook. Without it every call answers 1.
using ZoltPlotHook = int32_t (*)(int operation, ZoltValue* arguments);
void SetZoltPlotHook(ZoltPlotHook hook);

// The owners of the pointer kinds 102-104 (interfaces) and 105-107
// (structural elements) turn a restored pointer's saved index back into its
// object: true when they did.
using ZoltRemapHook = bool (*)(ZoltValue& value, uint32_t index);
void SetZoltInterfaceRemap(ZoltRemapHook hook);
void SetZoltStructureRemap(ZoltRemapHook hook);
bool RemapZoltModelPointer(ZoltValue& value, uint32_t index);

// The file intrinsics' one file: open, close, read, write (mode 0-3) with
// the argument array; the status they give.
int32_t ZoltFileIo(int mode, ZoltValue* arguments);
// Closes the file (NEW).
void ZoltCloseFile();
// The array an "a" argument refers to, with at least `count` elements
// (ZOLT error 54 otherwise).
ZoltArray& ZoltArrayArgument(const ZoltValue& v, int32_t count);
// The socket intrinsics sopen, sclose, sread, swrite (mode 0-3) with the
// argument array; the status they give. Messages go to the interpreter's
// stream, and ESC stops a wait for the peer.
int32_t ZoltSocketIo(ZoltInterpreter& zolt, int mode, ZoltValue* arguments);
// parse (pre false) and pre_parse (pre true).
void ZoltParse(const ZoltValue* arguments, ZoltValue& value, bool pre);

// Reads a line for "in" (the command window whatever source runs) and
// classifies it: an integer, a float ("." or "e"), else the text.
void ZoltClassifyInput(const String& line, ZoltValue& value);

// The sets of this level, registered by the interpreter.
ZoltIntrinsicSet& ZoltCoreIntrinsics();
ZoltIntrinsicSet& ZoltModelIntrinsics();
// The interfaces' set (range 4) and the remapping of pointers to interfaces,
// their nodes and elements, registered at start-up.
ZoltIntrinsicSet& ZoltInterfaceIntrinsics();
void InstallZoltInterfaceIntrinsics();

// The entry of a set's table with that name under the program's comparison
// (-1: none), through a hash of the folded names that the first call builds.
int FindZoltIntrinsicName(const ZoltIntrinsicEntry* entries, int count, const char* name,
                          std::unordered_map<std::string, int>& index);
// Pointer kinds 102-107 through the hooks of their owners.
bool ZoltRemapOwnerPointer(ZoltValue& value, uint32_t index);
