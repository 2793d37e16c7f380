#pragma once
#include "image/RgbaImage.h"
#include "zip/ZipPlatform.h"

#include <cstdint>
#include <string>

// The package's own icon, taken out of the package (a ZIP archive) and decoded as PNG, ready to be
// drawn in a square box of `box` pixels: an icon larger than the box is scaled down to fit,
// keeping its shape; a smaller one stays as it is.
//
// `memberName` is the icon member the tool named ('\' separators). When it is not a PNG (most
// packages name an adaptive icon in XML), a PNG of the same name in a sibling folder serves.
// Returns false when no icon can be shown: the caller keeps what it shows. An icon that can't be
// shown is no reason to hide the package's other facts, so only a package that can't be opened at
// all raises (EFOpenError).
//
// `dpi` is the density of the screen the icon is shown on. A PNG member's own size is its size at
// 96 DPI; on a denser screen it is shown larger by dpi / 96 (within the box), taken from a sibling
// PNG that has the pixels for it (the package's picture for a higher density). Where the package
// has none, the icon keeps its own pixels rather than being blurred up.
bool LoadPackageIcon(const std::string& apkPath, const std::string& memberName, std::uint32_t box,
                     const TZipPlatform& platform, RgbaImage& icon, unsigned dpi = 96);
