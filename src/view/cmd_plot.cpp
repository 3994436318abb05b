// PLOT: views made, chosen, listed, copied, renamed and deleted; hardcopies,
// exported settings; plot mode; and the item sub-commands of the current view.
#include "base/command.h"
#include "base/file.h"
#include "base/message.h"
#include "base/stream.h"
#include "devices/output_devices.h"
#include "model/zolt_value.h"
#include "view/view_manager.h"

namespace {

constexpr const char* kPlotWords =
    "create remove current print plot quit stop show close hardcopy copy destroy rename export clipboard extract ";
enum PlotWord {
  kCreate = 1,
  kRemove,
  kCurrentWord,
  kPrint,
  kPlot,
  kQuit,
  kStop,
  kShow,
  kClose,
  kHardcopy,
  kCopy,
  kDestroy,
  kRename,
  kExport,
  kClipboard,
  kExtract
};

ViewNotFoundExcept NotFound(const ViewId& id) {
  return ViewNotFoundExcept(FormatText("ViewPort %1 not found", id.ToString().c_str()));
}

}  // namespace

void ViewPortManager::UpdatePrompt(CommandType& interp) const {
  if (interp.CommandPrefix().IsEmpty() || !current_) return;
  interp.SetCommandPrefix("plot", MessageText("Plot %s>", current_->Id().ToString()));
}

ViewPort* ViewPortManager::OptionalView(CommandType& interp) {
  ViewId id;
  int at = interp.TokenIndex();
  int code = CommandType::kConvert;
  try {
    code = id.Parse(interp, &at);
  } catch (const MemExcept&) {
    throw;
  } catch (const ESCInterrupt&) {
    throw;
  } catch (const KWRExcept& e) {
    // A word the scripting level cannot take as a number (an array's name)
    // is no identity here; it is given back like any other.
    if (e.IsFatal()) throw;
  }
  if (code == CommandType::kOk) {
    if (ViewPort* view = FindView(id)) {
      interp.TokenIndex() = at;
      return view;
    }
  }
  return current_;
}

ViewPort& ViewPortManager::NamedView(CommandType& interp) {
  ViewId id;
  id.Get(interp);
  ViewPort* view = FindView(id);
  if (!view) throw NotFound(id);
  return *view;
}

void ViewPortManager::PlotCommand(CommandType& interp) {
  if (!interp.HasToken()) {
    if (!interp.CommandPrefix().IsEmpty())
      interp.SetCommandPrefix(String(), String());
    else if (current_)
      interp.SetCommandPrefix("plot", MessageText("Plot %s>", current_->Id().ToString()));
    return;
  }
  bool matched = false;
  for (;;) {
    if (current_ && current_->EditItems(interp) == CommandType::kOk) return;
    int word = 0;
    const int code = interp.MatchKeyword(kPlotWords, word);
    if (code == CommandType::kMissing) return;
    if (code != CommandType::kOk) {
      if (matched || !base_) interp.ThrowParamError(code);
      // Items alone: the base view shows them.
      std::unique_ptr<ViewPort> scratch = CreateView(0);
      if (!scratch->AddItems(interp)) interp.ThrowParamError(code);
      base_->CopySettings(*scratch, true, false);
      base_->OpenAndWait(interp);
      return;
    }
    matched = true;
    switch (word) {
      case kCreate: {
        ViewId id;
        id.Get(interp);
        CreateNamed(id);
        break;
      }
      case kRemove:
      case kDestroy: {
        ViewId id;
        id.Get(interp);
        DeleteView(id);
        break;
      }
      case kCurrentWord:
        current_ = &NamedView(interp);
        break;
      case kPrint:
        List(interp);
        break;
      case kPlot:
        break;
      case kQuit:
      case kStop:
        interp.SetCommandPrefix(String(), String());
        break;
      case kShow:
      case kClose: {
        ViewPort* view = interp.HasToken() ? &NamedView(interp) : current_;
        if (!view) break;
        if (word == kShow)
          view->OpenAndWait(interp);
        else
          view->Close();
        break;
      }
      case kHardcopy: {
        ViewPort* view = OptionalView(interp);
        if (!view) break;
        TempHardcopyView temp(*this, view);
        temp.View().Hardcopy(interp);
        break;
      }
      case kClipboard:
        throw ViewExcept("PLOT CLIPBOARD is not available in this version");
      case kCopy: {
        ViewPort& source = NamedView(interp);
        ViewId id;
        id.Get(interp);
        ViewPort* destination = FindView(id);
        if (!destination) {
          CreateNamed(id);
          destination = FindView(id);
          if (!destination) throw ViewExcept("Error creating view");
        }
        int what = 0;
        if (interp.MatchKeyword("items settings both ", what) != CommandType::kOk) what = 3;
        // A view copied onto itself keeps what it has.
        if (destination != &source) destination->CopySettings(source, what != 2, what != 1);
        break;
      }
      case kRename: {
        ViewPort& view = NamedView(interp);
        ViewId id;
        id.Get(interp);
        view.SetId(id);
        break;
      }
      case kExport:
        Export(interp);
        break;
      case kExtract:
        Extract(interp);
        break;
      default:
        break;
    }
    UpdatePrompt(interp);
  }
}

void ViewPortManager::List(CommandType& interp) {
  int word = 0;
  const int code = interp.MatchKeyword("list view items information ", word);
  if (code == CommandType::kMissing)
    word = 1;
  else if (code != CommandType::kOk)
    interp.ThrowParamError(code);
  PageGuard guard(interp);
  switch (word) {
    case 1:
      interp << "    View Listing (==> Indicated current View)\n    ------------\n";
      for (LinkListNode* node : views_) {
        auto* view = static_cast<ViewPort*>(node);
        interp << (view == current_ ? "==> " : "    ") << view->Id().ToString() << "\n";
      }
      break;
    case 2: {
      ViewPort* view = interp.HasToken() ? &NamedView(interp) : current_;
      if (view) view->List(interp);
      break;
    }
    case 3:
      if (current_) current_->ListItems(interp);
      break;
    default:
      // The terminal stands for the screen.
      interp << "\nScreen Device Information...\n----------------------------\n";
      interp << " Name: Windows 3.11 video driver\n";
      interp << "\nHardcopy Device Information...\n-----------------------------\n";
      TheOutputDevices().Hardcopy().List(interp);
      break;
  }
}

void ViewPortManager::Export(CommandType& interp) {
  int word = 0;
  ViewPort* view = current_;
  if (interp.MatchKeyword("file ", word) != CommandType::kOk) {
    view = OptionalView(interp);
    if (interp.MatchKeyword("file ", word) != CommandType::kOk) {
      if (view) view->ExportSettings(interp);
      return;
    }
  }
  if (!view) return;
  const String name = interp.GetFileName("dat");
  File file(name, File::kOut | interp.GetFileMode());
  interp.ConfirmOverwrite(file, false);
  StringOStream text;
  view->ExportSettings(text);
  file.Open();
  file.Write(text.c_str(), size_t(text.Length()));
  file.Close();
  if (file.Failed()) throw File::WriteExcept(file.Name());
}

void ViewPortManager::Extract(CommandType& interp) {
  ViewPort* view = OptionalView(interp);
  if (!view) return;
  // The scripting level answers a pointer parameter that names an array
  // with the array and the kind of an array value.
  ZoltArray* arrays[4] = {nullptr, nullptr, nullptr, nullptr};
  for (ZoltArray*& array : arrays) {
    void* pointer = nullptr;
    uint32_t kind = 0;
    if (interp.CheckPointer(&pointer, &kind) != CommandType::kOk || kind != ZoltValue::kArray || !pointer)
      throw ViewExcept("Four valid ZOLT arrays must be specified.");
    array = static_cast<ZoltArray*>(pointer);
  }
  const uint32_t count = arrays[0]->Count();
  for (ZoltArray* array : arrays)
    if (array->Count() != count) throw ViewExcept("All four ZOLT arrays must be the same length.");
  view->SetArrays(arrays, int32_t(count));
  view->SetExtracting(true);
  struct Done {
    ViewPort* view;
    ~Done() { view->SetExtracting(false); }
  } done{view};
  view->Regenerate(ViewPort::kAll, String());
}
