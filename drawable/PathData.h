#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "drawable/Geometry.h"

// A path as verbs and their points: Move and Line take one point, Quad two (control, end), Cubic
// three (two controls, end), Close none. Every contour the parser makes starts with a Move.
struct TPath {
    enum class TVerb : uint8_t { Move, Line, Quad, Cubic, Close };
    std::vector<TVerb> verbs;
    std::vector<TPoint> points;
};

// Caps on what path data may make: longer text or more points than these is refused.
constexpr size_t kMaxPathDataLength = size_t(16) << 20;
constexpr size_t kMaxPathPoints = size_t(1) << 20;

// Reads Android's pathData (the SVG path grammar, absolute and relative commands, implicit repeats,
// arcs turned into cubics) into out. False on a syntax error, a number that is not finite, or a path
// past the caps above; Android refuses the whole drawable then. A path that does not begin with a
// move starts from (0, 0).
bool ParsePathData(std::string_view text, TPath& out);

// Android's trimPathStart / trimPathEnd / trimPathOffset: the piece [start, end] (shifted by offset,
// wrapping past the end) of the length of the path's first contour of non-zero length. The pieces
// come out as open contours. No change when start is 0 and end is 1.
TPath TrimPath(const TPath& path, double start, double end, double offset);

// A rectangle with corners of radii rx, ry (each at most half its side; zero gives square corners),
// drawn clockwise on screen; and the oval inscribed in a rectangle.
TPath RoundRectPath(double x, double y, double width, double height, double rx, double ry);
TPath OvalPath(double x, double y, double width, double height);

// One drawing step of a path, with its start point: p[0] is where it starts and p[1..n] the verb's
// points (a closing step is a Line back to the contour's start).
struct TSegment {
    TPath::TVerb verb = TPath::TVerb::Line;
    TPoint p[4];
    int PointCount() const { return verb == TPath::TVerb::Cubic ? 4 : verb == TPath::TVerb::Quad ? 3 : 2; }
};

// Walks a path contour by contour: visitor.BeginContour(start), visitor.Segment(segment) for each
// drawing step, visitor.EndContour(closed, hadSteps) where hadSteps says whether any verb besides the
// move followed (a contour of only zero-length steps still draws a dot). A drawing verb without a move
// before it starts at the previous contour's start, or at (0, 0). Returns false when the points do
// not match the verbs.
template <class TVisitor> bool WalkPath(const TPath& path, TVisitor&& visitor) {
    using V = TPath::TVerb;
    size_t next = 0;
    TPoint start, current;
    bool open = false, hadSteps = false;
    for (V verb : path.verbs) {
        size_t count = verb == V::Cubic ? 3 : verb == V::Quad ? 2 : verb == V::Close ? 0 : 1;
        if (path.points.size() - next < count)
            return false;
        const TPoint* p = path.points.data() + next;
        next += count;
        if (verb == V::Move) {
            if (open)
                visitor.EndContour(false, hadSteps);
            start = current = p[0];
            open = true;
            hadSteps = false;
            visitor.BeginContour(start);
            continue;
        }
        if (!open) {
            if (verb == V::Close)
                continue;
            current = start;
            open = true;
            hadSteps = false;
            visitor.BeginContour(start);
        }
        TSegment segment;
        segment.verb = verb == V::Close ? V::Line : verb;
        segment.p[0] = current;
        if (verb == V::Close) {
            segment.p[1] = start;
        } else {
            for (size_t i = 0; i < count; ++i)
                segment.p[i + 1] = p[i];
        }
        current = segment.p[segment.PointCount() - 1];
        hadSteps = true;
        if (verb != V::Close || current.x != segment.p[0].x || current.y != segment.p[0].y)
            visitor.Segment(segment);
        if (verb == V::Close) {
            visitor.EndContour(true, hadSteps);
            open = false;
        }
    }
    if (open)
        visitor.EndContour(false, hadSteps);
    return next == path.points.size();
}
