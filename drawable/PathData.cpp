#include "drawable/PathData.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

using TVerb = TPath::TVerb;

constexpr double kPi = 3.14159265358979323846;

bool IsSeparator(char c) {
    return c == ' ' || c == ',' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Lexes numbers and flags. Numbers follow the path grammar rather than strtod, which would take
// "inf", hexadecimal and the locale's decimal point.
class TScanner {
public:
    explicit TScanner(std::string_view text) : text_(text) {}

    void SkipSeparators() {
        while (pos_ < text_.size() && IsSeparator(text_[pos_]))
            ++pos_;
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return text_[pos_]; }
    void Advance() { ++pos_; }

    bool AtNumber() {
        SkipSeparators();
        if (AtEnd())
            return false;
        char c = text_[pos_];
        return IsDigit(c) || c == '.' || c == '-' || c == '+';
    }

    // sign? digits* ('.' digits*)? (e sign? digits+)?, with at least one mantissa digit. A second '.'
    // or a sign ends the number, so "1.5.5" is two numbers and "1-2" too.
    bool Number(double& out) {
        SkipSeparators();
        size_t p = pos_;
        bool negative = false;
        if (p < text_.size() && (text_[p] == '-' || text_[p] == '+'))
            negative = text_[p++] == '-';
        size_t mantissa = p, digits = 0;
        while (p < text_.size() && IsDigit(text_[p]))
            ++p, ++digits;
        if (p < text_.size() && text_[p] == '.') {
            ++p;
            while (p < text_.size() && IsDigit(text_[p]))
                ++p, ++digits;
        }
        if (digits == 0)
            return false;
        size_t mantissaEnd = p;
        bool negativeExponent = false;
        if (p < text_.size() && (text_[p] == 'e' || text_[p] == 'E')) {
            size_t q = p + 1;
            if (q < text_.size() && (text_[q] == '-' || text_[q] == '+'))
                negativeExponent = text_[q++] == '-';
            if (q < text_.size() && IsDigit(text_[q])) {
                while (q < text_.size() && IsDigit(text_[q]))
                    ++q;
                p = q;
            }
        }
        double value = 0;
        auto [end, error] = std::from_chars(text_.data() + mantissa, text_.data() + p, value);
        if (error == std::errc::result_out_of_range) {
            // Too small comes out as zero, too large is refused; a mantissa of zeros is zero at any exponent.
            bool zero = std::all_of(text_.data() + mantissa, text_.data() + mantissaEnd,
                                    [](char c) { return c == '0' || c == '.'; });
            if (!zero && !negativeExponent)
                return false;
            value = 0;
        } else if (error != std::errc() || end != text_.data() + p || !std::isfinite(value)) {
            return false;
        }
        out = negative ? -value : value;
        pos_ = p;
        return true;
    }

    // Arc flags are one character each and need no separator: "a1 1 0 00 1 1".
    bool Flag(double& out) {
        SkipSeparators();
        if (AtEnd() || (text_[pos_] != '0' && text_[pos_] != '1'))
            return false;
        out = text_[pos_++] == '1';
        return true;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// Builds the path while keeping the state the relative and smooth commands need.
class TBuilder {
public:
    explicit TBuilder(TPath& out) : out_(out) {}

    TPoint Current() const { return current_; }

    bool MoveTo(TPoint p) {
        if (!Add(TVerb::Move, &p, 1))
            return false;
        current_ = start_ = p;
        open_ = true;
        return true;
    }
    bool LineTo(TPoint p) { return Draw(TVerb::Line, &p, 1, p); }
    bool QuadTo(TPoint c, TPoint p) {
        TPoint pts[2] = {c, p};
        return Draw(TVerb::Quad, pts, 2, p);
    }
    bool CubicTo(TPoint c1, TPoint c2, TPoint p) {
        TPoint pts[3] = {c1, c2, p};
        return Draw(TVerb::Cubic, pts, 3, p);
    }
    bool Close() {
        if (open_ && !Add(TVerb::Close, nullptr, 0))
            return false;
        open_ = false;
        current_ = start_;
        return true;
    }
    bool ArcTo(double rx, double ry, double angle, bool large, bool sweep, TPoint to);

private:
    bool Add(TVerb verb, const TPoint* pts, size_t count) {
        if (out_.verbs.size() >= kMaxPathPoints || out_.points.size() + count > kMaxPathPoints)
            return false;
        out_.verbs.push_back(verb);
        out_.points.insert(out_.points.end(), pts, pts + count);
        return true;
    }
    // After a close the next drawing command starts a new contour at the old start.
    bool Draw(TVerb verb, const TPoint* pts, size_t count, TPoint end) {
        if (!open_ && !MoveTo(start_))
            return false;
        if (!Add(verb, pts, count))
            return false;
        current_ = end;
        return true;
    }

    TPath& out_;
    TPoint current_, start_;
    bool open_ = false;
};

// The arc from the current point to `to` on an ellipse of radii rx, ry turned by angle degrees, by
// the endpoint-to-centre conversion. The work is done on the unit circle the ellipse maps to, which
// keeps huge or tiny radii from overflowing; radii too small to reach are scaled up until they do.
bool TBuilder::ArcTo(double rx, double ry, double angle, bool large, bool sweep, TPoint to) {
    TPoint from = current_;
    if (from.x == to.x && from.y == to.y)
        return true;
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    if (rx == 0 || ry == 0)
        return LineTo(to);
    double radians = std::fmod(angle, 360.0) * (kPi / 180);
    double cosA = std::cos(radians), sinA = std::sin(radians);
    double hx = (from.x - to.x) / 2, hy = (from.y - to.y) / 2;
    // Half the chord in the ellipse's own axes, then on the unit circle.
    double ux = (cosA * hx + sinA * hy) / rx, uy = (-sinA * hx + cosA * hy) / ry;
    double reach = std::hypot(ux, uy);
    if (!(reach > 0))
        return LineTo(to); // radii so large that the arc is its chord
    double centreX = 0, centreY = 0;
    if (reach >= 1) {
        rx *= reach;
        ry *= reach;
        ux /= reach;
        uy /= reach;
    } else {
        double k = std::sqrt((1 - reach * reach)) / reach;
        if (large == sweep)
            k = -k;
        centreX = k * uy;
        centreY = -k * ux;
    }
    double startAngle = std::atan2(uy - centreY, ux - centreX);
    double sweepAngle = std::atan2(-uy - centreY, -ux - centreX) - startAngle;
    if (sweep && sweepAngle < 0)
        sweepAngle += 2 * kPi;
    else if (!sweep && sweepAngle > 0)
        sweepAngle -= 2 * kPi;
    if (!std::isfinite(sweepAngle) || !std::isfinite(rx) || !std::isfinite(ry))
        return false;

    double midX = (from.x + to.x) / 2, midY = (from.y + to.y) / 2;
    auto map = [&](double x, double y) {
        double ex = rx * (centreX + x), ey = ry * (centreY + y);
        return TPoint{midX + cosA * ex - sinA * ey, midY + sinA * ex + cosA * ey};
    };
    // Pieces of at most a quarter turn, each a cubic whose handles are 4/3 tan(step / 4) long.
    int pieces = std::max(1, int(std::ceil(std::fabs(sweepAngle) / (kPi / 2) - 1e-9)));
    double step = sweepAngle / pieces;
    double handle = 4.0 / 3.0 * std::tan(step / 4);
    double a0 = startAngle;
    for (int i = 0; i < pieces; ++i) {
        double a1 = a0 + step;
        double c0 = std::cos(a0), s0 = std::sin(a0), c1 = std::cos(a1), s1 = std::sin(a1);
        TPoint end = i + 1 == pieces ? to : map(c1, s1);
        TPoint p1 = map(c0 - handle * s0, s0 + handle * c0), p2 = map(c1 + handle * s1, s1 - handle * c1);
        if (!std::isfinite(p1.x) || !std::isfinite(p1.y) || !std::isfinite(p2.x) || !std::isfinite(p2.y) ||
            !std::isfinite(end.x) || !std::isfinite(end.y) || !CubicTo(p1, p2, end))
            return false;
        a0 = a1;
    }
    return true;
}

// How many numbers one repetition of a command takes.
int ArgumentCount(char command) {
    switch (command | 0x20) {
    case 'm':
    case 'l':
    case 't':
        return 2;
    case 'h':
    case 'v':
        return 1;
    case 's':
    case 'q':
        return 4;
    case 'c':
        return 6;
    case 'a':
        return 7;
    case 'z':
        return 0;
    default:
        return -1;
    }
}

bool IsFinitePoint(TPoint p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

bool Parse(std::string_view text, TPath& out) {
    if (text.size() > kMaxPathDataLength)
        return false;
    TScanner scan(text);
    TBuilder build(out);
    // The control point a smooth curve reflects, and the family of curve that left it.
    enum class TFamily { None, Cubic, Quad } family = TFamily::None;
    TPoint control;
    char command = 0;
    bool ok = true;
    while (ok) {
        scan.SkipSeparators();
        if (scan.AtEnd())
            break;
        char c = scan.Peek();
        if (ArgumentCount(c) >= 0) {
            command = c;
            scan.Advance();
        } else if (!(command && ArgumentCount(command) > 0 && scan.AtNumber())) {
            return false; // an unknown letter, or numbers with no command to repeat
        }
        char lower = char(command | 0x20);
        bool relative = command == lower;
        if (lower == 'z') {
            ok = build.Close();
            family = TFamily::None;
            continue;
        }
        double v[7];
        int count = ArgumentCount(command);
        for (int i = 0; i < count && ok; ++i)
            ok = lower == 'a' && (i == 3 || i == 4) ? scan.Flag(v[i]) : scan.Number(v[i]);
        if (!ok)
            return false;
        TPoint at = build.Current();
        double dx = relative ? at.x : 0, dy = relative ? at.y : 0;
        auto point = [&](int i) { return TPoint{v[i] + dx, v[i + 1] + dy}; };
        TFamily next = TFamily::None;
        switch (lower) {
        case 'm':
            ok = build.MoveTo(point(0));
            command = relative ? 'l' : 'L'; // further pairs draw lines
            break;
        case 'l':
            ok = build.LineTo(point(0));
            break;
        case 'h':
            ok = build.LineTo({v[0] + dx, at.y});
            break;
        case 'v':
            ok = build.LineTo({at.x, v[0] + dy});
            break;
        case 'c':
            control = point(2);
            ok = build.CubicTo(point(0), control, point(4));
            next = TFamily::Cubic;
            break;
        case 's': {
            TPoint first = family == TFamily::Cubic ? TPoint{2 * at.x - control.x, 2 * at.y - control.y} : at;
            control = point(0);
            ok = build.CubicTo(first, control, point(2));
            next = TFamily::Cubic;
            break;
        }
        case 'q':
            control = point(0);
            ok = build.QuadTo(control, point(2));
            next = TFamily::Quad;
            break;
        case 't':
            control = family == TFamily::Quad ? TPoint{2 * at.x - control.x, 2 * at.y - control.y} : at;
            ok = build.QuadTo(control, point(0));
            next = TFamily::Quad;
            break;
        case 'a':
            ok = build.ArcTo(v[0], v[1], v[2], v[3] != 0, v[4] != 0, point(5));
            break;
        }
        family = next;
        // Sums of finite numbers can still overflow.
        ok = ok && IsFinitePoint(build.Current()) && IsFinitePoint(control);
    }
    return ok;
}

} // namespace

bool ParsePathData(std::string_view text, TPath& out) {
    out = TPath{};
    if (Parse(text, out))
        return true;
    out = TPath{};
    return false;
}

namespace {

// Curves are measured by cutting them into this many chords, which for the quarter circles arcs
// become is within 1e-4 of the true length.
constexpr int kMeasureSteps = 32;

TPoint Lerp(TPoint a, TPoint b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

TPoint Evaluate(const TSegment& s, double t) {
    TPoint q[4];
    int n = s.PointCount();
    std::copy(s.p, s.p + n, q);
    for (int level = n - 1; level > 0; --level)
        for (int i = 0; i < level; ++i)
            q[i] = Lerp(q[i], q[i + 1], t);
    return q[0];
}

// The part of a segment between parameters t0 and t1, by two de Casteljau cuts.
TSegment SubSegment(const TSegment& s, double t0, double t1) {
    int n = s.PointCount();
    auto cut = [n](const TSegment& in, double t, bool keepFirst) {
        TPoint rows[4][4];
        std::copy(in.p, in.p + n, rows[0]);
        for (int level = 1; level < n; ++level)
            for (int i = 0; i < n - level; ++i)
                rows[level][i] = Lerp(rows[level - 1][i], rows[level - 1][i + 1], t);
        TSegment out = in;
        for (int i = 0; i < n; ++i)
            out.p[i] = keepFirst ? rows[i][0] : rows[n - 1 - i][i];
        return out;
    };
    TSegment head = t1 < 1 ? cut(s, t1, true) : s;
    return t0 > 0 && t1 > 0 ? cut(head, t0 / t1, false) : head;
}

double Distance(TPoint a, TPoint b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

// Walks the chords of a segment; returns the length, or with `target` set, the parameter at which
// that much of the length is reached.
double Measure(const TSegment& s, const double* target = nullptr) {
    if (s.verb == TVerb::Line) {
        double length = Distance(s.p[0], s.p[1]);
        return target ? (length > 0 ? *target / length : 0) : length;
    }
    double length = 0;
    TPoint previous = s.p[0];
    for (int i = 1; i <= kMeasureSteps; ++i) {
        TPoint p = Evaluate(s, double(i) / kMeasureSteps);
        double chord = Distance(previous, p);
        if (target && length + chord >= *target)
            return (i - 1 + (chord > 0 ? (*target - length) / chord : 0)) / kMeasureSteps;
        length += chord;
        previous = p;
    }
    return target ? 1 : length;
}

// The steps of the first contour that has any length, each with its length.
struct TFirstContour {
    std::vector<TSegment> segments;
    std::vector<double> lengths;
    double total = 0;
    bool done = false;

    void BeginContour(TPoint) {
        if (!done)
            segments.clear(), lengths.clear(), total = 0;
    }
    void Segment(const TSegment& s) {
        if (done)
            return;
        segments.push_back(s);
        lengths.push_back(Measure(s));
        total += lengths.back();
    }
    void EndContour(bool, bool) { done = done || total > 0; }
};

void AppendPiece(const TFirstContour& contour, double from, double to, TPath& out) {
    from = std::max(from, 0.0);
    to = std::min(to, contour.total);
    if (!(from < to))
        return;
    double at = 0;
    bool started = false;
    for (size_t i = 0; i < contour.segments.size() && at < to; ++i) {
        double length = contour.lengths[i], end = at + length;
        if (end > from) {
            const TSegment& s = contour.segments[i];
            double localFrom = from - at, localTo = to - at;
            double t0 = from > at ? Measure(s, &localFrom) : 0;
            double t1 = to < end ? Measure(s, &localTo) : 1;
            TSegment piece = SubSegment(s, t0, t1);
            if (!started) {
                out.verbs.push_back(TVerb::Move);
                out.points.push_back(piece.p[0]);
                started = true;
            }
            out.verbs.push_back(piece.verb);
            out.points.insert(out.points.end(), piece.p + 1, piece.p + piece.PointCount());
        }
        at = end;
    }
}

} // namespace

TPath TrimPath(const TPath& path, double start, double end, double offset) {
    if (start == 0 && end == 1)
        return path;
    TPath out;
    start = std::fmod(start + offset, 1.0);
    end = std::fmod(end + offset, 1.0);
    TFirstContour contour;
    if (!std::isfinite(start) || !std::isfinite(end) || !WalkPath(path, contour) || !(contour.total > 0))
        return out;
    double length = contour.total;
    if (start > end) {
        AppendPiece(contour, start * length, length, out);
        AppendPiece(contour, 0, end * length, out);
    } else {
        AppendPiece(contour, start * length, end * length, out);
    }
    return out;
}

TPath RoundRectPath(double x, double y, double width, double height, double rx, double ry) {
    TPath path;
    if (!(width > 0 && height > 0) || !std::isfinite(x + y + width + height + rx + ry))
        return path;
    rx = std::clamp(rx, 0.0, width / 2);
    ry = std::clamp(ry, 0.0, height / 2);
    if (rx == 0 || ry == 0)
        rx = ry = 0;
    // A quarter ellipse as one cubic: handles of 4/3 (sqrt 2 - 1) of the radius.
    const double k = 0.5522847498307936;
    double right = x + width, bottom = y + height;
    auto add = [&path](TVerb verb, std::initializer_list<TPoint> pts) {
        path.verbs.push_back(verb);
        path.points.insert(path.points.end(), pts);
    };
    auto line = [&](TPoint p) {
        if (p.x != path.points.back().x || p.y != path.points.back().y)
            add(TVerb::Line, {p});
    };
    auto corner = [&](TPoint c1, TPoint c2, TPoint p) {
        if (rx > 0)
            add(TVerb::Cubic, {c1, c2, p});
    };
    add(TVerb::Move, {{x + rx, y}});
    line({right - rx, y});
    corner({right - rx + k * rx, y}, {right, y + ry - k * ry}, {right, y + ry});
    line({right, bottom - ry});
    corner({right, bottom - ry + k * ry}, {right - rx + k * rx, bottom}, {right - rx, bottom});
    line({x + rx, bottom});
    corner({x + rx - k * rx, bottom}, {x, bottom - ry + k * ry}, {x, bottom - ry});
    line({x, y + ry});
    corner({x, y + ry - k * ry}, {x + rx - k * rx, y}, {x + rx, y});
    add(TVerb::Close, {});
    return path;
}

TPath OvalPath(double x, double y, double width, double height) {
    return RoundRectPath(x, y, width, height, width / 2, height / 2);
}
