// Stand-ins for the subsystems above the grid model, for tests of the
// model, the cycle and SOLVE: a scripting link, a view link and a step
// participant whose answers a test sets as functions. Each installs itself
// on the current model for its life.
#pragma once

#include <functional>

#include "model/links.h"
#include "model/model.h"
#include "model/step_participant.h"

class FakeScript : public ScriptLink {
 public:
  FakeScript() { CurrentModel().SetScript(this); }
  ~FakeScript() override { CurrentModel().SetScript(nullptr); }

  std::function<ZoltSymbol*(CommandType&)> symbolAtToken;
  std::function<ZoltSymbol*(uint32_t)> symbolByIndex;
  std::function<uint32_t(const ZoltSymbol*)> symbolIndex;
  std::function<String(const ZoltSymbol*)> symbolName;
  std::function<double(ZoltSymbol*)> symbolValue;
  std::function<void()> clearHalt;
  std::function<void(CommandType&)> setHalt;
  std::function<int32_t(CommandType&)> haltValue;
  std::function<bool(int32_t)> tableExists;
  std::function<double(int32_t, double)> tableValue;
  std::function<String()> displayName;
  std::function<DisplayValue(CommandType&)> displayValue;

  ZoltSymbol* SymbolAtToken(CommandType& i) override { return symbolAtToken ? symbolAtToken(i) : nullptr; }
  ZoltSymbol* SymbolByIndex(uint32_t n) override { return symbolByIndex ? symbolByIndex(n) : nullptr; }
  uint32_t SymbolIndex(const ZoltSymbol* s) override { return symbolIndex ? symbolIndex(s) : 0; }
  String SymbolName(const ZoltSymbol* s) override { return symbolName ? symbolName(s) : String(); }
  double SymbolValue(ZoltSymbol* s) override { return symbolValue ? symbolValue(s) : ScriptLink::SymbolValue(s); }
  void ClearHalt() override {
    if (clearHalt) clearHalt();
  }
  void SetHalt(CommandType& i) override { setHalt ? setHalt(i) : ScriptLink::SetHalt(i); }
  int32_t HaltValue(CommandType& i) override { return haltValue ? haltValue(i) : 0; }
  bool TableExists(int32_t n) override { return tableExists && tableExists(n); }
  double TableValue(int32_t n, double x) override {
    return tableValue ? tableValue(n, x) : ScriptLink::TableValue(n, x);
  }
  bool DisplayName(String* name) override {
    if (!displayName) return false;
    *name = displayName();
    return true;
  }
  DisplayValue DisplayValueNow(CommandType& i) override { return displayValue ? displayValue(i) : DisplayValue(); }
};

class FakeViews : public ViewLink {
 public:
  FakeViews() { CurrentModel().SetViews(this); }
  ~FakeViews() override { CurrentModel().SetViews(nullptr); }

  std::function<void(uint32_t, const String&)> notify;
  void NotifyAll(uint32_t code, const String& text) override {
    if (notify) notify(code, text);
  }
};

// A participant whose phases call the functions a test sets; it leaves the
// model's participants when it goes.
class FakeParticipant : public StepParticipant {
 public:
  std::function<void(int)> callback;
  std::function<void(uint32_t)> sample;
  std::function<void()> afterZonePass, tieForces, afterStepShown;

  void Callback(int point) override {
    if (callback) callback(point);
  }
  void Sample(uint32_t step) override {
    if (sample) sample(step);
  }
  void AfterZonePass() override {
    if (afterZonePass) afterZonePass();
  }
  void TieForces() override {
    if (tieForces) tieForces();
  }
  void AfterStepShown() override {
    if (afterStepShown) afterStepShown();
  }
};

// Registers a fake participant on the current model for the life of the scope.
class ParticipantScope {
 public:
  ParticipantScope()
      : participant_(
            static_cast<FakeParticipant&>(CurrentModel().Participants().Add(std::make_unique<FakeParticipant>()))) {}
  ~ParticipantScope() { CurrentModel().Participants().Remove(&participant_); }
  FakeParticipant* operator->() { return &participant_; }
  FakeParticipant& operator*() { return participant_; }

 private:
  FakeParticipant& participant_;
};
