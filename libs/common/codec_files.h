// File handling shared by the two codec stand-ins: the caller's UTF-16
// paths, the page-file names, bounded reads of page files, and an output
// file that only appears under its name once it is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dumel {

// UTF-8 of a NUL-terminated UTF-16 path; an unpaired surrogate becomes
// U+FFFD. Empty for NULL and for a path longer than |maxUnits|.
std::string Utf8Path(const char16_t* path, std::size_t maxUnits = 32767);

// "<folder>/<ID as 8 upper-case hex digits>_<page>.<extension>".
std::string PageFilePath(const std::string& folder, std::uint32_t documentId, int page,
                         const char* extension);

// A page file opened for reading. Only regular files are accepted: a page
// file is untrusted, and a FIFO or device would block or never end.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool Open(const std::string& path);
  std::uint64_t Size() const { return size_; }
  // Exactly |length| bytes at |offset|, all inside the file.
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const;
  int Descriptor() const { return fd_; }

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// The output is written under a new, hidden name in the target's folder and
// renamed over the target by Commit. Until then the target, if it exists,
// is untouched; without a Commit the new file is removed again.
class OutputFile {
 public:
  explicit OutputFile(std::string target) : target_(std::move(target)) {}
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Makes the new file. Refuses a target that is a folder, or an existing
  // target that may not be written.
  bool Create();
  // The open descriptor, handed over: whoever takes it closes it.
  int TakeDescriptor();
  const std::string& TemporaryPath() const { return temporary_; }
  // Flushes the finished file to the disk and gives it the target's name.
  // The descriptor must have been closed by then.
  bool Commit();

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  bool committed_ = false;
};

// Reverses the bit order of every byte (TIFF FillOrder 2 to 1).
void ReverseBits(std::uint8_t* data, std::size_t length);

}  // namespace dumel
