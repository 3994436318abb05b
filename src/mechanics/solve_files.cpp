// SOLVE's scratch and failure-mode files: the whole model as SAVE writes it
// and RESTORE reads it, without their messages, which would break up the
// status lines of the factor-of-safety trials.
#include "base/command.h"
#include "base/file.h"
#include "base/linklist.h"
#include "base/app.h"
#include "base/savefile.h"
#include "base/system.h"
#include "mechanics/solve.h"
#include "model/model_interpreter.h"
#include "model/services.h"

void SaveModelFile(ModelInterpreter& interp, const String& name) {
  System::Remove(name);
  ResetRestoreVersions();
  NumberAllLists();
  File file(name, File::kOut | File::kBinary | File::kTrunc);
  file.Open();
  try {
    interp.SaveState(file);
    file.Flush();
    file.Close();
    if (file.Failed()) throw File::WriteExcept(name);
  } catch (...) {
    // A file that was not written whole is not left behind.
    file.ClearError();
    file.Close();
    System::Remove(name);
    throw;
  }
}

void RestoreModelFile(ModelInterpreter& interp, const String& name) {
  RestoreVersionGuard versions;
  File file(name, File::kIn | File::kBinary);
  file.Open();
  SaveHeader header;
  ReadSaveHeader(file, header);
  file.Seek(0);
  interp.ClearForRestore();
  try {
    interp.RestoreState(file, true);
    file.Close();
    interp.AfterRestore(true);
    ReleaseIndexArrays();
  } catch (...) {
    // No half-restored model survives a failure.
    ReleaseIndexArrays();
    try {
      interp.ClearForRestore();
    } catch (...) {
    }
    throw;
  }
}
