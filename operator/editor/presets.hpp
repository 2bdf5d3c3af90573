// The preset archive: presets are byte copies of the settings file, kept as
// "<name>.prf" in the archive directory. Saving stores the current settings
// in the settings file and copies it into the archive; loading copies a
// preset over the settings file and makes a new editor instance from it.
#pragma once

#include <string>

namespace tileron {

struct EditorRun;
struct ModuleState;

// The archive directory, home-relative, with its closing separator.
inline constexpr const char *kArchiveDirectory = "/programs/tileron/archive/";

// The preset file for a name from the file requester (a home-relative path
// without extension): the name followed by ".prf" when it lies inside the
// archive directory, that is kArchiveDirectory followed by a non-empty name
// that stays inside it (no ".." segment, nothing absolute); else empty.
std::string presetFilePath(const std::string &name);

// Asks for a name and archives the current settings under it, asking first
// before an existing preset is replaced. Returns 1 when nothing was chosen,
// the user declined to replace, or the preset was written (whole: it is
// written beside its name and renamed over it); 0 after the save error was
// shown (a failed store or copy, or a name outside the archive), the archive
// then as it was.
int savePreset(ModuleState &module);

// 1 when the preset file does not exist or the user agrees to replace it.
int confirmOverwrite(const std::string &path, const ModuleState &module);

// Asks for a preset and makes a new editor instance from it. Returns 1 when
// nothing was chosen, the name was empty or outside the archive (the load
// error shown, the effect state kept), or the new effect state stands (when
// the preset could not be copied, the load error is shown and the new state
// has the settings stored before); 0 when no new effect state could be made
// (reported, the load error shown).
int loadPreset(EditorRun &run);

// Asks for a preset and removes its file; nothing is reported to the user
// (a name outside the archive removes nothing and is logged). Returns 1.
int deletePreset(const ModuleState &module);

} // namespace tileron
