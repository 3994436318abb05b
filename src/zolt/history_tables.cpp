#include "zolt/history_tables.h"

#include <cstdint>
#include <memory>
#include <string>

#include "base/app.h"
#include "base/command.h"
#include "base/message.h"
#include "cmodels/constitutive_model.h"
#include "model/grid_services.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/save_sections.h"
#include "model/services.h"
#include "model/step_participant.h"
#include "model/summary.h"
#include "zolt/history.h"
#include "zolt/table.h"
#include "zolt/zolt_intrinsics.h"
#include "zolt/zolt_link.h"

namespace {

// Samples every history at the cycle's history interval.
class HistorySampler : public StepParticipant {
 public:
  void Sample(uint32_t step) override { Histories().Sample(step); }
};

// The constitutive models' tables: positions in the table list.
class ModelTables : public ConTableList {
 public:
  int FindTable(int number, int* position) override {
    *position = Tables().IndexOf(static_cast<uint32_t>(number));
    return 0;
  }
  int ValueAt(int position, double x, double* y) override {
    *y = Tables().InterpolateAt(position, x);
    return 0;
  }
  int SlopeAt(int position, double x, double* slope) override {
    *slope = Tables().SlopeAt(position, x);
    return 0;
  }
};

// The table intrinsics' view of the table list. It keeps nothing of its own:
// every call finds the table again, so NEW and RESTORE, which replace the
// list, leave nothing stale behind.
class IntrinsicTables : public ZoltTables {
 public:
  static constexpr int64_t kMostAppended = 1000000;

  void* Find(int32_t number, const String* name, bool create) override {
    Table2List& list = Tables();
    if (name) {
      if (create) return &list.GetOrCreateByName(*name);
      if (Table* t = list.LookupName(*name)) return t;
      throw ZoltExcept(MessageText("Table '%s' not found", *name));
    }
    if (number >= 0) {
      const uint32_t id = static_cast<uint32_t>(number);
      if (create) return &list.GetOrCreateById(id);
      if (Table* t = list.LookupId(id)) return t;
    }
    throw ZoltExcept(MessageText("Table %s not found", String(std::to_string(number))));
  }
  int32_t Size(void* table) override { return static_cast<int32_t>(Of(table).Count()); }
  double Interpolate(void* table, double x) override { return Of(table).Interpolate(x); }
  void AddPoint(void* table, double x, double y) override { Of(table).Insert(x, y); }
  void GetEntry(void* table, int32_t index, double& x, double& y) override {
    const Table::Point p = Of(table).Entry(index);  // (0, 0) outside the entries
    x = p.x;
    y = p.y;
  }
  void SetEntry(void* table, int32_t index, double x, double y) override {
    Table& t = Of(table);
    if (index < 0 || index > static_cast<int64_t>(t.Count()) + kMostAppended)
      throw ZoltExcept("Table index out of range");
    t.SetAt(index, x, y);
  }

 private:
  static Table& Of(void* table) { return *static_cast<Table*>(table); }
};

void HistoryCommand(ModelInterpreter& interp) { Histories().RunCommand(interp); }
void PrintHistories(ModelInterpreter& interp) { Histories().PrintList(interp); }
void TableWord(ModelInterpreter& interp) { TableCommand(interp); }
void PrintTables(ModelInterpreter& interp) { PrintTableCommand(interp); }

void SaveTables(SaveStream& s) { Tables().Save(s); }
void RestoreTables(SaveStream& s) { Tables().Restore(s); }
void ClearTables() { Tables().Clear(); }

void SaveHistories(SaveStream& s) { Histories().Save(s); }
void RestoreHistories(SaveStream& s) { Histories().Restore(s, CurrentRestoreVersions().format); }
void RemapHistories() { Histories().RemapPointers(); }
void ClearHistories() {
  Histories().Clear();
  Settings().displayHistory = nullptr;
}

}  // namespace

void InstallHistoriesAndTables() {
  InstallModelCommand("history", &HistoryCommand);
  InstallModelCommand("table", &TableWord);
  InstallModelPrint("history", &PrintHistories);
  InstallModelPrint("table", &PrintTables);
  Model& model = CurrentModel();
  // A section that a model was given an owner for already keeps it.
  SaveSections& sections = model.Sections();
  if (!sections.Find("tables")->save) sections.Install("tables", &SaveTables, &RestoreTables, nullptr, &ClearTables);
  if (!sections.Find("histories")->save)
    sections.Install("histories", &SaveHistories, &RestoreHistories, &RemapHistories, &ClearHistories);
  bool sampling = false;
  model.Participants().ForEach([&](StepParticipant& p) { sampling |= dynamic_cast<HistorySampler*>(&p) != nullptr; });
  if (!sampling) model.Participants().Add(std::make_unique<HistorySampler>());
  static ModelTables tables;
  ConTableList::Install(&tables);
  static IntrinsicTables intrinsicTables;
  SetZoltTables(&intrinsicTables);
  Histories().SetDefaultCallback(&UpdateAllViews);
  GridHooks().objectDeleted = [](const void* object) { Histories().ObjectDeleted(object); };
  SummaryNameHooks().historyName = [](const History* h) { return h ? h->name : String(); };
}

bool HistoryDisplayName(String* name) {
  const History* h = Settings().displayHistory;
  if (!h) return false;
  *name = h->name;
  return true;
}

bool HistoryDisplayValue(DisplayValue* shown) {
  History* h = Settings().displayHistory;
  if (!h) return false;
  shown->kind = DisplayValue::kReal;
  shown->real = h->active ? h->Measure() : 0.0;
  return true;
}

// The scripting level's answers about tables and histories.
bool ZoltScriptLink::TableExists(int32_t number) { return Tables().LookupId(static_cast<uint32_t>(number)) != nullptr; }

bool ZoltScriptLink::TableNumber(const String& name, int32_t* number) {
  const Table* t = Tables().LookupName(name);
  if (!t) return false;
  *number = static_cast<int32_t>(t->Id());
  return true;
}

double ZoltScriptLink::TableValue(int32_t number, double x) {
  return Tables().FindById(static_cast<uint32_t>(number))->Interpolate(x);
}

History* ZoltScriptLink::FindHistory(int32_t id) {
  return id > 0 ? Histories().FindById(static_cast<uint32_t>(id)) : nullptr;
}

History* ZoltScriptLink::HistoryByIndex(uint32_t index) { return Histories().GetByIndex(index); }

uint32_t ZoltScriptLink::HistoryIndex(const History* history) { return Histories().IndexOf(history); }

void ZoltScriptLink::SetHistoryDefaultCallback(void (*callback)()) { Histories().SetDefaultCallback(callback); }
