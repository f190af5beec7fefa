// Simulator stores that more than one test program works with.
#pragma once

namespace tallow::test {

// Box names wider than the main window's tree, one of them not ASCII, and a
// short one; the device's box table keeps the first 16 characters of a name.
// The boxes hold 1, 2 and 0 documents.
inline constexpr const char* kLongBoxNamesStore = R"(<mfp name="Sim MFP">
  <box id="1" name="Department archive of the north wing 2026">
    <doc id="E1" name="Plan" timestamp="2026/12/01 09:00:00" pages="1" color="1"
         width="300" height="420" dpi="100"/>
  </box>
  <box id="2" name="Ärzte Übersicht der Abteilungen">
    <doc id="E2" name="Liste" timestamp="2026/12/02 09:00:00" pages="1" color="1"
         width="300" height="420" dpi="100"/>
    <doc id="E3" name="Dienst" timestamp="2026/12/03 09:00:00" pages="1" color="1"
         width="300" height="420" dpi="100"/>
  </box>
  <box id="3" name="Short"/>
</mfp>)";

}  // namespace tallow::test
