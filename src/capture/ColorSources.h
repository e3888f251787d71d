#pragma once

#include <QString>

// Where six or eight bare hex digits ("ff8800") are a colour rather than a word or an
// identifier: design and image applications, and design web sites. Any thread, the main thread
// once CaptureLists::loaded() has ended.
namespace ColorSources {

// The macOS bundle ids are matched as given (case-sensitive substrings); the Linux list
// "color_source_apps" without regard to case.
bool isColorSourceApplication(const QString &bundleIdentifier);

// A page of a design or image web service (the lower-cased address contains its domain).
bool isColorSourceSite(const QString &sourceURL);

} // namespace ColorSources
