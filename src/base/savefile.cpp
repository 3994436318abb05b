// SAVE and RESTORE of the general level: the save-file header, the job
// title, the customer lines and the macros, then whatever the levels above
// append.
#include "base/savefile.h"

#include <algorithm>
#include <cstring>
#include <memory>
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

// A save stream that gathers the bytes in large blocks and passes each block
// on to the file whole, keeping their count and checksum. The file streams
// out to the disk as it grows: a save file of gigabytes does not first fill
// as much memory with its pages.
class ChecksumWriter : public SaveStream {
 public:
  explicit ChecksumWriter(File& file) : file_(file), block_(new unsigned char[kBlock]) { Lend(); }
  void Write(const void* data, size_t count) override {
    const auto* p = static_cast<const unsigned char*>(data);
    while (count > 0) {
      if (put_ == putEnd_) Pass();
      const size_t take = std::min(count, static_cast<size_t>(putEnd_ - put_));
      std::memcpy(put_, p, take);
      put_ += take;
      p += take;
      count -= take;
    }
  }
  void Read(void*, size_t) override { ReadFailure(); }
  uint64_t Remaining() const override { return 0; }
  // Passes on what is gathered; the sums then cover every byte written.
  void Finish() { Pass(); }
  uint32_t Crc() const { return crc_; }
  uint64_t Count() const { return count_; }

 private:
  static constexpr size_t kBlock = size_t{1} << 20;
  void Lend() {
    put_ = block_.get();
    putEnd_ = block_.get() + kBlock;
  }
  void Pass() {
    const size_t n = static_cast<size_t>(put_ - block_.get());
    if (n > 0) {
      file_.Write(block_.get(), n);
      file_.StreamOut();
      crc_ = Crc32(block_.get(), n, crc_);
      count_ += n;
    }
    Lend();
  }

  File& file_;
  std::unique_ptr<unsigned char[]> block_;
  uint32_t crc_ = 0;
  uint64_t count_ = 0;
};

// A save stream that reads a file in large blocks, so that the fields of a
// record are taken from memory rather than asked of the file one by one.
class BlockReader : public SaveStream {
 public:
  explicit BlockReader(File& file) : file_(file), block_(new unsigned char[kBlock]) {}
  void Write(const void*, size_t) override { throw File::WriteExcept(file_.Name()); }
  void Read(void* data, size_t count) override {
    auto* p = static_cast<unsigned char*>(data);
    while (count > 0) {
      if (get_ == getEnd_ && !Fill()) {
        // A short file: the file's own read error, as a direct read gives.
        file_.ReadFailure();
      }
      const size_t take = std::min(count, static_cast<size_t>(getEnd_ - get_));
      std::memcpy(p, get_, take);
      get_ += take;
      p += take;
      count -= take;
    }
  }
  uint64_t Remaining() const override { return file_.Remaining() + static_cast<uint64_t>(getEnd_ - get_); }
  [[noreturn]] void ReadFailure() const override { throw File::ReadExcept(file_.Name()); }

 private:
  static constexpr size_t kBlock = size_t{1} << 20;
  bool Fill() {
    const uint64_t left = file_.Remaining();
    if (left == 0) return false;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kBlock));
    file_.Read(block_.get(), n);
    get_ = block_.get();
    getEnd_ = block_.get() + n;
    return true;
  }

  File& file_;
  std::unique_ptr<unsigned char[]> block_;
};

}  // namespace

void WriteSaveTrailer(File& file, uint64_t contentBytes, uint32_t crc) {
  file.Write(kTrailerMarker, sizeof kTrailerMarker);
  file.WriteU64(contentBytes);
  file.WriteU32(crc);
}

void CheckSaveTrailer(File& file) {
  constexpr size_t kCheckBlock = size_t{1} << 20;
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
  std::unique_ptr<char[]> block(new char[kCheckBlock]);
  for (uint64_t left = content; left > 0;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kCheckBlock));
    file.Read(block.get(), n);
    actual = Crc32(block.get(), n, actual);
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
        counted.Finish();
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
    {
      BlockReader reader(file);
      RestoreState(reader, false);
    }
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
