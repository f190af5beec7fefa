// The simulated MFP's storage: boxes holding scanned documents. Shared by the
// HTTP front end and, later, the USB one; every method locks, and readers get
// copies so that a deletion never pulls data from under a running request.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallow::mfpsim {

inline constexpr std::uint32_t kProtectedBit = 0x10;

// Limits on what a configuration may ask for, so that a page can always be
// generated in bounded time and memory.
inline constexpr int kMaxPixels = 20000;  // per side
inline constexpr int kMaxDpi = 9600;
inline constexpr int kMaxPages = 9999;
inline constexpr std::size_t kMaxBoxes = 1000;
inline constexpr std::size_t kMaxDocs = 10000;  // over all boxes
inline constexpr std::size_t kMaxText = 1000;   // names, time stamps, passwords

struct Doc {
  std::uint32_t id = 0;
  std::uint32_t boxId = 0;
  std::string name = "Document";
  std::string timestamp = "2026/12/01 09:00:00";
  int pages = 1;
  bool color = true;  // true: JPEG pages; false: CCITT G4 TIFF pages
  int width = 1654;   // A4 at 200 dpi
  int height = 2339;
  int dpi = 200;
  std::uint32_t attribute = 0;
};

struct Box {
  std::uint32_t id = 0;
  std::string name;
  std::uint32_t attribute = 0;  // kProtectedBit is set whenever password is
  std::string password;
  std::vector<Doc> docs;

  bool IsProtected() const { return (attribute & kProtectedBit) != 0; }
};

struct StoreData {
  std::string name = "Sim MFP";
  std::optional<std::string> rootname;
  std::vector<Box> boxes;
};

// Parses the configuration XML (see README.md). On failure returns nothing
// and sets |error| to a message naming the offending element.
std::optional<StoreData> ParseStoreConfig(std::string_view xml, std::string& error);

// The store used when no configuration is given.
StoreData SampleStore();

enum class ListResult { kOk, kUnknownBox, kAuthFailed };

class Store {
 public:
  explicit Store(StoreData data) : data_(std::move(data)) {}

  std::string Name() const;
  std::optional<std::string> RootName() const;
  // Boxes without their documents.
  std::vector<Box> Boxes() const;
  // The documents of box |boxId|. |password| is what the request carried
  // (nothing when it held no PASSWORD element).
  ListResult Documents(std::uint32_t boxId, const std::optional<std::string>& password,
                       std::string& boxName, std::vector<Doc>& docs) const;
  std::optional<Doc> FindDoc(std::uint32_t docId) const;
  // Removes the document; false when there is none of that id.
  bool Delete(std::uint32_t docId);

 private:
  mutable std::mutex mutex_;
  StoreData data_;
};

}  // namespace tallow::mfpsim
