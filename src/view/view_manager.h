// The views of the model: one list with a current view and the base view
// "Base"/0, which always exists and cannot be deleted. The manager creates,
// finds and deletes views by identity, hands the calculation's notifications
// to every view, records movie frames at step intervals, saves the list with
// the model, and runs the PLOT and MOVIE commands.
#pragma once

#include <cstdint>
#include <memory>

#include "base/linklist.h"
#include "model/links.h"
#include "view/model_view.h"
#include "view/view_id.h"

class CommandType;
class SaveStream;
class ViewPortManager;

// The list of views; on restore each view is made by the manager.
class ViewPortList : public LinkListBase {
 public:
  explicit ViewPortList(ViewPortManager& manager) : manager_(manager) {}
  LinkListNode* Create(uint32_t typeCode) override;

 private:
  ViewPortManager& manager_;
};

class ViewPortManager {
 public:
  ViewPortManager();
  virtual ~ViewPortManager();
  ViewPortManager(const ViewPortManager&) = delete;
  ViewPortManager& operator=(const ViewPortManager&) = delete;

  // A new view of that type code, not yet in the list.
  virtual std::unique_ptr<ViewPort> CreateView(uint32_t typeCode);
  // PLOT, PLOT PRINT and MOVIE, with the interpreter after the command word.
  virtual void PlotCommand(CommandType& interp);
  virtual void List(CommandType& interp);
  virtual void MovieCommand(CommandType& interp);
  // Whether a movie is being recorded at a step interval.
  virtual bool RefreshCurrent();
  // A movie frame of the current view when the step is a multiple of the interval.
  virtual void HardcopyCurrent(uint32_t step);
  // NEW: every view deleted, "Base"/0 made and current, any movie ended.
  virtual void Reset();
  // The calculation's notification for every view, unless animation is off.
  virtual void NotifyAll(uint32_t code, const String& text);
  // The list, then the save indices of the current and the base view.
  virtual void Save(SaveStream& stream) const;
  virtual void Restore(SaveStream& stream);
  virtual void Relink();

  // The value for every plot item of every view, whatever animation is.
  void ForEachView(int32_t value);
  ViewPort* FindView(const ViewId& id) const;
  ViewPort* ViewAt(uint32_t index) const;
  // Made, appended and current; "ViewPort %s already exists" for a duplicate.
  ViewPort& CreateNamed(const ViewId& id);
  // "ViewPort %1 not found", "Cannot delete view Base/0".
  void DeleteView(const ViewId& id);

  ViewPort* Current() const { return current_; }
  void SetCurrent(ViewPort* view) { current_ = view; }
  ViewPort* Base() const { return base_; }
  uint32_t Count() const { return views_.Count(); }
  bool AnimationOn() const { return animation_ != 0; }
  void SetAnimationOn(bool on) { animation_ = on ? 1 : 0; }

 private:
  void Delete(ViewPort* view);
  // The prompt of plot mode, when it is on.
  void UpdatePrompt(CommandType& interp) const;
  // The view of an optional identity: a word that names no view is given back.
  ViewPort* OptionalView(CommandType& interp);
  ViewPort& NamedView(CommandType& interp);
  void Export(CommandType& interp);
  void Extract(CommandType& interp);

  ViewPortList views_;
  ViewPort* current_ = nullptr;
  ViewPort* base_ = nullptr;
  uint8_t animation_ = 1;
  // Saved indices between Restore and Relink.
  uint32_t savedCurrent_ = 0;
  uint32_t savedBase_ = 0;
};

// While it lives, a temporary view with the items and settings of the source
// (else of the current view) is current; it then goes and the view that was
// current is current again.
class TempHardcopyView {
 public:
  explicit TempHardcopyView(ViewPortManager& manager, ViewPort* source = nullptr);
  ~TempHardcopyView();
  TempHardcopyView(const TempHardcopyView&) = delete;
  TempHardcopyView& operator=(const TempHardcopyView&) = delete;
  ViewPort& View() const { return *view_; }
  ViewPort* Previous() const { return previous_; }

 private:
  ViewPortManager& manager_;
  ViewPort* previous_;
  ViewPort* view_;
};

// The program's manager: its views are model views, and it is the model's
// link to the views.
class ModelViewManager : public ViewPortManager, public ViewLink {
 public:
  ModelViewManager();
  std::unique_ptr<ViewPort> CreateView(uint32_t typeCode) override;

  void NotifyAll(uint32_t code, const String& text) override { ViewPortManager::NotifyAll(code, text); }
  void ForEachView(int value) override { ViewPortManager::ForEachView(value); }
  bool Animation() const override { return AnimationOn(); }
  void SetAnimation(bool on) override { SetAnimationOn(on); }
  // A movie frame at the calculation's step counter, when one is due.
  void HardcopyCurrentStep();
};

// The manager of the current model.
ModelViewManager& TheViewManager();

// Puts PLOT, MOVIE, the views' save section and the movie frames of the
// step in the hands of the current model's view manager.
void InstallViews();
