#pragma once

#include <QString>

// How a copied text is handed to the code detectors, and how their answers decide.
namespace DetectionText {

// Texts above this many UTF-16 units reach the detectors as their two ends.
inline constexpr qsizetype maxLength = 50'000;

// The text for the detectors: above maxLength its first and last 25,000 units (fewer where
// that would cut a character in two) joined by a line feed; trailing spaces, tabs and line ends removed; in
// every line an odd number of leading spaces shortened by one (copies from indented views often carry one
// extra).
QString prepareDetectionText(const QString &text);

// The language network's probability a text of `characters` user-perceived characters
// needs to count as code when the detector found no label: 0.10 up to 100 characters,
// 0.15 up to 300, 0.30 above.
double networkThreshold(qsizetype characters);
// The detector's confidence (0 to 1) that must come with it: 0.03, 0.05, 0.10.
double detectorFloor(qsizetype characters);

} // namespace DetectionText
