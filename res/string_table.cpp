#include "res/string_table.h"

#include <array>

namespace tallow {

namespace {

constexpr std::array<BuiltinString, kBuiltinStringCount> kStrings = {{
    // Message boxes: captions, then messages
    {20001, u"Communication"},
    {20002, u"Save"},
    {20003, u"Select MFP"},
    {20004, u"Basic Settings"},
    {21001, u"Unable to connect to the scanner."},
    {21003, u"The file already exists. Replace existing file?"},
    {21004, u"Unable to download the file."},
    {21005, u"Failed to save the file."},
    {21006, u"Failed to save page %2d of the file."},
    {21007, u"No Device Selected."},
    {21008, u"Please enter the  IP address or hostname."},
    {21009, u"Failed to get IP address."},
    {21010, u"No document to save selected."},
    {21011, u"The page number you entered is invalid."},
    {21012, u"Unable to access folder."},
    {21013, u"The path is too deep."},
    {21014, u"Tallowmere is already running. "},
    {21015, u"The port number you entered is invalid."},
    {21016, u"The specified folder does not exist."},
    {21017, u"Path/File access error(%d)"},
    {807, u"Authentication failed. (Error Code: 807)"},
    {808, u"This file does not exist. (Error Code: 808)"},
    {810, u"The specified file does not exist. (Error Code: 810)"},
    {811, u"The specified file cannot be deleted. (Error Code: 811)"},
    // Progress texts
    {15001, u"Now Starting Application"},
    {15002, u"Now Preparing Simple Mode"},
    {15003, u"Now Saving Document(s)"},
    {15004, u"Saved successfully"},
    // Labels
    {8001, u"B/W"},
    {8002, u"Color"},
    {8003, u"USB"},
    // About dialog
    {101, u"About"},
    // Select MFP dialog
    {12101, u"Select MFP"},
    {12102, u"IP address or Hostname "},
    {12103, u"Do not show this dialog when the application starts"},
    {12104, u"Search"},
    {12105, u"OK"},
    {12106, u"Cancel"},
    {12004, u"Specify the Port Number"},
    {12005, u"HTTP Port Number:   (Default:80)"},
    {12006, u"Search Port Number:   (Default:61000)"},
    {12007, u"(0 - 65535)"},
    {12008, u"(0 - 65535)"},
    // Main window, Advanced layout
    {10101, u"Tallowmere"},
    {10102, u"Preview"},
    {10103, u"Delete after save"},
    {10104, u"All"},
    {10105, u"Current page"},
    {10106, u"Pages"},
    {10107, u"Save"},
    {10108, u"Exit"},
    {10109, u"Refresh"},
    {10006, u"Page Range"},
    {10007, u"Erase document(s)"},
    // Main window, Simple layout
    {11201, u"Tallowmere"},
    {11001, u"Document Information"},
    {11002, u"Device Name:"},
    {11003, u"Box Name:"},
    {11004, u"File Number:"},
    {11005, u"Date/Time:"},
    {11006, u"Pages:"},
    {11007, u"B/W / Color:"},
    {11008, u"Destination Information"},
    {11009, u"Destination Folder:"},
    {11010, u"File Format:"},
    {11101, u"Save"},
    {11102, u"Exit"},
    // Basic Settings dialog
    {13201, u"Basic Settings"},
    {13001, u"Device Name:"},
    {13002, u"Box Name:"},
    {13003, u"Destination Folder:"},
    {13004, u"File Format"},
    {13005, u"Color"},
    {13006, u"B/W"},
    {13007, u"Erase document(s)"},
    {13008, u"Mode"},
    {13101, u"Delete after save"},
    {13102, u"PDF"},
    {13103, u"JPEG"},
    {13104, u"PDF"},
    {13105, u"TIFF"},
    {13106, u"Advanced Mode"},
    {13107, u"Simple Mode"},
    {13108, u"Browse"},
    {13109, u"OK"},
    {13110, u"Cancel"},
    // Password dialog
    {14101, u"TWAIN Box Password"},
    {14001, u"Password:"},
    {14002, u"(0001 - 9999)"},
    {14201, u"Save Password"},
    {14202, u"OK"},
    {14203, u"Cancel"},
    // Progress dialog
    {15101, u"Progress"},
    {15201, u"OK"},
    {15202, u"Cancel"},
    // List columns and labels
    {10001, u"File Number"},
    {10002, u"Date/Time"},
    {10003, u"Pages"},
    {10004, u"B/W / Color"},
    {10005, u"page(s)"},
    {12001, u"Device Name"},
    {12002, u"Connect to"},
    // Menus
    {30001, u"Settings"},
    {30101, u"Mode Change"},
    {30201, u"Delete"},
    {30301, u"Basic Settings"},
    {30302, u"Select MFP"},
    {30303, u"Advance Mode"},
    {30304, u"Simple Mode"},
    {30401, u"About"},
}};

}  // namespace

std::span<const BuiltinString> BuiltinStrings() { return kStrings; }

const char16_t* FindBuiltinString(std::int32_t id) {
  for (const BuiltinString& s : kStrings) {
    if (s.id == id) return s.text;
  }
  return nullptr;
}

}  // namespace tallow
