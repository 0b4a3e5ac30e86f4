#pragma once
// File choosers: filters written in the classic "Name (*.ext)|*.ext||" form (pairs of a shown
// name and its patterns, separated by '|', ended by "||") become Qt's "Name (*.ext)" lines, and a
// file name typed without the expected extension gets it. A double extension ("jvo.cfg") counts
// only when it is there in full: "unit.cfg" becomes "unit.cfg.jvo.cfg".
#include <string>

namespace jvo::qt {

// "JVO Config Files (*.jvo.cfg)|*.jvo.cfg||" -> "JVO Config Files (*.jvo.cfg)"; several pairs
// give lines separated by ";;". A name without its patterns in brackets gets them appended.
std::string ToQtFilter(const std::string& filter);

// `path` with "." + `ext` appended unless it ends in it already; an empty path stays empty.
std::string WithDefaultExtension(const std::string& path, const std::string& ext);

}  // namespace jvo::qt
