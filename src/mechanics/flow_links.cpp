#include "mechanics/flow_links.h"

#include <memory>

#include "mechanics/attach_condition.h"
#include "mechanics/interface.h"
#include "model/model.h"
#include "model/step_participant.h"

namespace {

class FlowLinksParticipant : public StepParticipant {
 public:
  FlowLinksParticipant(AttachList& ties, InterfaceList& interfaces) : ties_(ties), interfaces_(interfaces) {}
  void PrepareFluid() override {
    ties_.PrepareFluid();
    interfaces_.PrepareFluid();
  }
  void PrepareThermal() override {
    ties_.PrepareThermal();
    interfaces_.PrepareThermal();
  }
  bool LinksFluid() const override { return ties_.AnyFluid() || interfaces_.LinksFluid(); }
  bool LinksThermal() const override { return ties_.AnyThermal() || interfaces_.LinksThermal(); }
  void FluidPass(int pass) override {
    if (pass == 1) {
      ties_.FluidPass1();
      interfaces_.FluidPass1();
    } else {
      ties_.FluidPass2();
      interfaces_.FluidPass2();
    }
  }
  void ThermalPass(int pass) override {
    if (pass == 1) {
      ties_.ThermalPass1();
      interfaces_.ThermalPass1();
    } else {
      ties_.ThermalPass2();
      interfaces_.ThermalPass2();
    }
  }
  void PrepareDynamic() override { ties_.DynamicCheck(); }

 private:
  AttachList& ties_;
  InterfaceList& interfaces_;
};

// Whether the model has its participant.
struct FlowLinksInstalled {
  bool done = false;
};

}  // namespace

void InstallFlowLinks() {
  Model& model = CurrentModel();
  FlowLinksInstalled& installed = model.Part<FlowLinksInstalled>();
  if (installed.done) return;
  installed.done = true;
  model.Participants().Add(
      std::make_unique<FlowLinksParticipant>(model.Part<AttachList>(), model.Part<InterfaceList>()));
}
