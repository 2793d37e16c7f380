#include "drawable/DrawableReader.h"

#include "image/Bitmap.h"
#include "resources/ResValues.h"
#include "resources/XmlTree.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

// The framework's attribute ids, as a compiled document names its attributes.
namespace Attr {
constexpr uint32_t kSrc = 0x01010119;
constexpr uint32_t kTint = 0x01010121;
constexpr uint32_t kHeight = 0x01010155;
constexpr uint32_t kWidth = 0x01010159;
constexpr uint32_t kDrawable = 0x01010199;
constexpr uint32_t kShape = 0x0101019a;
constexpr uint32_t kStartColor = 0x0101019d;
constexpr uint32_t kEndColor = 0x0101019e;
constexpr uint32_t kAngle = 0x010101a0;
constexpr uint32_t kType = 0x010101a1;
constexpr uint32_t kCenterX = 0x010101a2;
constexpr uint32_t kCenterY = 0x010101a3;
constexpr uint32_t kGradientRadius = 0x010101a4;
constexpr uint32_t kColor = 0x010101a5;
constexpr uint32_t kRadius = 0x010101a8;
constexpr uint32_t kTopLeftRadius = 0x010101a9;
constexpr uint32_t kTopRightRadius = 0x010101aa;
constexpr uint32_t kBottomLeftRadius = 0x010101ab;
constexpr uint32_t kBottomRightRadius = 0x010101ac;
constexpr uint32_t kLeft = 0x010101ad;
constexpr uint32_t kTop = 0x010101ae;
constexpr uint32_t kRight = 0x010101af;
constexpr uint32_t kBottom = 0x010101b0;
constexpr uint32_t kPivotX = 0x010101b5;
constexpr uint32_t kPivotY = 0x010101b6;
constexpr uint32_t kInsetLeft = 0x010101b7;
constexpr uint32_t kInsetRight = 0x010101b8;
constexpr uint32_t kInsetTop = 0x010101b9;
constexpr uint32_t kInsetBottom = 0x010101ba;
constexpr uint32_t kGravity = 0x010100af;
constexpr uint32_t kTileMode = 0x01010201;
constexpr uint32_t kCenterColor = 0x0101020b;
constexpr uint32_t kAlpha = 0x0101031f;
constexpr uint32_t kScaleX = 0x01010324;
constexpr uint32_t kScaleY = 0x01010325;
constexpr uint32_t kRotation = 0x01010326;
constexpr uint32_t kTintMode = 0x010103fb;
constexpr uint32_t kViewportWidth = 0x01010402;
constexpr uint32_t kViewportHeight = 0x01010403;
constexpr uint32_t kFillColor = 0x01010404;
constexpr uint32_t kPathData = 0x01010405;
constexpr uint32_t kStrokeColor = 0x01010406;
constexpr uint32_t kStrokeWidth = 0x01010407;
constexpr uint32_t kTrimPathStart = 0x01010408;
constexpr uint32_t kTrimPathEnd = 0x01010409;
constexpr uint32_t kTrimPathOffset = 0x0101040a;
constexpr uint32_t kStrokeLineCap = 0x0101040b;
constexpr uint32_t kStrokeLineJoin = 0x0101040c;
constexpr uint32_t kStrokeMiterLimit = 0x0101040d;
constexpr uint32_t kTranslateX = 0x0101045a;
constexpr uint32_t kTranslateY = 0x0101045b;
constexpr uint32_t kInset = 0x010104b5;
constexpr uint32_t kStrokeAlpha = 0x010104cb;
constexpr uint32_t kFillAlpha = 0x010104cc;
constexpr uint32_t kStart = 0x010104db;
constexpr uint32_t kEnd = 0x010104dc;
constexpr uint32_t kStartX = 0x01010510;
constexpr uint32_t kStartY = 0x01010511;
constexpr uint32_t kEndX = 0x01010512;
constexpr uint32_t kEndY = 0x01010513;
constexpr uint32_t kOffset = 0x01010514;
constexpr uint32_t kFillType = 0x0101051e;
} // namespace Attr

// Why a drawable can't be drawn; caught where a read begins.
class TCantDraw : public std::exception {
public:
    explicit TCantDraw(std::string why) : why_(std::move(why)) {}
    const char* what() const noexcept override { return why_.c_str(); }

private:
    std::string why_;
};

[[noreturn]] void Fail(std::string why) {
    throw TCantDraw(std::move(why));
}

std::string Hex(uint32_t id) {
    static const char digits[] = "0123456789abcdef";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        text += digits[(id >> shift) & 0xF];
    return text;
}

struct TAttribute {
    uint32_t resId = 0;
    std::string name;
    TResValue value;
    std::string text; // the string, when the value is one
};

struct TElement {
    std::string name;
    std::vector<TAttribute> attributes;
    std::vector<TElement> children;

    const TAttribute* Find(uint32_t resId) const {
        for (const TAttribute& attribute : attributes) {
            if (attribute.resId == resId)
                return &attribute;
        }
        return nullptr;
    }
};

// A value at the end of its references, and the source whose table gave it.
struct TResolved {
    TResValue value;
    std::string text;
    size_t source = 0;
};

bool IsCompiledXml(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= 8 && bytes[0] == 0x03 && bytes[1] == 0x00 && bytes[2] == 0x08 && bytes[3] == 0x00;
}

// The density a bitmap's folder is for ("res/mipmap-xxhdpi-v4/x.webp": 480), 160 when none.
double FolderDensity(const std::string& member) {
    static const struct {
        const char* qualifier;
        double density;
    } kDensities[] = {{"-ldpi", 120},  {"-mdpi", 160},   {"-tvdpi", 213},  {"-hdpi", 240},
                      {"-xhdpi", 320}, {"-xxhdpi", 480}, {"-xxxhdpi", 640}};
    const std::string folder = member.substr(0, member.find_last_of('/'));
    for (const auto& entry : kDensities) {
        const size_t at = folder.find(entry.qualifier);
        if (at != std::string::npos) {
            const size_t end = at + std::char_traits<char>::length(entry.qualifier);
            if (end == folder.size() || folder[end] == '-')
                return entry.density;
        }
    }
    return 160;
}

} // namespace

class TDrawableReader::TSession {
public:
    TSession(const std::vector<TResourceSource>& sources, const TResConfig& request, double density)
        : sources_(sources), request_(request), density_(density) {}

    TDrawablePtr File(const std::string& member, size_t source, int depth) {
        if (depth > kMaxDepth)
            Fail("drawables nested too deeply");
        if (std::find(open_.begin(), open_.end(), member) != open_.end())
            Fail(member + " refers to itself");
        if (++files_ > kMaxFiles)
            Fail("too many files");
        std::vector<uint8_t> bytes;
        if (!ReadMember(member, source, kMaxBitmapBytes, bytes))
            Fail("no readable member " + member);
        if (!IsCompiledXml(bytes))
            return Bitmap(member, bytes);
        open_.push_back(member);
        const TElement root = Document(member, bytes);
        TDrawablePtr drawable = Element(root, source, depth);
        open_.pop_back();
        return drawable;
    }

private:
    // ---- files and documents

    bool ReadMember(const std::string& member, size_t source, size_t maxSize, std::vector<uint8_t>& bytes) {
        // A split's table may name a file that only the base holds, and the other way round.
        if (sources_[source].files && sources_[source].files->Read(member, maxSize, bytes))
            return true;
        for (const TResourceSource& other : sources_) {
            if (other.files && other.files != sources_[source].files && other.files->Read(member, maxSize, bytes))
                return true;
        }
        return false;
    }

    TDrawablePtr Bitmap(const std::string& member, const std::vector<uint8_t>& bytes) {
        PngLimits limits;
        limits.maxWidth = 8192;
        limits.maxHeight = 8192;
        limits.maxPixelBytes = kMaxBitmapPixelBytes;
        auto drawable = std::make_shared<TDrawable>();
        TBitmapDrawable bitmap;
        try {
            bitmap.image = DecodeBitmap(bytes.data(), bytes.size(), limits);
        } catch (const std::exception& error) {
            Fail(member + ": " + error.what());
        }
        bitmap.density = FolderDensity(member);
        drawable->kind = std::move(bitmap);
        return drawable;
    }

    TElement Document(const std::string& member, const std::vector<uint8_t>& bytes) {
        if (bytes.size() > kMaxXmlBytes)
            Fail(member + " is too large");
        TXmlTree tree;
        if (!tree.Load(TByteSpan(bytes.data(), bytes.size())))
            Fail(member + " is not a readable document");
        TElement root;
        std::vector<TElement*> stack;
        for (;;) {
            const TXmlTree::TEvent event = tree.Next();
            if (event == TXmlTree::TEvent::EndDocument)
                break;
            if (event == TXmlTree::TEvent::BadDocument)
                Fail(member + " is damaged");
            if (event == TXmlTree::TEvent::EndTag) {
                if (stack.empty())
                    Fail(member + " is damaged");
                stack.pop_back();
                if (stack.empty())
                    break;
                continue;
            }
            if (event != TXmlTree::TEvent::StartTag)
                continue;
            if (++elements_ > kMaxElements)
                Fail("too many elements");
            if (stack.size() > size_t(kMaxGroupDepth) + 4)
                Fail(member + " is nested too deeply");
            TElement* element = nullptr;
            if (stack.empty()) {
                element = &root;
            } else {
                stack.back()->children.emplace_back();
                element = &stack.back()->children.back();
            }
            const std::string* name = tree.ElementName();
            element->name = name ? *name : std::string();
            const size_t count = tree.AttributeCount();
            for (size_t i = 0; i < count; ++i) {
                TAttribute attribute;
                attribute.resId = tree.AttributeNameResId(i);
                if (const std::string* attributeName = tree.AttributeName(i))
                    attribute.name = *attributeName;
                attribute.value = tree.AttributeValue(i);
                if (attribute.value.dataType == ResFormat::kTypeString) {
                    const std::string* text = tree.Strings().StringAt(attribute.value.data);
                    if (!text)
                        Fail(member + " is damaged");
                    attribute.text = *text;
                }
                element->attributes.push_back(std::move(attribute));
            }
            stack.push_back(element);
        }
        if (root.name.empty())
            Fail(member + " has no element");
        return root;
    }

    // ---- values

    TResolved Resolve(TResValue value, std::string text, size_t source) {
        for (int step = 0;; ++step) {
            if (step > TResourceTable::kMaxReferenceChain)
                Fail("a reference leads back to itself");
            if (value.dataType == ResFormat::kTypeAttribute || value.dataType == ResFormat::kTypeDynamicAttribute)
                Fail("theme attribute " + Hex(value.data));
            if (value.dataType != ResFormat::kTypeReference && value.dataType != ResFormat::kTypeDynamicReference)
                return TResolved{value, std::move(text), source};
            if (value.data == 0) // @null
                return TResolved{TResValue(), std::string(), source};
            const TResValue reference = value;
            bool found = false;
            for (size_t i = 0; i < sources_.size() && !found; ++i) {
                if (!sources_[i].table)
                    continue;
                const TResourceTable& table = *sources_[i].table;
                TResValue normalized = reference;
                table.NormalizeDynamic(normalized);
                normalized.dataType = ResFormat::kTypeReference;
                TResValue next;
                switch (table.GetValue(normalized.data, request_, next)) {
                case TResourceTable::TLookup::Found:
                    value = next;
                    source = i;
                    found = true;
                    break;
                case TResourceTable::TLookup::Unusable:
                    Fail("resource " + Hex(reference.data) + " can't be used");
                case TResourceTable::TLookup::Missing:
                    break;
                }
            }
            if (!found)
                Fail("missing resource " + Hex(reference.data));
            if (value.dataType == ResFormat::kTypeString) {
                const std::string* string = sources_[source].table->ValueString(value.data);
                if (!string)
                    Fail("resource " + Hex(reference.data) + " can't be used");
                text = *string;
            }
        }
    }

    TResolved Resolve(const TAttribute& attribute, size_t source) {
        return Resolve(attribute.value, attribute.text, source);
    }

    static double Finite(double number, const char* what) {
        if (!std::isfinite(number))
            Fail(std::string("a number that is not finite in ") + what);
        return number;
    }

    double Number(const TElement& element, uint32_t id, double fallback, size_t source) {
        const TAttribute* attribute = element.Find(id);
        if (!attribute)
            return fallback;
        const TResolved resolved = Resolve(*attribute, source);
        if (resolved.value.dataType == ResFormat::kTypeNull)
            return fallback;
        const std::optional<double> number = ResValues::Number(resolved.value);
        if (!number)
            Fail("attribute " + element.name + "@" + attribute->name + " is not a number");
        return Finite(*number, element.name.c_str());
    }

    std::optional<int32_t> Integer(const TElement& element, uint32_t id, size_t source) {
        const TAttribute* attribute = element.Find(id);
        if (!attribute)
            return std::nullopt;
        const TResolved resolved = Resolve(*attribute, source);
        if (!ResValues::IsInteger(resolved.value))
            Fail("attribute " + element.name + "@" + attribute->name + " is not a whole number");
        return static_cast<int32_t>(resolved.value.data);
    }

    std::optional<double> Dimension(const TElement& element, uint32_t id, size_t source) {
        const TAttribute* attribute = element.Find(id);
        if (!attribute)
            return std::nullopt;
        const TResolved resolved = Resolve(*attribute, source);
        const std::optional<double> dp = ResValues::DimensionInDp(resolved.value, density_);
        if (!dp)
            Fail("attribute " + element.name + "@" + attribute->name + " is not a dimension");
        return Finite(*dp, element.name.c_str());
    }

    std::string String(const TElement& element, uint32_t id, size_t source) {
        const TAttribute* attribute = element.Find(id);
        if (!attribute)
            return std::string();
        const TResolved resolved = Resolve(*attribute, source);
        if (resolved.value.dataType != ResFormat::kTypeString)
            Fail("attribute " + element.name + "@" + attribute->name + " is not text");
        return resolved.text;
    }

    // A colour or gradient attribute; nothing when the element doesn't have it.
    std::optional<TVectorPaint> Paint(const TElement& element, uint32_t id, size_t source) {
        const TAttribute* attribute = element.Find(id);
        if (!attribute)
            return std::nullopt;
        const TResolved resolved = Resolve(*attribute, source);
        TVectorPaint paint;
        if (ResValues::IsColor(resolved.value)) {
            paint.argb = resolved.value.data;
        } else if (resolved.value.dataType == ResFormat::kTypeString) {
            paint = ColorFile(resolved.text, resolved.source);
        } else if (resolved.value.dataType != ResFormat::kTypeNull) {
            Fail("attribute " + element.name + "@" + attribute->name + " is not a colour");
        }
        return paint;
    }

    // A plain colour attribute: a gradient is no colour.
    std::optional<uint32_t> Color(const TElement& element, uint32_t id, size_t source) {
        const std::optional<TVectorPaint> paint = Paint(element, id, source);
        if (!paint)
            return std::nullopt;
        if (paint->gradient)
            Fail("a gradient where a colour belongs, in <" + element.name + ">");
        return paint->argb;
    }

    // res/color files: a colour state list (its default colour) or a gradient.
    TVectorPaint ColorFile(const std::string& member, size_t source) {
        if (std::find(open_.begin(), open_.end(), member) != open_.end())
            Fail(member + " refers to itself");
        if (++files_ > kMaxFiles)
            Fail("too many files");
        std::vector<uint8_t> bytes;
        if (!ReadMember(member, source, kMaxXmlBytes, bytes) || !IsCompiledXml(bytes))
            Fail("no readable colour " + member);
        open_.push_back(member);
        const TElement root = Document(member, bytes);
        TVectorPaint paint;
        if (root.name == "selector")
            paint.argb = DefaultColor(root, source);
        else if (root.name == "gradient")
            paint.gradient = GradientColor(root, source);
        else
            Fail("unknown colour element <" + root.name + ">");
        open_.pop_back();
        return paint;
    }

    // The colour a list shows in no particular state: the last item without states, else the first.
    uint32_t DefaultColor(const TElement& selector, size_t source) {
        std::optional<uint32_t> first;
        std::optional<uint32_t> stateless;
        for (const TElement& item : selector.children) {
            if (item.name != "item")
                continue;
            const std::optional<uint32_t> color = Color(item, Attr::kColor, source);
            if (!color)
                Fail("a colour list item without a colour");
            // android:alpha scales the item's own alpha.
            const double alpha = std::clamp(Number(item, Attr::kAlpha, 1.0, source), 0.0, 1.0);
            const uint32_t itemAlpha = static_cast<uint32_t>(std::lround((*color >> 24) * alpha));
            const uint32_t argb = (itemAlpha << 24) | (*color & 0xFFFFFF);
            const bool hasState = std::any_of(item.attributes.begin(), item.attributes.end(),
                                              [](const TAttribute& a) { return a.name.rfind("state_", 0) == 0; });
            if (!first)
                first = argb;
            if (!hasState)
                stateless = argb;
        }
        if (stateless)
            return *stateless;
        if (first)
            return *first;
        Fail("an empty colour list");
    }

    static TTileMode Tile(std::optional<int32_t> mode) {
        if (mode == 1)
            return TTileMode::Repeat;
        if (mode == 2)
            return TTileMode::Mirror;
        return TTileMode::Clamp;
    }

    static TGradient::TKind GradientKind(std::optional<int32_t> type) {
        if (type == 1)
            return TGradient::TKind::Radial;
        if (type == 2)
            return TGradient::TKind::Sweep;
        return TGradient::TKind::Linear;
    }

    // Start, centre and end colours at 0, `center` and 1.
    std::vector<TGradientStop> ThreeColors(const TElement& element, size_t source, float center) {
        std::vector<TGradientStop> stops;
        stops.push_back(TGradientStop{0.0f, Color(element, Attr::kStartColor, source).value_or(0)});
        if (const std::optional<uint32_t> middle = Color(element, Attr::kCenterColor, source))
            stops.push_back(TGradientStop{center, *middle});
        stops.push_back(TGradientStop{1.0f, Color(element, Attr::kEndColor, source).value_or(0)});
        return stops;
    }

    // A gradient colour (res/color/*.xml with <gradient>) for vector paths, in viewport units.
    TGradient GradientColor(const TElement& element, size_t source) {
        TGradient gradient;
        gradient.kind = GradientKind(Integer(element, Attr::kType, source));
        gradient.start = TPoint{Number(element, Attr::kStartX, 0, source), Number(element, Attr::kStartY, 0, source)};
        gradient.end = TPoint{Number(element, Attr::kEndX, 0, source), Number(element, Attr::kEndY, 0, source)};
        gradient.center =
            TPoint{Number(element, Attr::kCenterX, 0, source), Number(element, Attr::kCenterY, 0, source)};
        gradient.radius = Number(element, Attr::kGradientRadius, 0, source);
        gradient.tile = Tile(Integer(element, Attr::kTileMode, source));
        if (gradient.kind == TGradient::TKind::Radial && !(gradient.radius > 0))
            Fail("a radial gradient without a radius");
        for (const TElement& item : element.children) {
            if (item.name != "item")
                continue;
            const double offset = Number(item, Attr::kOffset, 0, source);
            const std::optional<uint32_t> color = Color(item, Attr::kColor, source);
            if (!color)
                Fail("a gradient item without a colour");
            gradient.stops.push_back(TGradientStop{static_cast<float>(offset), *color});
        }
        if (gradient.stops.empty())
            gradient.stops = ThreeColors(element, source, 0.5f);
        return gradient;
    }

    // ---- drawables

    TDrawablePtr DrawableOf(const TResolved& resolved, int depth) {
        if (resolved.value.dataType == ResFormat::kTypeNull)
            return nullptr;
        if (ResValues::IsColor(resolved.value)) {
            auto drawable = std::make_shared<TDrawable>();
            drawable->kind = TColorDrawable{resolved.value.data};
            return drawable;
        }
        if (resolved.value.dataType != ResFormat::kTypeString)
            Fail("a drawable reference that is neither a file nor a colour");
        return File(resolved.text, resolved.source, depth + 1);
    }

    // A drawable given by an attribute or, failing that, by the element's first child.
    TDrawablePtr Child(const TElement& element, uint32_t id, size_t source, int depth) {
        if (const TAttribute* attribute = element.Find(id))
            return DrawableOf(Resolve(*attribute, source), depth);
        if (!element.children.empty())
            return Element(element.children.front(), source, depth + 1);
        return nullptr;
    }

    TDrawablePtr Element(const TElement& element, size_t source, int depth) {
        if (depth > kMaxDepth)
            Fail("drawables nested too deeply");
        auto drawable = std::make_shared<TDrawable>();
        const std::string& name = element.name;
        if (name == "vector") {
            drawable->kind = Vector(element, source);
        } else if (name == "adaptive-icon") {
            if (depth > 0)
                Fail("an adaptive icon inside another drawable");
            TAdaptiveIcon icon;
            for (const TElement& layer : element.children) {
                // <monochrome> is for themed icons only.
                if (layer.name == "background")
                    icon.background = Child(layer, Attr::kDrawable, source, depth);
                else if (layer.name == "foreground")
                    icon.foreground = Child(layer, Attr::kDrawable, source, depth);
            }
            drawable->kind = std::move(icon);
        } else if (name == "inset") {
            drawable->kind = Inset(element, source, depth);
        } else if (name == "layer-list") {
            drawable->kind = LayerList(element, source, depth);
        } else if (name == "shape") {
            drawable->kind = Shape(element, source);
        } else if (name == "bitmap" || name == "nine-patch") {
            const TAttribute* src = element.Find(Attr::kSrc);
            if (!src)
                Fail("<" + name + "> without a picture");
            const TResolved resolved = Resolve(*src, source);
            if (resolved.value.dataType != ResFormat::kTypeString)
                Fail("<" + name + "> without a picture");
            TDrawablePtr picture = File(resolved.text, resolved.source, depth + 1);
            if (!picture || !std::holds_alternative<TBitmapDrawable>(picture->kind))
                Fail("<" + name + "> whose picture is not a bitmap");
            return picture;
        } else if (name == "animated-vector") {
            // Drawn still, as it stands before its animations start.
            TDrawablePtr still = Child(element, Attr::kDrawable, source, depth);
            if (!still)
                Fail("<animated-vector> without a drawable");
            return still;
        } else if (name == "color") {
            drawable->kind = TColorDrawable{Color(element, Attr::kColor, source).value_or(0)};
        } else {
            Fail("unknown element <" + name + ">");
        }
        return drawable;
    }

    TInset InsetValue(const TElement& element, uint32_t id, size_t source, TInset fallback) {
        const TAttribute* attribute = element.Find(id);
        if (!attribute)
            return fallback;
        const TResolved resolved = Resolve(*attribute, source);
        if (const std::optional<ResValues::TFraction> fraction = ResValues::Fraction(resolved.value))
            return TInset{Finite(fraction->value, "inset"), true};
        const std::optional<double> dp = ResValues::DimensionInDp(resolved.value, density_);
        if (!dp)
            Fail("an inset that is neither a length nor a fraction");
        return TInset{Finite(*dp, "inset"), false};
    }

    TInsetDrawable Inset(const TElement& element, size_t source, int depth) {
        TInsetDrawable inset;
        inset.inner = Child(element, Attr::kDrawable, source, depth);
        if (!inset.inner)
            Fail("<inset> without a drawable");
        const TInset all = InsetValue(element, Attr::kInset, source, TInset());
        inset.left = InsetValue(element, Attr::kInsetLeft, source, all);
        inset.top = InsetValue(element, Attr::kInsetTop, source, all);
        inset.right = InsetValue(element, Attr::kInsetRight, source, all);
        inset.bottom = InsetValue(element, Attr::kInsetBottom, source, all);
        return inset;
    }

    TLayerListDrawable LayerList(const TElement& element, size_t source, int depth) {
        TLayerListDrawable list;
        for (const TElement& item : element.children) {
            if (item.name != "item")
                continue;
            TLayerItem layer;
            layer.drawable = Child(item, Attr::kDrawable, source, depth);
            if (!layer.drawable && !item.Find(Attr::kDrawable))
                Fail("a layer without a drawable");
            layer.left = Dimension(item, Attr::kLeft, source).value_or(0);
            layer.top = Dimension(item, Attr::kTop, source).value_or(0);
            layer.right = Dimension(item, Attr::kRight, source).value_or(0);
            layer.bottom = Dimension(item, Attr::kBottom, source).value_or(0);
            // start and end are left and right in a left-to-right layout, and win over them.
            if (const std::optional<double> start = Dimension(item, Attr::kStart, source))
                layer.left = *start;
            if (const std::optional<double> end = Dimension(item, Attr::kEnd, source))
                layer.right = *end;
            layer.width = Dimension(item, Attr::kWidth, source).value_or(-1);
            layer.height = Dimension(item, Attr::kHeight, source).value_or(-1);
            if (const std::optional<int32_t> gravity = Integer(item, Attr::kGravity, source))
                layer.gravity = static_cast<uint32_t>(*gravity);
            list.items.push_back(std::move(layer));
        }
        return list;
    }

    TShapeDrawable Shape(const TElement& element, size_t source) {
        TShapeDrawable shape;
        const int32_t kind = Integer(element, Attr::kShape, source).value_or(0);
        if (kind == 1)
            shape.kind = TShapeDrawable::TKind::Oval;
        else if (kind != 0)
            Fail("a line or ring shape");
        for (const TElement& part : element.children) {
            if (part.name == "solid") {
                shape.solid = Color(part, Attr::kColor, source).value_or(0);
            } else if (part.name == "corners") {
                const double all = Dimension(part, Attr::kRadius, source).value_or(0);
                shape.radii[0] = Dimension(part, Attr::kTopLeftRadius, source).value_or(all);
                shape.radii[1] = Dimension(part, Attr::kTopRightRadius, source).value_or(all);
                shape.radii[2] = Dimension(part, Attr::kBottomRightRadius, source).value_or(all);
                shape.radii[3] = Dimension(part, Attr::kBottomLeftRadius, source).value_or(all);
            } else if (part.name == "gradient") {
                shape.gradient = ShapeGradient(part, source);
            } else if (part.name == "stroke") {
                shape.strokeWidth = Dimension(part, Attr::kWidth, source).value_or(0);
                shape.strokeArgb = Color(part, Attr::kColor, source).value_or(0);
            } else if (part.name == "size") {
                shape.width = Dimension(part, Attr::kWidth, source).value_or(-1);
                shape.height = Dimension(part, Attr::kHeight, source).value_or(-1);
            }
            // <padding> only matters to views laid out around the shape.
        }
        return shape;
    }

    // centerX and centerY take a float or a fraction ("50%").
    double FloatOrFraction(const TElement& element, uint32_t id, double fallback, size_t source) {
        const TAttribute* attribute = element.Find(id);
        if (!attribute)
            return fallback;
        const TResolved resolved = Resolve(*attribute, source);
        if (const std::optional<ResValues::TFraction> fraction = ResValues::Fraction(resolved.value))
            return Finite(fraction->value, "gradient");
        return Number(element, id, fallback, source);
    }

    TShapeGradient ShapeGradient(const TElement& element, size_t source) {
        TShapeGradient gradient;
        gradient.kind = GradientKind(Integer(element, Attr::kType, source));
        gradient.angle = Number(element, Attr::kAngle, 0, source);
        gradient.centerX = FloatOrFraction(element, Attr::kCenterX, 0.5, source);
        gradient.centerY = FloatOrFraction(element, Attr::kCenterY, 0.5, source);
        if (const TAttribute* attribute = element.Find(Attr::kGradientRadius)) {
            const TResolved resolved = Resolve(*attribute, source);
            if (const std::optional<ResValues::TFraction> fraction = ResValues::Fraction(resolved.value)) {
                gradient.radius = Finite(fraction->value, "gradient");
                gradient.radiusUnit =
                    fraction->ofParent ? TShapeGradient::TRadius::FractionOfParent : TShapeGradient::TRadius::Fraction;
            } else if (const std::optional<double> dp = ResValues::DimensionInDp(resolved.value, density_)) {
                gradient.radius = Finite(*dp, "gradient");
            } else if (const std::optional<double> pixels = ResValues::Number(resolved.value)) {
                gradient.radius = Finite(*pixels * 160.0 / density_, "gradient");
            } else {
                Fail("a gradient radius that is not a number");
            }
        } else if (gradient.kind == TGradient::TKind::Radial) {
            Fail("a radial gradient without a radius");
        }
        // The centre colour sits at whichever centre was moved from the middle.
        const double center = gradient.centerX != 0.5 ? gradient.centerX : gradient.centerY;
        gradient.stops = ThreeColors(element, source, static_cast<float>(center));
        return gradient;
    }

    TVectorDrawable Vector(const TElement& element, size_t source) {
        TVectorDrawable vector;
        vector.width = Dimension(element, Attr::kWidth, source).value_or(0);
        vector.height = Dimension(element, Attr::kHeight, source).value_or(0);
        vector.viewportWidth = Number(element, Attr::kViewportWidth, 0, source);
        vector.viewportHeight = Number(element, Attr::kViewportHeight, 0, source);
        // The phone refuses a vector without a size or a viewport.
        if (!(vector.width > 0 && vector.height > 0 && vector.viewportWidth > 0 && vector.viewportHeight > 0))
            Fail("a vector without a size or a viewport");
        vector.alpha = static_cast<float>(std::clamp(Number(element, Attr::kAlpha, 1, source), 0.0, 1.0));
        vector.tint = Color(element, Attr::kTint, source);
        switch (Integer(element, Attr::kTintMode, source).value_or(5)) {
        case 3:
            vector.tintMode = TTintMode::SrcOver;
            break;
        case 9:
            vector.tintMode = TTintMode::SrcAtop;
            break;
        case 14:
            vector.tintMode = TTintMode::Multiply;
            break;
        case 15:
            vector.tintMode = TTintMode::Screen;
            break;
        case 16:
            vector.tintMode = TTintMode::Add;
            break;
        default:
            vector.tintMode = TTintMode::SrcIn;
            break;
        }
        VectorChildren(element, vector.root, source, 0);
        return vector;
    }

    void VectorChildren(const TElement& element, TVectorGroup& group, size_t source, int depth) {
        if (depth > kMaxGroupDepth)
            Fail("groups nested too deeply");
        for (const TElement& child : element.children) {
            if (child.name == "path") {
                group.children.emplace_back(VectorPath(child, source));
            } else if (child.name == "clip-path") {
                TVectorClip clip;
                clip.path = PathData(child, source);
                group.children.emplace_back(std::move(clip));
            } else if (child.name == "group") {
                auto inner = std::make_unique<TVectorGroup>();
                inner->rotation = Number(child, Attr::kRotation, 0, source);
                inner->pivotX = Number(child, Attr::kPivotX, 0, source);
                inner->pivotY = Number(child, Attr::kPivotY, 0, source);
                inner->scaleX = Number(child, Attr::kScaleX, 1, source);
                inner->scaleY = Number(child, Attr::kScaleY, 1, source);
                inner->translateX = Number(child, Attr::kTranslateX, 0, source);
                inner->translateY = Number(child, Attr::kTranslateY, 0, source);
                VectorChildren(child, *inner, source, depth + 1);
                group.children.emplace_back(std::move(inner));
            }
            // Anything else inside a vector the phone passes over, and so do we.
        }
    }

    TPath PathData(const TElement& element, size_t source) {
        TPath path;
        const std::string data = String(element, Attr::kPathData, source);
        if (!ParsePathData(data, path))
            Fail("path data that can't be read");
        points_ += path.points.size();
        if (points_ > kMaxPathPoints)
            Fail("too many path points");
        return path;
    }

    TVectorPath VectorPath(const TElement& element, size_t source) {
        TVectorPath path;
        path.path = PathData(element, source);
        path.fill = Paint(element, Attr::kFillColor, source).value_or(TVectorPaint());
        path.stroke = Paint(element, Attr::kStrokeColor, source).value_or(TVectorPaint());
        path.fillAlpha = static_cast<float>(std::clamp(Number(element, Attr::kFillAlpha, 1, source), 0.0, 1.0));
        path.strokeAlpha = static_cast<float>(std::clamp(Number(element, Attr::kStrokeAlpha, 1, source), 0.0, 1.0));
        path.strokeWidth = Number(element, Attr::kStrokeWidth, 0, source);
        path.miterLimit = Number(element, Attr::kStrokeMiterLimit, 4, source);
        path.trimStart = Number(element, Attr::kTrimPathStart, 0, source);
        path.trimEnd = Number(element, Attr::kTrimPathEnd, 1, source);
        path.trimOffset = Number(element, Attr::kTrimPathOffset, 0, source);
        if (Integer(element, Attr::kFillType, source).value_or(0) == 1)
            path.fillRule = TFillRule::EvenOdd;
        switch (Integer(element, Attr::kStrokeLineCap, source).value_or(0)) {
        case 1:
            path.cap = TLineCap::Round;
            break;
        case 2:
            path.cap = TLineCap::Square;
            break;
        default:
            break;
        }
        switch (Integer(element, Attr::kStrokeLineJoin, source).value_or(0)) {
        case 1:
            path.join = TLineJoin::Round;
            break;
        case 2:
            path.join = TLineJoin::Bevel;
            break;
        default:
            break;
        }
        return path;
    }

    const std::vector<TResourceSource>& sources_;
    const TResConfig& request_;
    const double density_;
    std::vector<std::string> open_; // files being read, innermost last
    size_t files_ = 0;
    size_t elements_ = 0;
    size_t points_ = 0;
};

TDrawableReader::TDrawableReader(std::vector<TResourceSource> sources, const TResConfig& request)
    : sources_(std::move(sources)), request_(request) {}

double TDrawableReader::Density() const {
    const uint16_t density = request_.density;
    if (density == 0 || density == TResConfig::kDensityAny || density == TResConfig::kDensityNone)
        return 160;
    return density;
}

TDrawablePtr TDrawableReader::ReadFile(const std::string& member) {
    failure_.clear();
    if (sources_.empty()) {
        failure_ = "no package";
        return nullptr;
    }
    try {
        TSession session(sources_, request_, Density());
        return session.File(member, 0, 0);
    } catch (const TCantDraw& reason) {
        failure_ = reason.what();
    } catch (const std::bad_alloc&) {
        failure_ = "out of memory";
    }
    return nullptr;
}
