#include "zolt/zolt_link.h"

#include <memory>

#include "model/model.h"
#include "model/model_settings.h"
#include "model/summary.h"
#include "zolt/history_tables.h"
#include "zolt/zolt_interpreter.h"

ZoltSymbol* ZoltScriptLink::SymbolAtToken(CommandType& interp) { return zolt_.NamedSymbol(interp); }

ZoltSymbol* ZoltScriptLink::SymbolByIndex(uint32_t index) {
  const LinkListBase& list = zolt_.State().symbols.List();
  if (index == 0 || index > list.Count()) return nullptr;
  return static_cast<ZoltSymbol*>(list.GetByIndex(index));
}

bool ZoltScriptLink::HasSymbols() { return zolt_.State().symbols.List().Count() > 0; }

uint32_t ZoltScriptLink::SymbolIndex(const ZoltSymbol* symbol) { return symbol ? symbol->SaveIndex() : 0; }

String ZoltScriptLink::SymbolName(const ZoltSymbol* symbol) { return symbol ? symbol->name : String(); }

double ZoltScriptLink::SymbolValue(ZoltSymbol* symbol) {
  if (!symbol) return 1.0;
  zolt_.Evaluate(interp_, *symbol);
  return symbol->value.GetFloat();
}

void ZoltScriptLink::ClearHalt() { zolt_.ClearHalt(); }

void ZoltScriptLink::SetHalt(CommandType& interp) { zolt_.SetHalt(interp); }

int32_t ZoltScriptLink::HaltValue(CommandType& interp) { return zolt_.HaltValue(interp); }

bool ZoltScriptLink::DisplayName(String* name) {
  if (HistoryDisplayName(name)) return true;
  const ZoltSymbol* symbol = Settings().displaySymbol;
  if (!symbol) return false;
  *name = symbol->name;
  return true;
}

DisplayValue ZoltScriptLink::DisplayValueNow(CommandType& interp) {
  DisplayValue shown;
  if (HistoryDisplayValue(&shown)) return shown;
  ZoltSymbol* symbol = Settings().displaySymbol;
  if (!symbol) return shown;
  zolt_.Evaluate(interp, *symbol);
  const ZoltValue& v = symbol->value;
  switch (v.TypeTag()) {
    case ZoltValue::kInteger:
      shown.kind = DisplayValue::kInteger;
      shown.integer = v.GetInt(kZoltIntMin, kZoltIntMax);
      break;
    case ZoltValue::kFloat:
      shown.kind = DisplayValue::kReal;
      shown.real = v.Float();
      break;
    case ZoltValue::kString:
      shown.kind = DisplayValue::kText;
      shown.text = v.Str();
      break;
    default:
      break;  // shown as dashes
  }
  return shown;
}

void ZoltCallParticipant::Callback(int point) { zolt_.ZoltCall(interp_, point); }

bool ZoltCallParticipant::HasCallback(int point) const { return zolt_.HasCalls(point); }

namespace {
String NameOfSymbol(const ZoltSymbol* symbol) { return symbol ? symbol->name : String(); }
}  // namespace

void ZoltInterpreter::Install(CommandType& interp, Model& model) {
  Uninstall();
  model_ = &model;
  interp_ = &interp;
  link_ = std::make_unique<ZoltScriptLink>(*this, interp);
  model.SetScript(link_.get());
  participant_ = &model.Participants().Add(std::make_unique<ZoltCallParticipant>(*this, interp));
  SummaryNameHooks().symbolName = &NameOfSymbol;
}

void ZoltInterpreter::Uninstall() {
  if (!model_) return;
  model_->SetScript(nullptr);
  model_->Participants().Remove(participant_);
  SummaryNameHooks().symbolName = nullptr;
  model_ = nullptr;
  interp_ = nullptr;
  participant_ = nullptr;
  link_.reset();
}

ZoltInterpreter::~ZoltInterpreter() { Uninstall(); }
