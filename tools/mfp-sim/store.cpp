#include "store.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

#include "wire.h"

namespace tallow::mfpsim {
namespace {

// The built-in store, written in the configuration language so that it is
// also an example of it.
constexpr const char* kSampleConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<mfp name="Sim MFP" rootname="Front office">
  <box id="1" name="Scans">
    <doc id="ABCD" name="Scan 1" timestamp="2026/12/09 08:46:40" pages="3" color="1"/>
    <doc id="1A2B" name="Contract" timestamp="2026/12/09 09:12:05" pages="5" color="0"/>
    <doc id="FF" name="Photo" timestamp="2026/12/10 14:03:59" pages="1" color="1"
         width="2480" height="3508" dpi="300"/>
  </box>
  <box id="2" name="Finance" password="1234">
    <doc id="2001" name="Invoice 2026-117" timestamp="2026/11/30 17:45:00" pages="2" color="0"
         width="2480" height="3508" dpi="300"/>
    <doc id="2002" name="Receipt" timestamp="2026/12/01 08:00:12" pages="1" color="1"
         width="1165" height="1654" dpi="200"/>
  </box>
  <box id="3" name="Empty"/>
  <box id="10" name="Department archive">
    <doc id="3001" name="Minutes of the annual meeting" timestamp="2026/10/02 11:30:00"
         pages="12" color="0"/>
  </box>
</mfp>
)";

struct Parser {
  std::string& error;

  bool Fail(const pugi::xml_node& node, const std::string& what) {
    error = "<" + std::string(node.name()) + ">";
    if (pugi::xml_attribute id = node.attribute("id")) error += " id=\"" + std::string(id.value()) + "\"";
    error += ": " + what;
    return false;
  }

  bool CheckAttributes(const pugi::xml_node& node, std::initializer_list<const char*> known) {
    for (pugi::xml_attribute a : node.attributes()) {
      bool ok = std::any_of(known.begin(), known.end(),
                            [&](const char* k) { return std::strcmp(k, a.name()) == 0; });
      if (!ok) return Fail(node, "unknown attribute \"" + std::string(a.name()) + "\"");
    }
    return true;
  }

  bool Hex(const pugi::xml_node& node, const char* name, std::uint32_t& out) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) return true;
    std::string_view v = a.value();
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) v.remove_prefix(2);
    std::optional<std::uint32_t> id = ParseId(v);
    if (!id) return Fail(node, std::string(name) + " must be 1 to 8 hexadecimal digits");
    out = *id;
    return true;
  }

  bool Int(const pugi::xml_node& node, const char* name, int lo, int hi, int& out) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) return true;
    std::optional<std::int32_t> n = ParseNumber(a.value());
    if (!n || *n < lo || *n > hi) {
      return Fail(node, std::string(name) + " must be a decimal number from " + std::to_string(lo) +
                            " to " + std::to_string(hi));
    }
    out = *n;
    return true;
  }

  bool Text(const pugi::xml_node& node, const char* name, std::string& out) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) return true;
    if (std::strlen(a.value()) > kMaxText) return Fail(node, std::string(name) + " is too long");
    out = a.value();
    return true;
  }
};

}  // namespace

std::optional<StoreData> ParseStoreConfig(std::string_view xml, std::string& error) {
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size());
  if (!parsed) {
    error = std::string("not well-formed XML at byte ") + std::to_string(parsed.offset) + ": " +
            parsed.description();
    return std::nullopt;
  }
  Parser p{error};
  pugi::xml_node root = doc.document_element();
  if (std::strcmp(root.name(), "mfp") != 0) {
    error = "the root element must be <mfp>";
    return std::nullopt;
  }
  StoreData data;
  if (!p.CheckAttributes(root, {"name", "rootname"}) || !p.Text(root, "name", data.name)) {
    return std::nullopt;
  }
  if (root.attribute("rootname")) {
    std::string text;
    if (!p.Text(root, "rootname", text)) return std::nullopt;
    data.rootname = text;
  }

  std::set<std::uint32_t> boxIds, docIds;
  std::size_t docCount = 0;
  for (pugi::xml_node boxNode : root.children()) {
    if (boxNode.type() != pugi::node_element) continue;
    if (std::strcmp(boxNode.name(), "box") != 0) {
      p.Fail(boxNode, "unknown element (expected <box>)");
      return std::nullopt;
    }
    if (data.boxes.size() >= kMaxBoxes) {
      p.Fail(boxNode, "more than " + std::to_string(kMaxBoxes) + " boxes");
      return std::nullopt;
    }
    Box box;
    box.id = static_cast<std::uint32_t>(data.boxes.size() + 1);
    if (!p.CheckAttributes(boxNode, {"id", "name", "attribute", "password"}) ||
        !p.Hex(boxNode, "id", box.id) || !p.Hex(boxNode, "attribute", box.attribute) ||
        !p.Text(boxNode, "password", box.password)) {
      return std::nullopt;
    }
    box.name = "Box " + std::to_string(box.id);
    if (!p.Text(boxNode, "name", box.name)) return std::nullopt;
    if (box.id == 0) {
      p.Fail(boxNode, "box id 0 is the MFP itself");
      return std::nullopt;
    }
    if (!boxIds.insert(box.id).second) {
      p.Fail(boxNode, "duplicate box id");
      return std::nullopt;
    }
    if (!box.password.empty()) box.attribute |= kProtectedBit;

    for (pugi::xml_node docNode : boxNode.children()) {
      if (docNode.type() != pugi::node_element) continue;
      if (std::strcmp(docNode.name(), "doc") != 0) {
        p.Fail(docNode, "unknown element (expected <doc>)");
        return std::nullopt;
      }
      if (++docCount > kMaxDocs) {
        p.Fail(docNode, "more than " + std::to_string(kMaxDocs) + " documents");
        return std::nullopt;
      }
      Doc d;
      d.boxId = box.id;
      d.id = static_cast<std::uint32_t>(0x1000 + docCount);
      d.name = "Scan " + std::to_string(box.docs.size() + 1);
      int color = 1;
      if (!p.CheckAttributes(docNode, {"id", "name", "timestamp", "pages", "color", "width",
                                       "height", "dpi", "attribute"}) ||
          !p.Hex(docNode, "id", d.id) || !p.Text(docNode, "name", d.name) ||
          !p.Text(docNode, "timestamp", d.timestamp) ||
          !p.Int(docNode, "pages", 0, kMaxPages, d.pages) ||
          !p.Int(docNode, "color", 0, 1, color) ||
          !p.Int(docNode, "width", 1, kMaxPixels, d.width) ||
          !p.Int(docNode, "height", 1, kMaxPixels, d.height) ||
          !p.Int(docNode, "dpi", 1, kMaxDpi, d.dpi) ||
          !p.Hex(docNode, "attribute", d.attribute)) {
        return std::nullopt;
      }
      d.color = color == 1;
      if (d.id == 0) {
        p.Fail(docNode, "document id 0 means no document");
        return std::nullopt;
      }
      if (!docIds.insert(d.id).second) {
        p.Fail(docNode, "duplicate document id (ids are unique over all boxes)");
        return std::nullopt;
      }
      box.docs.push_back(std::move(d));
    }
    data.boxes.push_back(std::move(box));
  }
  return data;
}

StoreData SampleStore() {
  std::string error;
  std::optional<StoreData> data = ParseStoreConfig(kSampleConfig, error);
  // The sample is fixed text: failing here is a bug in this file.
  if (!data) std::abort();
  return std::move(*data);
}

std::string Store::Name() const {
  std::lock_guard lock(mutex_);
  return data_.name;
}

std::optional<std::string> Store::RootName() const {
  std::lock_guard lock(mutex_);
  return data_.rootname;
}

std::vector<Box> Store::Boxes() const {
  std::lock_guard lock(mutex_);
  std::vector<Box> out;
  out.reserve(data_.boxes.size());
  for (const Box& b : data_.boxes) {
    Box copy;
    copy.id = b.id;
    copy.name = b.name;
    copy.attribute = b.attribute;
    copy.password = b.password;
    out.push_back(std::move(copy));
  }
  return out;
}

ListResult Store::Documents(std::uint32_t boxId, const std::optional<std::string>& password,
                            std::string& boxName, std::vector<Doc>& docs) const {
  std::lock_guard lock(mutex_);
  for (const Box& b : data_.boxes) {
    if (b.id != boxId) continue;
    if (b.IsProtected() && (!password || *password != b.password)) return ListResult::kAuthFailed;
    boxName = b.name;
    docs = b.docs;
    return ListResult::kOk;
  }
  return ListResult::kUnknownBox;
}

std::optional<Doc> Store::FindDoc(std::uint32_t docId) const {
  std::lock_guard lock(mutex_);
  for (const Box& b : data_.boxes) {
    for (const Doc& d : b.docs) {
      if (d.id == docId) return d;
    }
  }
  return std::nullopt;
}

bool Store::Delete(std::uint32_t docId) {
  std::lock_guard lock(mutex_);
  for (Box& b : data_.boxes) {
    auto it = std::find_if(b.docs.begin(), b.docs.end(), [&](const Doc& d) { return d.id == docId; });
    if (it != b.docs.end()) {
      b.docs.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace tallow::mfpsim
