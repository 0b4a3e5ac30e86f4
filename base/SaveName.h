#pragma once
// The name a file chosen in a save dialog is written under, the same in every program: the
// dialog's default extension is added only to a name that has none. A name the user gave an
// extension of his own ("data.txt", "unit.cfg") or one of the filter's ("config.jvo.txt") is
// written as it is, so that the name the user typed, and was asked about, is the name written.
#include <string>

namespace jvo {

// `path` with "." + `ext` appended when its file name has no extension: no dot after its first
// character ("notes", ".profile"), unless the name ends with ".`ext`" (compared without regard
// to case, ".csv"). A name ending in a dot gets `ext` without a second dot. `ext` may be given
// with or without its leading dot ("jvo.cfg", ".jvo.cfg"). An empty path, a path naming a folder
// (ending in '/') and an empty extension are returned as they are.
std::string SaveAsName(const std::string& path, const std::string& ext);

// Why a file cannot be created or replaced at `path`, empty when it can: its folder exists and
// takes new files, and nothing but a regular file is there already (the safe save would replace
// a device or a folder's entry by a file).
std::string WhyNotSavable(const std::string& path);

}  // namespace jvo
