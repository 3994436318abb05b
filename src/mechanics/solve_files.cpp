// SOLVE's scratch and failure-mode files: the whole model as SAVE writes it
// and RESTORE reads it, without their messages, which would break up the
// status lines of the factor-of-safety trials.
#include "base/app.h"
#include "base/command.h"
#include "base/file.h"
#include "base/linklist.h"
#include "base/savefile.h"
#include "base/system.h"
#include "mechanics/solve.h"
#include "model/model_interpreter.h"
#include "platform/files.h"

void SaveModelFile(ModelInterpreter& interp, const String& name) {
  ResetRestoreVersions();
  NumberAllLists();
  // Written beside the file under a name of its own and renamed when whole:
  // a file of that name is replaced only by a complete one.
  String folder;
  SplitPath(name, nullptr, &folder, nullptr);
  std::string temp;
  const int fd = MakeUniqueFile(folder.IsEmpty() ? std::string(".") : folder.str(), ".terrax-", temp);
  if (fd < 0) throw File::OpenExcept(name);
  RawClose(fd);
  File file(String(temp), File::kOut | File::kBinary | File::kTrunc);
  try {
    file.Open();
    interp.SaveState(file);
    file.Flush();
    file.Close();
    if (file.Failed() || !RenamePath(temp.c_str(), name.c_str())) throw File::WriteExcept(name);
  } catch (...) {
    // A file that was not written whole is not left behind.
    file.ClearError();
    file.Close();
    RemovePath(temp.c_str());
    throw;
  }
}

ScratchFile::ScratchFile(const char* prefix) {
  std::string path;
  const int fd = MakeUniqueFile(".", prefix, path);
  if (fd < 0) throw File::OpenExcept(String(prefix));
  RawClose(fd);
  name_ = String(path.c_str() + 2);  // without the "./"
}

ScratchFile::~ScratchFile() {
  if (!kept_) RemovePath(name_.c_str());
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
