#pragma once
#include "device/TextSplit.h"

#include <string>

// Whether one APK taken out of a bundle is what the bundle says it is, from what aapt prints for
// it: a piece of the app on show (`packageName`), the base without a split name and every other
// piece with one. Returns the message for the user when it is not, else an empty text. Output
// that names no package (a tool that can't read pieces) is not held against the piece.
std::string PieceProblem(const StringList& badgingLines, const std::string& packageName, bool isBase);
