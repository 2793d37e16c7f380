#include "drawable/Raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_STROKER_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <type_traits>

namespace {

using TVerb = TPath::TVerb;

// Outlines are cut to a box this far around the canvas at most, which keeps 26.6 coordinates and
// FreeType's internal products small even where `long` has 32 bits (Windows).
constexpr double kMaxCoordinate = 32768;
// Margin of the box fills are cut to; anything beyond it cannot touch a pixel of the canvas.
constexpr double kFillMargin = 16;
// Device coordinates past this are refused outright: differences of them would overflow.
constexpr double kMaxDeviceCoordinate = 1e300;
// Curves crossing the cut box are halved until the pieces are this small (in pixels) or this deep.
constexpr double kFlatEnough = 1.0 / 16;
constexpr int kMaxCutDepth = 48;

// One FreeType library per thread, made on first use: FreeType objects are not shared across
// threads, and making a library for every path would load every module each time.
class TFreeType {
public:
    TFreeType() {
        if (FT_Init_FreeType(&library_) != 0)
            library_ = nullptr;
    }
    ~TFreeType() {
        if (library_)
            FT_Done_FreeType(library_);
    }
    TFreeType(const TFreeType&) = delete;
    TFreeType& operator=(const TFreeType&) = delete;
    FT_Library Get() const { return library_; }

private:
    FT_Library library_ = nullptr;
};

FT_Library Library() {
    thread_local TFreeType freeType;
    return freeType.Get();
}

struct TStrokerDone {
    void operator()(FT_Stroker stroker) const { FT_Stroker_Done(stroker); }
};
using TStrokerPtr = std::unique_ptr<std::remove_pointer_t<FT_Stroker>, TStrokerDone>;

bool InBox(TPoint p, double left, double top, double right, double bottom) {
    return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
}

// Cuts a device-space path to a box in a way that leaves the winding number of every point inside
// the box unchanged: what lies outside is moved onto the box's edge (a line is first split where it
// crosses the lines of the box's sides, so each piece lies in one region and moves straight); a
// curve piece entirely beyond one side becomes its chord, which lies on the same side. Fills are
// exact inside the box, and strokes too when the box leaves room for the stroke's reach.
class TBoxCutter {
public:
    TBoxCutter(double left, double top, double right, double bottom, TPath& out)
        : left_(left), top_(top), right_(right), bottom_(bottom), out_(out) {}

    void BeginContour(TPoint p) {
        out_.verbs.push_back(TVerb::Move);
        out_.points.push_back(Clamp(p));
        current_ = p;
    }
    void Segment(const TSegment& s) {
        if (s.verb == TVerb::Line)
            Line(s.p[1]);
        else
            Curve(s, 0);
    }
    void EndContour(bool closed, bool) {
        if (closed)
            out_.verbs.push_back(TVerb::Close);
    }

private:
    TPoint Clamp(TPoint p) const { return {std::clamp(p.x, left_, right_), std::clamp(p.y, top_, bottom_)}; }

    void Line(TPoint to) {
        TPoint from = current_;
        double cuts[4];
        int count = 0;
        auto cross = [&](double a, double b, double edge) {
            if ((a < edge && b > edge) || (a > edge && b < edge))
                cuts[count++] = (edge - a) / (b - a);
        };
        cross(from.x, to.x, left_);
        cross(from.x, to.x, right_);
        cross(from.y, to.y, top_);
        cross(from.y, to.y, bottom_);
        for (int i = 1; i < count; ++i) // at most four: insertion order
            for (int j = i; j > 0 && cuts[j] < cuts[j - 1]; --j)
                std::swap(cuts[j], cuts[j - 1]);
        for (int i = 0; i < count; ++i)
            Emit(TVerb::Line, {Clamp({from.x + (to.x - from.x) * cuts[i], from.y + (to.y - from.y) * cuts[i]})});
        Emit(TVerb::Line, {Clamp(to)});
        current_ = to;
    }

    void Curve(const TSegment& s, int depth) {
        int n = s.PointCount();
        const TPoint* p = s.p;
        if (std::all_of(p, p + n, [this](TPoint q) { return InBox(q, left_, top_, right_, bottom_); })) {
            if (n == 3)
                Emit(TVerb::Quad, {p[1], p[2]});
            else
                Emit(TVerb::Cubic, {p[1], p[2], p[3]});
            current_ = p[n - 1];
            return;
        }
        double minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
        for (int i = 1; i < n; ++i) {
            minX = std::min(minX, p[i].x), maxX = std::max(maxX, p[i].x);
            minY = std::min(minY, p[i].y), maxY = std::max(maxY, p[i].y);
        }
        bool beyondOneSide = maxX <= left_ || minX >= right_ || maxY <= top_ || minY >= bottom_;
        bool small = maxX - minX <= kFlatEnough && maxY - minY <= kFlatEnough;
        if (beyondOneSide || small || depth >= kMaxCutDepth) {
            Line(p[n - 1]);
            return;
        }
        // Halve at t = 1/2 (de Casteljau); halves keep the verb.
        TPoint rows[4][4];
        std::copy(p, p + n, rows[0]);
        for (int level = 1; level < n; ++level)
            for (int i = 0; i < n - level; ++i)
                rows[level][i] = {rows[level - 1][i].x * 0.5 + rows[level - 1][i + 1].x * 0.5,
                                  rows[level - 1][i].y * 0.5 + rows[level - 1][i + 1].y * 0.5};
        TSegment first = s, second = s;
        for (int i = 0; i < n; ++i) {
            first.p[i] = rows[i][0];
            second.p[i] = rows[n - 1 - i][i];
        }
        Curve(first, depth + 1);
        Curve(second, depth + 1);
    }

    void Emit(TVerb verb, std::initializer_list<TPoint> pts) {
        // Runs along one side of the box become one line: what lies far off the canvas costs nothing.
        TPoint p = *pts.begin();
        size_t n = out_.points.size();
        if (verb == TVerb::Line && out_.verbs.back() == TVerb::Line && n >= 2) {
            TPoint a = out_.points[n - 2], b = out_.points[n - 1];
            bool alongX = (p.x == left_ || p.x == right_) && a.x == p.x && b.x == p.x;
            bool alongY = (p.y == top_ || p.y == bottom_) && a.y == p.y && b.y == p.y;
            if (alongX || alongY) {
                out_.points.back() = p;
                return;
            }
        }
        out_.verbs.push_back(verb);
        out_.points.insert(out_.points.end(), pts);
    }

    double left_, top_, right_, bottom_;
    TPath& out_;
    TPoint current_;
};

// Maps the path to device space and cuts it to the box [-margin, width + margin] x [-margin, height +
// margin]; also gives the bounds of the cut path's points. False for non-finite or absurd points.
bool ToDevice(const TPath& path, const TMatrix& toDevice, uint32_t width, uint32_t height, double margin, TPath& out,
              double (&bounds)[4]) {
    TPath device;
    device.verbs = path.verbs;
    device.points.reserve(path.points.size());
    for (TPoint p : path.points) {
        TPoint q = toDevice.Apply(p);
        if (!(std::fabs(q.x) <= kMaxDeviceCoordinate && std::fabs(q.y) <= kMaxDeviceCoordinate))
            return false;
        device.points.push_back(q);
    }
    out = TPath{};
    TBoxCutter cutter(-margin, -margin, width + margin, height + margin, out);
    if (!WalkPath(device, cutter))
        return false;
    bounds[0] = bounds[1] = HUGE_VAL;
    bounds[2] = bounds[3] = -HUGE_VAL;
    for (TPoint p : out.points) {
        bounds[0] = std::min(bounds[0], p.x), bounds[1] = std::min(bounds[1], p.y);
        bounds[2] = std::max(bounds[2], p.x), bounds[3] = std::max(bounds[3], p.y);
    }
    return true;
}

// The canvas part a shape with these point bounds, grown by reach, can touch.
TBox TouchedBox(const double (&bounds)[4], double reach, uint32_t width, uint32_t height) {
    TBox box;
    if (!(bounds[0] <= bounds[2]))
        return box;
    auto side = [](double v, uint32_t limit) { return uint32_t(std::clamp(v, 0.0, double(limit))); };
    box.left = side(std::floor(bounds[0] - reach), width);
    box.top = side(std::floor(bounds[1] - reach), height);
    box.right = side(std::ceil(bounds[2] + reach) + 1, width);
    box.bottom = side(std::ceil(bounds[3] + reach) + 1, height);
    return box;
}

// FreeType's outline arrays, typed from the structure itself (their types changed across releases).
using TFtTag = std::remove_pointer_t<decltype(FT_Outline::tags)>;
using TFtContour = std::remove_pointer_t<decltype(FT_Outline::contours)>;
using TFtCount = decltype(FT_Outline::n_points);
constexpr size_t kMaxOutlinePoints = FT_OUTLINE_POINTS_MAX;
constexpr size_t kMaxOutlineContours = FT_OUTLINE_CONTOURS_MAX;

struct TOutlineBuffer {
    std::vector<FT_Vector> points;
    std::vector<TFtTag> tags;
    std::vector<TFtContour> contours;

    void Clear() {
        points.clear();
        tags.clear();
        contours.clear();
    }
    FT_Outline View() {
        FT_Outline outline{};
        outline.n_points = TFtCount(points.size());
        outline.n_contours = decltype(outline.n_contours)(contours.size());
        outline.points = points.data();
        outline.tags = tags.data();
        outline.contours = contours.data();
        return outline;
    }
};

// Device pixels to 26.6 with y turned upwards, as FreeType's outlines are.
struct TFtSpace {
    uint32_t height;
    FT_Vector operator()(TPoint p) const {
        return {FT_Pos(std::lround(p.x * 64)), FT_Pos(std::lround((double(height) - p.y) * 64))};
    }
};

struct TSpanTarget {
    TMask* mask;
    uint32_t height;
};

void WriteSpans(int y, int count, const FT_Span* spans, void* user) {
    auto* target = static_cast<TSpanTarget*>(user);
    long row = long(target->height) - 1 - y;
    if (row < 0 || row >= long(target->height))
        return;
    for (int i = 0; i < count; ++i)
        if (spans[i].x >= 0)
            target->mask->Raise(uint32_t(spans[i].x), uint32_t(row), spans[i].len, spans[i].coverage);
}

// Rewrites an outline's curves as chords within kFlatness of them. FreeType's smooth rasteriser
// cuts curves loosely enough that a circle of 20 pixels comes out a tenth of a pixel small, which
// shows on icon-sized shapes; with our chords the edges land where they belong.
class TFlattener {
public:
    explicit TFlattener(TOutlineBuffer& out) : out_(out) {}

    bool Run(FT_Outline& outline) {
        static const FT_Outline_Funcs kFuncs = {MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
        if (FT_Outline_Decompose(&outline, &kFuncs, this) != 0)
            return false;
        return EndContour();
    }

private:
    // 1/32 pixel in 26.6 units, and a bound on the chords of one curve.
    static constexpr double kFlatness = 2;
    static constexpr int kMaxChords = 1024;

    bool Add(double x, double y) {
        if (out_.points.size() >= kMaxOutlinePoints)
            return false;
        last_ = {FT_Pos(std::lround(x)), FT_Pos(std::lround(y))};
        out_.points.push_back(last_);
        out_.tags.push_back(TFtTag(FT_CURVE_TAG_ON));
        return true;
    }
    bool EndContour() {
        if (out_.points.size() > contourStart_) {
            if (out_.contours.size() >= kMaxOutlineContours)
                return false;
            out_.contours.push_back(TFtContour(out_.points.size() - 1));
        }
        contourStart_ = out_.points.size();
        return true;
    }
    // Chords of equal parameter steps: a step h strays at most h^2 / 8 times the largest second
    // derivative from the curve, and that derivative is bounded by the control points' second
    // differences (times 2 for a quadratic, 6 for a cubic).
    bool Curve(const FT_Vector* p, int n) {
        double second = 0;
        for (int i = 0; i + 2 < n; ++i)
            second = std::max(second, std::hypot(double(p[i].x - 2 * p[i + 1].x + p[i + 2].x),
                                                 double(p[i].y - 2 * p[i + 1].y + p[i + 2].y)));
        double bound = (n == 4 ? 6 : 2) * second / 8;
        int chords = int(std::clamp(std::ceil(std::sqrt(bound / kFlatness)), 1.0, double(kMaxChords)));
        for (int k = 1; k <= chords; ++k) {
            double t = double(k) / chords, u = 1 - t;
            double w[4] = {u * u, 2 * u * t, t * t, 0};
            if (n == 4)
                w[0] = u * u * u, w[1] = 3 * u * u * t, w[2] = 3 * u * t * t, w[3] = t * t * t;
            double x = 0, y = 0;
            for (int i = 0; i < n; ++i)
                x += w[i] * double(p[i].x), y += w[i] * double(p[i].y);
            if (!Add(x, y))
                return false;
        }
        return true;
    }

    static TFlattener& Self(void* user) { return *static_cast<TFlattener*>(user); }
    static int MoveTo(const FT_Vector* to, void* user) {
        TFlattener& self = Self(user);
        return self.EndContour() && self.Add(double(to->x), double(to->y)) ? 0 : 1;
    }
    static int LineTo(const FT_Vector* to, void* user) { return Self(user).Add(double(to->x), double(to->y)) ? 0 : 1; }
    static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
        TFlattener& self = Self(user);
        FT_Vector p[3] = {self.last_, *control, *to};
        return self.Curve(p, 3) ? 0 : 1;
    }
    static int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
        TFlattener& self = Self(user);
        FT_Vector p[4] = {self.last_, *c1, *c2, *to};
        return self.Curve(p, 4) ? 0 : 1;
    }

    TOutlineBuffer& out_;
    FT_Vector last_{};
    size_t contourStart_ = 0;
};

// Replaces an outline's curves by our chords, unless they would not fit one FreeType outline; then
// FreeType's own chords have to do.
void Flatten(TOutlineBuffer& buffer) {
    if (buffer.contours.empty())
        return;
    TOutlineBuffer flat;
    FT_Outline outline = buffer.View();
    if (TFlattener(flat).Run(outline))
        buffer = std::move(flat);
}

bool Render(TOutlineBuffer& buffer, bool evenOdd, const TBox& area, uint32_t height, TMask& mask) {
    if (buffer.contours.empty() || area.Empty())
        return true;
    FT_Outline outline = buffer.View();
    outline.flags = evenOdd ? FT_OUTLINE_EVEN_ODD_FILL : FT_OUTLINE_NONE;
    TSpanTarget target{&mask, height};
    FT_Raster_Params params{};
    params.source = &outline;
    params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
    params.gray_spans = WriteSpans;
    params.user = &target;
    params.clip_box.xMin = FT_Pos(area.left);
    params.clip_box.xMax = FT_Pos(area.right);
    params.clip_box.yMin = FT_Pos(height - area.bottom);
    params.clip_box.yMax = FT_Pos(height - area.top);
    return FT_Outline_Render(Library(), &outline, &params) == 0;
}

// Gathers a cut path's contours as a FreeType outline for filling (contours close by themselves).
class TFillOutline {
public:
    TFillOutline(TOutlineBuffer& buffer, TFtSpace space) : buffer_(buffer), space_(space) {}

    void BeginContour(TPoint p) {
        first_ = buffer_.points.size();
        Add(p, FT_CURVE_TAG_ON);
    }
    void Segment(const TSegment& s) {
        if (s.verb == TVerb::Line) {
            Add(s.p[1], FT_CURVE_TAG_ON);
        } else if (s.verb == TVerb::Quad) {
            Add(s.p[1], FT_CURVE_TAG_CONIC);
            Add(s.p[2], FT_CURVE_TAG_ON);
        } else {
            Add(s.p[1], FT_CURVE_TAG_CUBIC);
            Add(s.p[2], FT_CURVE_TAG_CUBIC);
            Add(s.p[3], FT_CURVE_TAG_ON);
        }
    }
    void EndContour(bool, bool) {
        if (buffer_.points.size() - first_ < 2) {
            buffer_.points.resize(first_); // a lone point encloses nothing
            buffer_.tags.resize(first_);
        } else {
            buffer_.contours.push_back(TFtContour(buffer_.points.size() - 1));
        }
    }
    bool Fits() const {
        return buffer_.points.size() <= kMaxOutlinePoints && buffer_.contours.size() <= kMaxOutlineContours;
    }

private:
    void Add(TPoint p, char tag) {
        buffer_.points.push_back(space_(p));
        buffer_.tags.push_back(TFtTag(tag));
    }

    TOutlineBuffer& buffer_;
    TFtSpace space_;
    size_t first_ = 0;
};

// Strokes a cut path contour by contour and gathers the stroke outlines into batches that fit one
// FreeType outline. Within a batch the outlines are filled together with the non-zero rule, which
// unites overlapping strokes; separate batches meet by the larger coverage.
class TStrokeOutline {
public:
    TStrokeOutline(FT_Stroker stroker, TFtSpace space, bool dots, const TBox& area, TMask& mask)
        : stroker_(stroker), space_(space), dots_(dots), area_(area), mask_(mask) {}

    void BeginContour(TPoint p) {
        start_ = last_ = space_(p);
        steps_.clear();
    }
    void Segment(const TSegment& s) {
        TStep step{s.verb, {}};
        int count = s.PointCount() - 1;
        long reach = 0;
        for (int i = 0; i < count; ++i) {
            step.p[i] = space_(s.p[i + 1]);
            reach = std::max({reach, std::labs(step.p[i].x - last_.x), std::labs(step.p[i].y - last_.y)});
        }
        FT_Vector end = step.p[count - 1];
        // FreeType's stroker crashes on some curves of a unit or two, and on a conic whose control
        // sits on an end; both are straight lines at this resolution anyway.
        bool straight = reach <= 2 || (count == 2 && (Same(step.p[0], last_) || Same(step.p[0], end))) ||
                        (count == 3 && Same(step.p[0], last_) && Same(step.p[1], end));
        if (straight && count > 1)
            step = {TVerb::Line, {end}};
        // Steps that do not move at this resolution would only give the stroker nothing to aim by.
        if (reach > 0) {
            steps_.push_back(step);
            last_ = end;
        }
    }
    void EndContour(bool closed, bool hadSteps) {
        if (!ok_)
            return;
        FT_Vector start = start_;
        if (steps_.empty()) {
            // A dot: a step of 1/64 pixel along x gets the caps drawn around the point, so a square cap
            // stands square to the axes.
            if (!hadSteps || !dots_)
                return;
            closed = false;
            steps_.push_back({TVerb::Line, {{start.x + 1, start.y}}});
        }
        ok_ = FT_Stroker_BeginSubPath(stroker_, &start, !closed) == 0;
        for (TStep& step : steps_) {
            if (!ok_)
                break;
            if (step.verb == TVerb::Line)
                ok_ = FT_Stroker_LineTo(stroker_, &step.p[0]) == 0;
            else if (step.verb == TVerb::Quad)
                ok_ = FT_Stroker_ConicTo(stroker_, &step.p[0], &step.p[1]) == 0;
            else
                ok_ = FT_Stroker_CubicTo(stroker_, &step.p[0], &step.p[1], &step.p[2]) == 0;
        }
        ok_ = ok_ && FT_Stroker_EndSubPath(stroker_) == 0 && Export();
        FT_Stroker_Rewind(stroker_);
    }
    bool Finish() { return ok_ && Render(buffer_, false, area_, space_.height, mask_); }

private:
    struct TStep {
        TVerb verb;
        FT_Vector p[3];
    };
    static bool Same(FT_Vector a, FT_Vector b) { return a.x == b.x && a.y == b.y; }

    bool Export() {
        FT_UInt points = 0, contours = 0;
        if (FT_Stroker_GetCounts(stroker_, &points, &contours) != 0)
            return false;
        if (points > kMaxOutlinePoints || contours > kMaxOutlineContours)
            return false;
        piece_.points.resize(points);
        piece_.tags.resize(points);
        piece_.contours.resize(contours);
        FT_Outline outline = piece_.View();
        outline.n_points = outline.n_contours = 0;
        FT_Stroker_Export(stroker_, &outline);
        piece_.points.resize(size_t(outline.n_points));
        piece_.tags.resize(size_t(outline.n_points));
        piece_.contours.resize(size_t(outline.n_contours));
        Flatten(piece_);
        // The batch is drawn when the piece would not fit in with it.
        if (buffer_.points.size() + piece_.points.size() > kMaxOutlinePoints ||
            buffer_.contours.size() + piece_.contours.size() > kMaxOutlineContours) {
            if (!Render(buffer_, false, area_, space_.height, mask_))
                return false;
            buffer_.Clear();
        }
        size_t base = buffer_.points.size();
        buffer_.points.insert(buffer_.points.end(), piece_.points.begin(), piece_.points.end());
        buffer_.tags.insert(buffer_.tags.end(), piece_.tags.begin(), piece_.tags.end());
        for (TFtContour end : piece_.contours)
            buffer_.contours.push_back(TFtContour(base + size_t(end)));
        return true;
    }

    FT_Stroker stroker_;
    TFtSpace space_;
    bool dots_;
    TBox area_;
    TMask& mask_;
    TOutlineBuffer buffer_, piece_;
    FT_Vector start_{}, last_{};
    std::vector<TStep> steps_;
    bool ok_ = true;
};

} // namespace

bool CanvasSizeOk(uint32_t width, uint32_t height) {
    return width > 0 && height > 0 && width <= kMaxCanvasSide && height <= kMaxCanvasSide &&
           uint64_t(width) * height <= kMaxCanvasPixels;
}

TBox IntersectBoxes(const TBox& a, const TBox& b) {
    TBox box{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
             std::min(a.bottom, b.bottom)};
    return box.Empty() ? TBox{} : box;
}

TMask::TMask(uint32_t width, uint32_t height, const TBox& area)
    : width_(width), height_(height), area_(IntersectBoxes(area, {0, 0, width, height})) {
    coverage_.assign(size_t(area_.right - area_.left) * (area_.bottom - area_.top), 0);
}

TMask TMask::Opaque(uint32_t width, uint32_t height) {
    TMask mask(width, height, {0, 0, width, height});
    std::fill(mask.coverage_.begin(), mask.coverage_.end(), uint8_t(255));
    mask.bounds_ = mask.area_;
    return mask;
}

void TMask::Raise(uint32_t x, uint32_t y, uint32_t count, uint8_t value) {
    if (y < area_.top || y >= area_.bottom || value == 0)
        return;
    uint32_t from = std::max(x, area_.left);
    uint32_t to = uint32_t(std::min<uint64_t>(uint64_t(x) + count, area_.right));
    if (from >= to)
        return;
    uint8_t* row = coverage_.data() + size_t(y - area_.top) * (area_.right - area_.left);
    for (uint32_t i = from - area_.left; i < to - area_.left; ++i)
        row[i] = std::max(row[i], value);
    if (bounds_.Empty()) {
        bounds_ = {from, y, to, y + 1};
    } else {
        bounds_ = {std::min(bounds_.left, from), std::min(bounds_.top, y), std::max(bounds_.right, to),
                   std::max(bounds_.bottom, y + 1)};
    }
}

bool FillMask(const TPath& path, const TMatrix& toDevice, TFillRule rule, uint32_t width, uint32_t height, TMask& out) {
    out = TMask();
    if (!CanvasSizeOk(width, height) || !Library())
        return false;
    TPath device;
    double bounds[4];
    if (!ToDevice(path, toDevice, width, height, kFillMargin, device, bounds))
        return false;
    TOutlineBuffer buffer;
    TFillOutline outline(buffer, {height});
    if (!WalkPath(device, outline) || !outline.Fits())
        return false;
    Flatten(buffer);
    TBox area = TouchedBox(bounds, 1, width, height);
    TMask mask(width, height, area);
    if (!Render(buffer, rule == TFillRule::EvenOdd, area, height, mask))
        return false;
    out = std::move(mask);
    return true;
}

bool StrokeMask(const TPath& path, const TMatrix& toDevice, const TStroke& stroke, uint32_t width, uint32_t height,
                TMask& out) {
    out = TMask();
    if (!CanvasSizeOk(width, height) || !Library() || std::isnan(stroke.width) || std::isinf(stroke.width))
        return false;
    double half = stroke.width > 0 ? stroke.width / 2 : 0.5;
    TLineJoin join = stroke.join;
    double miterLimit = std::isnan(stroke.miterLimit) ? 4 : std::min(stroke.miterLimit, 32767.0);
    if (miterLimit < 1 && join == TLineJoin::Miter)
        join = TLineJoin::Bevel; // no miter is that short
    // How far the stroke can reach from the path: half the width, times the miter limit at a miter
    // join, times the diagonal at a square cap. The cut box leaves that much room, up to what it can
    // hold; past that only a miter spike at a cut could go astray. A width past it is cut back, as
    // such a stroke covers the whole canvas around the path anyway.
    double maxReach = kMaxCoordinate - std::max(width, height) - 4;
    half = std::min(half, maxReach / 1.5);
    double factor = std::max(join == TLineJoin::Miter ? miterLimit : 1.0, stroke.cap == TLineCap::Square ? 1.5 : 1.0);
    double reach = std::min(half * factor, maxReach);
    TPath device;
    double bounds[4];
    if (!ToDevice(path, toDevice, width, height, reach + 2, device, bounds))
        return false;
    TBox area = TouchedBox(bounds, reach + 1, width, height);
    TMask mask(width, height, area);
    if (area.Empty()) {
        out = std::move(mask);
        return true;
    }
    FT_Stroker raw = nullptr;
    if (FT_Stroker_New(Library(), &raw) != 0)
        return false;
    TStrokerPtr stroker(raw);
    static const FT_Stroker_LineCap kCaps[] = {FT_STROKER_LINECAP_BUTT, FT_STROKER_LINECAP_ROUND,
                                               FT_STROKER_LINECAP_SQUARE};
    // Fixed miters: past the limit the join is a bevel, as on Android and in SVG.
    static const FT_Stroker_LineJoin kJoins[] = {FT_STROKER_LINEJOIN_MITER_FIXED, FT_STROKER_LINEJOIN_ROUND,
                                                 FT_STROKER_LINEJOIN_BEVEL};
    FT_Stroker_Set(raw, std::max<FT_Fixed>(1, FT_Fixed(std::lround(half * 64))), kCaps[int(stroke.cap)],
                   kJoins[int(join)], FT_Fixed(std::lround(std::max(miterLimit, 1.0) * 65536)));
    TStrokeOutline outline(raw, {height}, stroke.cap != TLineCap::Butt, area, mask);
    if (!WalkPath(device, outline) || !outline.Finish())
        return false;
    out = std::move(mask);
    return true;
}

TMask Intersect(const TMask& a, const TMask& b) {
    uint32_t width = std::min(a.Width(), b.Width()), height = std::min(a.Height(), b.Height());
    TBox box = IntersectBoxes(IntersectBoxes(a.Bounds(), b.Bounds()), {0, 0, width, height});
    TMask out(width, height, box);
    for (uint32_t y = box.top; y < box.bottom; ++y)
        for (uint32_t x = box.left; x < box.right; ++x)
            out.Raise(x, y, 1, uint8_t((a.At(x, y) * b.At(x, y) + 127) / 255));
    return out;
}
