// MOVIE start, snap and finish on the movie device that SET MOVIE chose.
#include "base/command.h"
#include "devices/output_devices.h"
#include "view/view_manager.h"

void ViewPortManager::MovieCommand(CommandType& interp) {
  if (TheOutputDevices().Movie() == OutputDevices::kNoMovie)
    throw ViewExcept("Movie type must be specified with set movie command first.");
  if (!current_) return;
  for (;;) {
    int word = 0;
    const int code = interp.MatchKeyword("start finish snap ", word);
    if (code == CommandType::kMissing) return;
    if (code != CommandType::kOk) {
      current_->MovieEnd();
      throw ViewExcept("Unrecognized movie command.");
    }
    switch (word) {
      case 1:
        current_->MovieBegin(interp);
        break;
      case 2:
        current_->MovieEnd();
        break;
      default: {
        TempHardcopyView temp(*this);
        temp.View().MovieSnap();
        break;
      }
    }
  }
}
