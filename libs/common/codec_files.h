// File handling shared by the two codec stand-ins: the caller's UTF-16
// paths, the page-file names, bounded reads of page files, and an output
// file that only appears under its name once it is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dumel {

// UTF-8 of a NUL-terminated UTF-16 path; an unpaired surrogate becomes
// U+FFFD. Empty for NULL and for a path longer than |maxUnits|.
std::string Utf8Path(const char16_t* path, std::size_t maxUnits = 32767);

// "<folder>/<ID as 8 upper-case hex digits>_<page>.<extension>".
std::string PageFilePath(const std::string& folder, std::uint32_t documentId, int page,
                         const char* extension);

// Random access to the bytes of one page: a page file, or bytes in memory.
class PageReader {
 public:
  virtual ~PageReader() = default;
  virtual std::uint64_t Size() const = 0;
  // Exactly |length| bytes at |offset|, all inside the page.
  virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const = 0;
  // All the bytes, where they lie in memory; null otherwise.
  virtual const std::uint8_t* Bytes() const { return nullptr; }
};

// A page file opened for reading. Only regular files are accepted: a page
// file is untrusted, and a FIFO or device would block or never end.
class InputFile final : public PageReader {
 public:
  InputFile() = default;
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool Open(const std::string& path);
  void Close();
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

class MemoryReader final : public PageReader {
 public:
  explicit MemoryReader(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override;
  const std::uint8_t* Bytes() const override { return reinterpret_cast<const std::uint8_t*>(bytes_.data()); }

 private:
  std::string_view bytes_;
};

// Where the pages of a document come from.
class PageSource {
 public:
  virtual ~PageSource() = default;
  // Page |number|, readable until the next call; null, with a reason, when
  // there is no such page.
  virtual const PageReader* Open(int number, std::string& reason) = 0;
};

// The page files of one document in the work folder, each opened once.
class PageFiles final : public PageSource {
 public:
  PageFiles(std::string folder, std::uint32_t documentId, const char* extension)
      : folder_(std::move(folder)), documentId_(documentId), extension_(extension) {}
  const PageReader* Open(int number, std::string& reason) override;

 private:
  std::string folder_;
  std::uint32_t documentId_;
  const char* extension_;
  InputFile file_;
};

// Where a document's bytes go.
class ByteOutput {
 public:
  virtual ~ByteOutput() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
};

// Writes straight to a descriptor, which it does not own.
class DescriptorOutput final : public ByteOutput {
 public:
  explicit DescriptorOutput(int fd) : fd_(fd) {}
  bool Write(const void* data, std::size_t size) override;

 private:
  int fd_;
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
