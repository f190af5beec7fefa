#include "device/box_protocol.h"

#include <cstring>
#include <span>

namespace tallow {

const BoxTagTable kBoxTagNames = {
    "JOB", "COMMAND", "TYPE", "PARAM", "CODE", "ATTRIBUTE", "FOLDERID", "PASSWORD",
    "FOLDERNAME", "FILEID", "FILENAME", "TIMESTAMP", "PAGES", "DOCUMENTID", "USERID",
    "STATUS", "IMAGEPATH", "SUBJECT", "USERHANDLE", "DOCUMENT", "OWNER", "DOCTYPE",
    "SERVER", "STRAGE", "XPIXEL", "YPIXEL", "XRESOLUTION", "YRESOLUTION", "PAGE",
    "RESOLUTION", "DOCSIZE", "SCALING", "DENSITY", "ERRORCODE", "ERRORWORDING", "FILE",
    "FOLDER", "DATASIZE", "PAGENUMBER", "ROOTNAME", "USERNAME", "USER", "PACKET", "MODE",
    "HPIXEL", "HRESOLUTION", "SCAN", "STORAGE", "IMAGEFORMAT", nullptr,
};

bool IsUsableXmlHttpApi(const XmlHttpApi& a) {
  return a.CreateDocument && a.FreeDocument && a.ResetDocument && a.GetRequestSize &&
         a.PrepareRequest && a.CopyRequest && a.ParseReply && a.SetParameter && a.OpenElement &&
         a.CloseElement && a.AddTextElement && a.AddNumberElement && a.AddIdElement &&
         a.FirstNode && a.NextNode && a.GetNodeTag && a.GetNodeText && a.GetNodeNumber &&
         a.GetNodeId && a.SetPacketCode && a.GetPacketCode && a.OpenConnection &&
         a.CloseConnection && a.HttpGetToFile && a.HttpPost;
}

XhDocument BeginBoxRequest(const XmlHttpApi& api, const char* const* tags) {
  XhDocument doc = api.CreateDocument(tags);
  if (!doc) return nullptr;
  api.ResetDocument(doc);
  api.SetParameter(doc, kVersionParam, kVersionValue);
  return doc;
}

namespace {

struct BoxParam {
  enum Kind { Text, Number, Id } kind;
  BoxTag tag;
  const char* text;
  std::uint32_t value;
};

constexpr std::int32_t kIdWidth = 8;

// A failed OpenElement is not an error: the request goes out with what it holds.
void BuildCommand(const XmlHttpApi& api, XhDocument doc, const char* command,
                  std::span<const BoxParam> params) {
  if (!api.OpenElement(doc, TAG_JOB)) return;
  api.AddTextElement(doc, TAG_COMMAND, command);
  api.AddTextElement(doc, TAG_TYPE, "STORAGE");
  if (api.OpenElement(doc, TAG_PARAM)) {
    if (api.OpenElement(doc, TAG_STORAGE)) {
      for (const BoxParam& p : params) {
        switch (p.kind) {
          case BoxParam::Text: api.AddTextElement(doc, p.tag, p.text); break;
          case BoxParam::Number:
            api.AddNumberElement(doc, p.tag, static_cast<std::int32_t>(p.value));
            break;
          case BoxParam::Id: api.AddIdElement(doc, p.tag, p.value, kIdWidth); break;
        }
      }
      api.CloseElement(doc);
    }
    api.CloseElement(doc);
  }
  api.CloseElement(doc);
}

void SetTextField(const XmlHttpApi& api, XhNode node, char16_t* field, std::size_t capacity) {
  const char* text = api.GetNodeText(node);
  CopyToField(field, capacity, text ? FromAnsi(text) : WString());
}

std::int32_t NodeNumber(const XmlHttpApi& api, XhNode node, std::int32_t fallback) {
  std::int32_t value = fallback;
  api.GetNodeNumber(node, &value);
  return value;
}

std::int32_t NodeId(const XmlHttpApi& api, XhNode node, std::int32_t fallback) {
  std::uint32_t value = static_cast<std::uint32_t>(fallback);
  api.GetNodeId(node, &value);
  return static_cast<std::int32_t>(value);
}

// A reply's "CODE", as the walkers take it: success marks the reply answered
// (|result| 1) and the walk goes on; any other code stops the walk and goes
// to |*failure| when given.
bool TakeReplyCode(const XmlHttpApi& api, XhNode node, int& result, int* failure) {
  const std::int32_t code = NodeNumber(api, node, 0);
  if (code != kCodeSuccess) {
    if (failure) *failure = code;
    return false;
  }
  result = 1;
  return true;
}

// Calls |visit| for every reply node until it returns false. False when the
// reply has no node at all.
template <class Visit>
bool ForEachNode(const XmlHttpApi& api, XhDocument doc, Visit visit) {
  XhNode node = api.FirstNode(doc, -1);
  if (!node) return false;
  for (; node; node = api.NextNode(doc, -1)) {
    if (!visit(node, api.GetNodeTag(node))) break;
  }
  return true;
}

}  // namespace

void BuildListBoxesRequest(const XmlHttpApi& api, XhDocument doc) {
  BuildCommand(api, doc, "LIST", {});
}

void BuildListFilesRequest(const XmlHttpApi& api, XhDocument doc, const BoxFolderRecord& box,
                           const char* password) {
  BoxParam params[2];
  std::size_t n = 0;
  if (box.ATTRIBUTE & kBoxNeedsPassword) params[n++] = {BoxParam::Text, TAG_PASSWORD, password, 0};
  params[n++] = {BoxParam::Id, TAG_FOLDERID, nullptr, static_cast<std::uint32_t>(box.FOLDERID)};
  BuildCommand(api, doc, "LIST", std::span<const BoxParam>(params, n));
}

void BuildImageInfoRequest(const XmlHttpApi& api, XhDocument doc, std::uint32_t fileId, int page) {
  const BoxParam params[] = {{BoxParam::Id, TAG_FILEID, nullptr, fileId},
                             {BoxParam::Id, TAG_PAGE, nullptr, static_cast<std::uint32_t>(page)}};
  BuildCommand(api, doc, "GETIMAGEINFO", params);
}

void BuildDeleteRequest(const XmlHttpApi& api, XhDocument doc, std::uint32_t fileId) {
  const BoxParam params[] = {{BoxParam::Id, TAG_FILEID, nullptr, fileId}};
  BuildCommand(api, doc, "DELETE", params);
}

void BuildGetFileRequest(const XmlHttpApi& api, XhDocument doc, std::uint32_t fileId, int page) {
  const BoxParam params[] = {
      {BoxParam::Id, TAG_FILEID, nullptr, fileId},
      {BoxParam::Number, TAG_PAGENUMBER, nullptr, static_cast<std::uint32_t>(page)}};
  BuildCommand(api, doc, "GETFILE", params);
}

void BuildGetDataRequest(const XmlHttpApi& api, XhDocument doc) {
  BuildCommand(api, doc, "GETDATA", {});
}

void PresetBoxListing(BoxTables& tables, WStringView rootName) {
  tables.folderCount = 0;
  BoxFolderRecord& root = tables.folders[0];
  root = BoxFolderRecord{};
  root.FOLDERID = 0;
  root.ATTRIBUTE = 1;
  CopyToField(root.FOLDERNAME, kNameLength, rootName);
}

void StoreBoxPassword(BoxTables& tables, WStringView password) {
  CopyToField(tables.password, kPasswordLength, ToAnsi(password));
}

int WalkBoxListing(const XmlHttpApi& api, XhDocument doc, BoxTables& tables) {
  int result = 0;
  bool walked = ForEachNode(api, doc, [&](XhNode node, std::int32_t tag) {
    BoxFolderRecord& record = tables.folders[tables.folderCount];
    switch (tag) {
      case TAG_CODE: return TakeReplyCode(api, node, result, &result);
      case TAG_FILE:
      case TAG_FOLDER:
        if (tables.folderCount >= kMaxBoxRecords - 1) return false;
        ++tables.folderCount;
        tables.folders[tables.folderCount] = BoxFolderRecord{};
        result = 1;
        return true;
      case TAG_ATTRIBUTE: record.ATTRIBUTE = NodeId(api, node, record.ATTRIBUTE); return true;
      case TAG_FOLDERID: record.FOLDERID = NodeId(api, node, record.FOLDERID); return true;
      case TAG_FOLDERNAME: SetTextField(api, node, record.FOLDERNAME, kNameLength); return true;
      case TAG_ROOTNAME:
        SetTextField(api, node, tables.folders[0].FOLDERNAME, kNameLength);
        return true;
      default: return true;
    }
  });
  if (walked) ++tables.folderCount;
  return result;
}

int WalkFileListing(const XmlHttpApi& api, XhDocument doc, BoxTables& tables, int* errorCode) {
  int result = 0;
  bool walked = ForEachNode(api, doc, [&](XhNode node, std::int32_t tag) {
    if (tag == TAG_CODE) return TakeReplyCode(api, node, result, errorCode);
    if (tag == TAG_FILE || tag == TAG_FOLDER) {
      if (tables.fileCount + 1 >= kMaxFileRecords) return false;
      ++tables.fileCount;
      tables.files[tables.fileCount] = BoxFileRecord{};
      result = 1;
      return true;
    }
    // Fields ahead of the first record have no record to fill.
    if (tables.fileCount < 0) return true;
    BoxFileRecord& record = tables.files[tables.fileCount];
    switch (tag) {
      case TAG_ATTRIBUTE: record.ATTRIBUTE = NodeId(api, node, record.ATTRIBUTE); break;
      case TAG_FOLDERID: record.FOLDERID = NodeId(api, node, record.FOLDERID); break;
      case TAG_FILEID:
        record.FILEID = static_cast<std::uint32_t>(NodeId(api, node, static_cast<std::int32_t>(record.FILEID)));
        break;
      case TAG_FOLDERNAME: SetTextField(api, node, record.FOLDERNAME, kNameLength); break;
      case TAG_FILENAME: SetTextField(api, node, record.FILENAME, kNameLength); break;
      case TAG_TIMESTAMP: SetTextField(api, node, record.TIMESTAMP, kTimeStampLength); break;
      case TAG_PAGES: record.PAGES = NodeNumber(api, node, record.PAGES); break;
      case TAG_IMAGEFORMAT: record.IMAGEFORMAT = NodeNumber(api, node, record.IMAGEFORMAT); break;
      default: break;
    }
    return true;
  });
  if (walked) ++tables.fileCount;
  return result;
}

int WalkImageInfo(const XmlHttpApi& api, XhDocument doc, ImageInfo& info) {
  int result = 0;
  ForEachNode(api, doc, [&](XhNode node, std::int32_t tag) {
    switch (tag) {
      case TAG_CODE: return TakeReplyCode(api, node, result, &result);
      case TAG_XPIXEL: info.XPIXEL = NodeNumber(api, node, info.XPIXEL); return true;
      case TAG_YPIXEL: info.YPIXEL = NodeNumber(api, node, info.YPIXEL); return true;
      case TAG_XRESOLUTION: info.XRESOLUTION = NodeNumber(api, node, info.XRESOLUTION); return true;
      case TAG_YRESOLUTION: info.YRESOLUTION = NodeNumber(api, node, info.YRESOLUTION); return true;
      default: return true;
    }
  });
  return result;
}

int WalkDeleteReply(const XmlHttpApi& api, XhDocument doc, int* errorCode) {
  int result = 0;
  ForEachNode(api, doc, [&](XhNode node, std::int32_t tag) {
    return tag != TAG_CODE || TakeReplyCode(api, node, result, errorCode);
  });
  return result;
}

TransferReply WalkTransferReply(const XmlHttpApi& api, XhDocument doc) {
  TransferReply reply;
  ForEachNode(api, doc, [&](XhNode node, std::int32_t tag) {
    if (tag == TAG_CODE) {
      reply.lastCode = NodeNumber(api, node, 0);
      reply.ok = reply.lastCode >= kCodeSuccess && reply.lastCode <= kCodeLastBlock;
      return reply.ok;
    }
    if (tag == TAG_DATASIZE) {
      std::uint32_t size = 0;
      if (api.GetNodeId(node, &size)) reply.dataSize = size;
    }
    return true;
  });
  return reply;
}

}  // namespace tallow
