#pragma once
// File chooser helpers for front ends. The controller names its file types in the classic form
// "Name (*.a)|*.a|Other (*.b;*.c)|*.b;*.c||"; a windowing library usually wants "Name (*.a)"
// entries joined by ";;", with the patterns separated by spaces. A file to open that was typed
// without the default extension is looked for with it (a saved file's name: base/SaveName.h).
#include <string>

namespace jvo::tool {

// "JVO Config Files (*.jvo.cfg)|*.jvo.cfg||" -> "JVO Config Files (*.jvo.cfg)". Each entry is
// the name without a trailing "(...)" followed by its own patterns in parentheses; entries are
// joined by ";;". A name without a pattern keeps the name alone.
std::string ToQtFilter(const std::string& filter);

// `path` with "." + `ext` appended unless its file name already ends with it (compared without
// regard to case). `ext` may be given with or without its leading dot ("jvo.cfg", ".jvo.cfg").
// An empty path, a path naming a folder (ending in '/') and an empty extension are returned as
// they are.
std::string WithDefaultExtension(const std::string& path, const std::string& ext);

}  // namespace jvo::tool
