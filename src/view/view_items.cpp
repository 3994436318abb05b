// The item sub-commands of PLOT and the view's listing.
#include <algorithm>
#include <memory>
#include <vector>

#include "base/command.h"
#include "base/stream.h"
#include "view/view_port.h"

int ViewPort::EditItems(CommandType& interp) {
  int word = 0;
  if (const int code = interp.MatchKeyword("add set modify clear reset subtract move ", word)) return code;
  const String none;
  int result = CommandType::kOk;
  switch (word) {
    case 1:
      AddItems(interp);
      Regenerate(kAll, none);
      break;
    case 2:
      // Any number of phrases; the end of the line is success.
      while ((result = ParseKeyword(interp)) == CommandType::kOk) {
      }
      if (result == CommandType::kMissing) result = CommandType::kOk;
      break;
    case 3:
      ModifyItem(interp);
      Regenerate(kAll, none);
      break;
    case 4:
      ClearItems();
      Regenerate(kAll, none);
      break;
    case 5:
      ResetSettings();
      Regenerate(kReset, none);
      break;
    case 6:
      items_->RemoveAt(interp.GetInt());
      Regenerate(kAll, none);
      break;
    default: {
      const int32_t from = interp.GetInt();
      const int32_t before = interp.GetInt();
      items_->Move(from, before);
      Regenerate(kAll, none);
      break;
    }
  }
  if (interp.HasToken() && CommandType::IsHelp(interp.Token())) interp.ThrowParamError(CommandType::kUnrecognized);
  if (result != CommandType::kOk) interp.ThrowParamError(result);
  return CommandType::kOk;
}

bool ViewPort::AddItems(CommandType& interp) {
  std::vector<std::unique_ptr<PlotItem>> added;
  // The farthest word any item type read: where the line stops making sense.
  int farthest = interp.TokenIndex();
  const int32_t capacity = PlotItemPrototypeCapacity();
  while (interp.HasToken()) {
    PlotItem* made = nullptr;
    int stop = interp.TokenIndex();
    for (int32_t id = 0; id < capacity && !made; ++id) {
      PlotItemPrototype* prototype = PlotItemPrototypeAt(id);
      if (!prototype) continue;
      int position = interp.TokenIndex();
      made = prototype->CreateFromCommand(interp, position, *this);
      if (made)
        stop = position;
      else
        farthest = std::max(farthest, position);
    }
    if (!made) break;
    std::unique_ptr<PlotItem> item(made);
    interp.TokenIndex() = stop;
    item->ParseKeywords(interp);
    added.push_back(std::move(item));
  }
  farthest = std::max(farthest, interp.TokenIndex());
  if (interp.HasToken(&farthest)) interp.ThrowParamError(CommandType::kUnrecognized, &farthest);
  for (auto& item : added) items_->Adopt(std::move(item));
  return !added.empty();
}

void ViewPort::ModifyItem(CommandType& interp) {
  items_->Modify(interp);
  if (interp.HasToken()) interp.ThrowParamError(CommandType::kUnrecognized);
}

void ViewPort::List(TextOStream& out) {
  std::unique_ptr<PageGuard> guard;
  if (auto* console = dynamic_cast<ConsoleStream*>(&out)) guard = std::make_unique<PageGuard>(*console);
  out << " View " << id_.ToString() << "\n ----------------------\n";
  if (threeD_)
    Camera::List(out);
  else
    ViewExtent::List(out);
  out << "           Color: " << OnOffText(colour_) << "\n";
  out << "      Regenerate: " << OnOffText(autoRegenerate_) << "\n";
  out << "  Caption Window: " << OnOffText(captionOn_) << "\n";
  out << "    Caption Size: " << int(captionSize_ * 100.0) << "%\n";
  out << "Caption Position: " << (captionLeft_ ? "Left" : "Right") << "\n";
  out << "Foreground Color: " << foreground_.Name() << "\n";
  out << "Background Color: " << (autoBackground_ ? String("Automatic") : background_.Name()) << "\n";
  const std::ios::fmtflags flags = out.flags();
  const std::streamsize precision = out.precision();
  out.setf(std::ios::fixed, std::ios::floatfield);
  out.precision(2);
  const double size[2] = {windowRect_[2] - windowRect_[0], windowRect_[3] - windowRect_[1]};
  out << "     Window Size: ";
  PrintPair(out, size);
  out << "\n Window Position: ";
  PrintPair(out, windowRect_);
  out << "\n";
  out.flags(flags);
  out.precision(precision);
  out << "Cutting Plane Settings:\n";
  plane_.List(out, 10);
}
