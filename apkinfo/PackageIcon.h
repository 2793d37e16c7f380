#pragma once
#include "image/RgbaImage.h"
#include "zip/ZipPlatform.h"

#include <cstdint>
#include <string>

// The package's own icon, ready to be drawn in a square box of `box` pixels, as a phone of today
// shows it.
//
// Where the application's icon is an XML drawable (most packages made today name an adaptive icon,
// res/mipmap-anydpi-v26/ic_launcher.xml, with vector or bitmap layers), it is drawn at the box's
// size: sharp at any density. Otherwise, or when the drawable can't be drawn (a theme attribute, an
// element we don't know, a missing resource), the bitmap rule holds: `memberName` is the icon
// member the tool named ('\' separators); when it is not a bitmap, a PNG or WebP of the same name
// in a sibling folder serves. A bitmap larger than the box is scaled down to fit, keeping its shape;
// a smaller one stays as it is.
//
// Returns false when no icon can be shown: the caller keeps what it shows. An icon that can't be
// shown is no reason to hide the package's other facts, so only a package that can't be opened at
// all raises (EFOpenError).
//
// `dpi` is the density of the screen the icon is shown on. A bitmap member's own size is its size
// at 96 DPI; on a denser screen it is shown larger by dpi / 96 (within the box), taken from a
// sibling that has the pixels for it (the package's picture for a higher density). Where the
// package has none, the icon keeps its own pixels rather than being blurred up.
bool LoadPackageIcon(const std::string& apkPath, const std::string& memberName, std::uint32_t box,
                     const TZipPlatform& platform, RgbaImage& icon, unsigned dpi = 96);
