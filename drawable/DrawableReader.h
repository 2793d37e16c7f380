#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "drawable/Drawable.h"
#include "resources/ResConfig.h"
#include "resources/ResourceTable.h"

// Where a drawable's files come from: the members of a package.
class IResourceFiles {
public:
    virtual ~IResourceFiles() = default;
    // The bytes of the member stored under exactly name ('/' separators, as the resource table
    // writes them). False when there is no such member, it can't be read, or it is larger than
    // maxSize.
    virtual bool Read(const std::string& name, size_t maxSize, std::vector<uint8_t>& bytes) = 0;
};

// One package's resources: its table and its files. A split bundle has several, base first.
struct TResourceSource {
    const TResourceTable* table = nullptr;
    IResourceFiles* files = nullptr;
};

// Reads a drawable out of compiled resources the way a phone inflates it: references resolve for
// the request's configuration (its density picks bitmaps, its SDK level the -vNN variants), colour
// state lists give their default colour, gradients in res/color become gradient paints.
//
// What the reader can't draw the way the phone would, it refuses as a whole, and the caller falls
// back: a theme attribute (?attr/...), an element it doesn't know, a missing resource, a reference
// that leads back to itself, bad path data, and anything past the caps that keep hostile input
// bounded in time and memory.
class TDrawableReader {
public:
    // Caps, far beyond real icons.
    static constexpr int kMaxDepth = 16;                        // drawables inside drawables
    static constexpr int kMaxGroupDepth = 64;                   // <group> inside <group>
    static constexpr size_t kMaxFiles = 64;                     // XML files one read may open
    static constexpr size_t kMaxElements = 20000;               // elements over all of them
    static constexpr size_t kMaxPathPoints = 2000000;           // path points over all paths
    static constexpr size_t kMaxXmlBytes = 8u << 20;            // one compiled XML file
    static constexpr size_t kMaxBitmapBytes = 16u << 20;        // one bitmap file
    static constexpr uint64_t kMaxBitmapPixelBytes = 16u << 20; // one decoded bitmap (RGBA)

    TDrawableReader(std::vector<TResourceSource> sources, const TResConfig& request);

    // The drawable stored in a member of the first source ('/' separators, as the table names
    // files): compiled XML or a bitmap. Null when it can't be drawn; Failure() then says why.
    TDrawablePtr ReadFile(const std::string& member);

    // Why the last read gave nothing (for diagnostics and tests).
    const std::string& Failure() const { return failure_; }

    // The request's density in dots per inch (160 when none is set).
    double Density() const;

private:
    class TSession;
    std::vector<TResourceSource> sources_;
    TResConfig request_;
    std::string failure_;
};
