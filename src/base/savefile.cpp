// SAVE and RESTORE of the general level: the save-file header, the job
// title, the customer lines and the macros, then whatever the levels above
// append.
#include "base/savefile.h"

#include <algorithm>
#include <cstring>
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

namespace {

const char kTrailerMarker[8] = {'T', 'R', 'X', 'C', 'R', 'C', '3', '2'};

struct CrcTable {
  uint32_t entry[256];
  CrcTable() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entry[i] = c;
    }
  }
};

// A save stream that passes every byte on to the file and keeps their
// count and checksum.
class ChecksumWriter : public SaveStream {
 public:
  explicit ChecksumWriter(File& file) : file_(file) {}
  void Write(const void* data, size_t count) override {
    file_.Write(data, count);
    crc_ = Crc32(data, count, crc_);
    count_ += count;
  }
  void Read(void*, size_t) override { ReadFailure(); }
  uint64_t Remaining() const override { return 0; }
  uint32_t Crc() const { return crc_; }
  uint64_t Count() const { return count_; }

 private:
  File& file_;
  uint32_t crc_ = 0;
  uint64_t count_ = 0;
};

}  // namespace

uint32_t Crc32(const void* data, size_t count, uint32_t crc) {
  static const CrcTable table;
  const unsigned char* p = static_cast<const unsigned char*>(data);
  crc = ~crc;
  for (size_t i = 0; i < count; ++i) crc = table.entry[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void WriteSaveTrailer(File& file, uint64_t contentBytes, uint32_t crc) {
  file.Write(kTrailerMarker, sizeof kTrailerMarker);
  file.WriteU64(contentBytes);
  file.WriteU32(crc);
}

void CheckSaveTrailer(File& file) {
  const int64_t size = file.Size();
  if (size < static_cast<int64_t>(kSaveTrailerBytes)) return;
  const uint64_t content = static_cast<uint64_t>(size) - kSaveTrailerBytes;
  file.Seek(static_cast<int64_t>(content));
  char marker[sizeof kTrailerMarker];
  file.Read(marker, sizeof marker);
  const uint64_t counted = file.ReadU64();
  const uint32_t crc = file.ReadU32();
  file.Seek(0);
  // Files written before the trailer end with a section; so does a file
  // whose trailer was cut away, and the sections' own checks apply to it.
  if (std::memcmp(marker, kTrailerMarker, sizeof marker) != 0) return;
  if (counted != content) file.ReadFailure();
  uint32_t actual = 0;
  char block[1 << 16];
  for (uint64_t left = content; left > 0;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, sizeof block));
    file.Read(block, n);
    actual = Crc32(block, n, actual);
    left -= n;
  }
  file.Seek(0);
  if (actual != crc) file.ReadFailure();
}

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
    throw File::FileExcept(
        MessageText("Insufficient disk space (%s required, %s available)", Decimal(count.Count()), Decimal(available)));
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
        ChecksumWriter counted(out);
        SaveState(counted);
        WriteSaveTrailer(out, counted.Count(), counted.Crc());
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
  CheckSaveTrailer(file);
  ClearForRestore();
  try {
    RestoreState(file, false);
    file.Close();
    *this << "\r" << String(' ', 29) << "\r";
    AfterRestore();
    if (uint32_t bad = BadPointerCount()) {
      *this << FormatText("+++ Warning!  %1 instances of invalid pointer data detected", UIntToString(bad).c_str())
            << "\n";
      *this << "+++ Warning! You may have pointers to deleted objects in ZOLT"
            << "\n";
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
