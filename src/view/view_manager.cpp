#include "view/view_manager.h"

#include <typeinfo>

#include "base/message.h"
#include "base/savestream.h"
#include "devices/output_devices.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/step_participant.h"

namespace {

const char* const kTemporaryName = "Olvena Temporary Hardcopy View";

// Whether the movie device of the movie type records a movie now.
bool MovieRecording() {
  OutputDevices& devices = TheOutputDevices();
  return devices.Movie() == OutputDevices::kDcxMovie && devices.Bitmap(BitmapDevice::kDcx).Recording();
}

}  // namespace

LinkListNode* ViewPortList::Create(uint32_t typeCode) { return manager_.CreateView(typeCode).release(); }

ViewPortManager::ViewPortManager() : views_(*this) {}

ViewPortManager::~ViewPortManager() { views_.Clear(); }

std::unique_ptr<ViewPort> ViewPortManager::CreateView(uint32_t typeCode) {
  return std::make_unique<ViewPort>(typeCode);
}

ViewPort* ViewPortManager::FindView(const ViewId& id) const {
  for (LinkListNode* node : views_) {
    auto* view = static_cast<ViewPort*>(node);
    if (view->Id().Equals(id)) return view;
  }
  return nullptr;
}

ViewPort* ViewPortManager::ViewAt(uint32_t index) const {
  for (LinkListNode* node : views_)
    if (index-- == 0) return static_cast<ViewPort*>(node);
  return nullptr;
}

ViewPort& ViewPortManager::CreateNamed(const ViewId& id) {
  if (FindView(id)) throw ViewExcept(MessageText("ViewPort %s already exists", id.ToString()));
  std::unique_ptr<ViewPort> view = CreateView(0);
  view->SetId(id);
  ViewPort* made = view.release();
  views_.Append(made);
  current_ = made;
  return *made;
}

void ViewPortManager::DeleteView(const ViewId& id) {
  ViewPort* view = FindView(id);
  if (!view) throw ViewNotFoundExcept(FormatText("ViewPort %1 not found", id.ToString().c_str()));
  if (view == base_) throw ViewExcept("Cannot delete view Base/0");
  Delete(view);
}

void ViewPortManager::Delete(ViewPort* view) {
  if (view == current_) current_ = base_;
  views_.Remove(view);
  delete view;
}

void ViewPortManager::Reset() {
  current_ = base_ = nullptr;
  views_.Clear();
  base_ = &CreateNamed(ViewId("Base", 0));
  // A movie being recorded ends with the model it showed.
  OutputDevices& devices = TheOutputDevices();
  if (devices.Movie() != OutputDevices::kNoMovie) base_->MovieEnd();
  devices.SetMovieType(OutputDevices::kNoMovie);
}

void ViewPortManager::NotifyAll(uint32_t code, const String& text) {
  if (!animation_) return;
  for (LinkListNode* node : views_) static_cast<ViewPort*>(node)->Update(int32_t(code), text);
}

void ViewPortManager::ForEachView(int32_t value) {
  for (LinkListNode* node : views_) static_cast<ViewPort*>(node)->NotifyItems(value);
}

bool ViewPortManager::RefreshCurrent() {
  if (!current_) return false;
  const uint32_t interval = current_->MovieQuery();
  return MovieRecording() && interval != 0;
}

void ViewPortManager::HardcopyCurrent(uint32_t step) {
  if (!current_ || !MovieRecording()) return;
  const uint32_t interval = current_->MovieQuery();
  if (interval == 0 || step % interval != 0) return;
  TempHardcopyView temp(*this);
  temp.View().MovieSnap();
}

// ---------------------------------------------------------------------------
// The save section

void ViewPortManager::Save(SaveStream& s) const {
  const_cast<ViewPortList&>(views_).Number();
  views_.Save(s);
  s.WriteU32(current_ ? current_->SaveIndex() : 0);
  s.WriteU32(base_ ? base_->SaveIndex() : 0);
}

void ViewPortManager::Restore(SaveStream& s) {
  current_ = base_ = nullptr;
  views_.Restore(s);
  savedCurrent_ = s.ReadU32();
  savedBase_ = s.ReadU32();
  if (savedCurrent_ > views_.Count() || savedBase_ > views_.Count()) s.ReadFailure();
}

void ViewPortManager::Relink() {
  views_.RemapAll();
  base_ = static_cast<ViewPort*>(views_.GetByIndex(savedBase_));
  current_ = static_cast<ViewPort*>(views_.GetByIndex(savedCurrent_));
  views_.ReleaseIndexArray();
  savedBase_ = savedCurrent_ = 0;
  // Files saved before there were views have none: the base view is made anew.
  if (!base_) base_ = FindView(ViewId("Base", 0));
  if (!base_) {
    ViewPort* current = current_;
    base_ = &CreateNamed(ViewId("Base", 0));
    if (current) current_ = current;
  }
  if (!current_) current_ = base_;
}

// ---------------------------------------------------------------------------

TempHardcopyView::TempHardcopyView(ViewPortManager& manager, ViewPort* source)
    : manager_(manager), previous_(manager.Current()) {
  if (!source) source = previous_;
  ViewId id;
  id.SetName(kTemporaryName);
  view_ = &manager.CreateNamed(id);
  if (source) view_->CopySettings(*source, true, true);
}

TempHardcopyView::~TempHardcopyView() {
  manager_.SetCurrent(previous_);
  ViewId id;
  id.SetName(kTemporaryName);
  try {
    manager_.DeleteView(id);
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------

ModelViewManager::ModelViewManager() { Reset(); }

std::unique_ptr<ViewPort> ModelViewManager::CreateView(uint32_t typeCode) {
  return std::make_unique<ModelView>(typeCode);
}

void ModelViewManager::HardcopyCurrentStep() { HardcopyCurrent(uint32_t(Settings().totalCycles)); }

ModelViewManager& TheViewManager() { return CurrentModel().Part<ModelViewManager>(); }

namespace {

// Movie frames at the step interval, after each step's table line.
class MovieFrames : public StepParticipant {
 public:
  void AfterStepShown() override {
    if (MovieRecording()) TheViewManager().HardcopyCurrentStep();
  }
};

void PlotWord(ModelInterpreter& interp) { TheViewManager().PlotCommand(interp); }
void MovieWord(ModelInterpreter& interp) { TheViewManager().MovieCommand(interp); }

void SaveViews(SaveStream& s) { TheViewManager().Save(s); }
void RestoreViews(SaveStream& s) { TheViewManager().Restore(s); }
void RelinkViews() { TheViewManager().Relink(); }
void ClearViews() { TheViewManager().Reset(); }

}  // namespace

void InstallViews() {
  InstallModelCommand("plot", &PlotWord);
  InstallModelCommand("movie", &MovieWord);
  Model& model = CurrentModel();
  // A model that was given a link of its own already keeps it.
  if (typeid(model.Views()) == typeid(ViewLink)) model.SetViews(&model.Part<ModelViewManager>());
  SaveSections& sections = model.Sections();
  if (!sections.Find("views")->save) sections.Install("views", &SaveViews, &RestoreViews, &RelinkViews, &ClearViews);
  bool installed = false;
  model.Participants().ForEach([&](StepParticipant& p) { installed |= dynamic_cast<MovieFrames*>(&p) != nullptr; });
  if (!installed) model.Participants().Add(std::make_unique<MovieFrames>());
}
