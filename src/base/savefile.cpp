// SAVE and RESTORE of the general level: the save-file header, the job
// title, the customer lines and the macros, then whatever the levels above
// append.
#include "base/savefile.h"

#include <string>

#include "base/app.h"
#include "base/command.h"
#include "base/file.h"
#include "base/linklist.h"
#include "base/memory.h"
#include "base/message.h"
#include "base/savestream.h"
#include "base/system.h"
#include "platform/files.h"

RestoreVersionGuard::~RestoreVersionGuard() { ResetRestoreVersions(); }

void WriteSaveHeader(SaveStream& stream) {
  const ProgramIdentity& id = Identity();
  stream.WriteI32(id.productCode);
  stream.WriteI32(id.formatVersion);
  stream.WriteI32(id.programVersion);
  stream.WriteI32(id.betaNumber);
  stream.WriteI32(id.releaseNumber);
  stream.WriteI32(id.identityWord);
  stream.WriteF32(id.versionNumber);
}

void ReadSaveHeader(SaveStream& stream, SaveHeader& h) {
  const ProgramIdentity& id = Identity();
  h = SaveHeader();
  h.productCode = stream.ReadI32();
  if (h.productCode != id.productCode) throw KWRExcept(MessageText("Not %s save file", id.upperName));
  h.formatVersion = stream.ReadI32();
  h.programVersion = stream.ReadI32();
  CurrentRestoreVersions().format = h.formatVersion;
  CurrentRestoreVersions().program = h.programVersion;
  if (h.programVersion < 130)
    throw KWRExcept("Restore Aborted: Trying to restore Watcom save file version: Alpha" +
                    IntToString(h.programVersion) + " with a GCC build; it needs Alpha" + "(>= 130) ");
  if (h.formatVersion > 51) {
    h.betaNumber = stream.ReadI32();
    h.releaseNumber = stream.ReadI32();
  }
  if (h.formatVersion > 53) h.identityWord = stream.ReadI32();
  h.versionNumber = stream.ReadF32();
  if (h.formatVersion > id.formatVersion || h.programVersion > id.programVersion)
    throw KWRExcept("Save file created with a later version");
}

void CommandType::SaveState(SaveStream& stream) {
  WriteSaveHeader(stream);
  stream.WriteI32(static_cast<int32_t>(System::Time()));
  SaveString(stream, JobTitle());
  SaveString(stream, CustomerLine1());
  SaveString(stream, CustomerLine2());
  if (Macros()) {
    Macros()->Save(stream);
  } else {
    stream.WriteI32(0);
  }
  if (Script()) Script()->SaveState(*this, stream);
}

void CommandType::RestoreState(SaveStream& stream, bool quiet) {
  SaveHeader h;
  ReadSaveHeader(stream, h);
  if (!quiet) {
    *this << "Restoring from " << Identity().upperName << " Version: R" << h.releaseNumber << " B" << h.betaNumber
          << " A" << h.programVersion << "\n";
  }
  int64_t saved = static_cast<int64_t>(stream.ReadI32());
  String title, cust1, cust2;
  RestoreString(stream, title);
  RestoreString(stream, cust1);
  RestoreString(stream, cust2);
  if (!quiet) {
    // The calendar text brings its own new line, so an empty line follows.
    *this << MessageText("File Created on %s", System::CalendarText(saved)) << "\n";
    *this << MessageText(" By: %s", cust1) << "\n";
    *this << MessageText("     %s", cust2) << "\n";
    *this << MessageText(" Heading: %s", title) << "\n";
  }
  JobTitle() = title;
  if (!quiet) {
    *this << "Restoring file... please wait";
    flush();
  }
  if (h.formatVersion > 38) {
    if (Macros()) {
      Macros()->Restore(stream);
    } else {
      MacroTable ignored;
      ignored.Restore(stream);
    }
  }
  if (Script()) Script()->RestoreState(*this, stream);
}

namespace {
String Decimal(uint64_t v) { return String(std::to_string(v)); }
}  // namespace

void CommandType::ClearForRestore() {
  BeginModelDiscard();
  if (App()) {
    App()->Reset();
  } else {
    if (Macros()) Macros()->Clear();
    JobTitle() = String();
  }
  EmptyModelMemory();
}

void CommandType::Save(const String& name, bool quiet) {
  ResetRestoreVersions();
  File file(name, File::kOut | File::kBinary);
  const uint64_t available = System::FreeDiskSpace(name);
  NumberAllLists();
  CountFile count;
  SaveState(count);
  if (count.Count() > available)
    throw File::FileExcept(MessageText("Insufficient disk space (%s required, %s available)", Decimal(count.Count()),
                                       Decimal(available)));
  file.SetMode(file.Mode() | GetFileMode());
  ConfirmOverwrite(file, quiet);
  const uint32_t mode = file.Mode();
  if ((mode & File::kCreate) && file.Exists()) throw File::OpenExcept(name);
  if (!quiet) {
    *this << "Saving file... please wait";
    flush();
  }
  if (mode & File::kApp) {
    file.Open();
    SaveState(file);
    file.Flush();
    file.Close();
  } else {
    // The file is written under a new name beside the old one and takes its
    // place only when complete, so a failed SAVE leaves the old file whole.
    const String target = ExpandFileName(name);
    String dir;
    SplitPath(target, nullptr, &dir, nullptr);
    std::string temp;
    int fd = MakeUniqueFile(dir.IsEmpty() ? std::string(".") : dir.str(), "KWR", temp);
    if (fd < 0) throw File::OpenExcept(name);
    RawClose(fd);
    MatchPermissions(temp.c_str(), target.c_str());
    File out(String(temp), File::kOut | File::kBinary | File::kTrunc);
    try {
      try {
        out.Open();
        SaveState(out);
        out.Flush();
        out.Close();
        if (out.Failed() || !RenamePath(temp.c_str(), target.c_str())) throw File::WriteExcept(name);
      } catch (const File::FileExcept&) {
        throw File::WriteExcept(name);
      }
    } catch (...) {
      out.ClearError();
      out.Close();
      RemovePath(temp.c_str());
      if (!quiet) *this << "\r" << String(' ', 26) << "\r";
      throw;
    }
  }
  *this << "\r" << String(' ', 26) << "\r";
}

void CommandType::Restore(const String& name) {
  if (Script()) Script()->BeforeRestore(*this);
  RestoreVersionGuard versions;
  File file(name, File::kIn | File::kBinary);
  file.Open();
  // A file that is not a save file of this program, or of a later version,
  // is refused before anything in memory is touched.
  SaveHeader header;
  ReadSaveHeader(file, header);
  file.Seek(0);
  ClearForRestore();
  try {
    RestoreState(file, false);
    file.Close();
    *this << "\r" << String(' ', 29) << "\r";
    AfterRestore();
    if (uint32_t bad = BadPointerCount()) {
      *this << FormatText("+++ Warning!  %1 instances of invalid pointer data detected", UIntToString(bad).c_str())
            << "\n";
      *this << "+++ Warning! You may have pointers to deleted objects in ZOLT" << "\n";
    }
    ReleaseIndexArrays();
  } catch (...) {
    // No half-restored model survives a failure.
    *this << "\r" << String(' ', 29) << "\r";
    ReleaseIndexArrays();
    try {
      ClearForRestore();
    } catch (...) {
    }
    throw;
  }
}
