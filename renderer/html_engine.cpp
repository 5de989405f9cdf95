#include "renderer/html_engine.h"

#include "renderer/css_values.h"

#include <algorithm>

namespace dp::html {
namespace detail {
namespace {

bool PushesStyle(Tag tag) {
    switch (tag) {
    case Tag::Unknown:
    case Tag::Rule:
    case Tag::Bitmap:
    case Tag::Icon:
    case Tag::ImageList:
    case Tag::String:
    case Tag::Table:
    case Tag::Row:
    case Tag::Cell:
        return false;
    default:
        return true;
    }
}

} // namespace

// "N%" is a percentage; anything else a length.
std::optional<Dimension> ParseDimension(std::wstring_view value, int resolution) {
    value = Trim(value);
    if (!value.empty() && value.back() == L'%') {
        if (std::optional<int> n = ParseLength(value, {.current = 100}))
            return Dimension{*n, true};
        return std::nullopt;
    }
    if (std::optional<int> n = ParseLength(value, {.resolution = resolution}))
        return Dimension{*n, false};
    return std::nullopt;
}

// ---- Engine: fonts and measuring -----------------------------------------------------------

namespace {

FontMetrics Sanitised(FontMetrics m) {
    m.height = std::clamp(m.height, 1, 4 * kMaxFontSize);
    m.ascent = std::clamp(m.ascent, 0, m.height);
    m.descent = m.height - m.ascent;
    m.xHeight = std::clamp(m.xHeight, 0, m.height);
    m.averageWidth = std::clamp(m.averageWidth, 1, 4 * kMaxFontSize);
    return m;
}

} // namespace

int Engine::Font(const TextStyle& style) {
    const auto key = std::make_tuple(style.face, style.size, style.weight, style.italic);
    if (const auto found = fontIndex_.find(key); found != fontIndex_.end())
        return found->second;
    if (out_.fonts.size() >= static_cast<std::size_t>(kMaxFonts))
        return kMaxFonts - 1;
    FontSpec fontSpec;
    fontSpec.face = faces_.Name(style.face);
    fontSpec.height = std::clamp(style.size, kMinFontSize, kMaxFontSize);
    fontSpec.weight = std::clamp(style.weight, 100, 900);
    fontSpec.italic = style.italic;
    const int index = static_cast<int>(out_.fonts.size());
    metrics_.push_back(Sanitised(services_.measurer.UseFont(fontSpec)));
    out_.fonts.push_back(std::move(fontSpec));
    measuringFont_ = index;
    fontIndex_.emplace(key, index);
    return index;
}

// The prefix widths of `text` in `font`, made non-decreasing and bounded whatever the
// measurer says. An empty text returns the widths measured last.
const std::vector<int>& Engine::Measure(int font, std::wstring_view text) {
    if (text.empty())
        return ends_;
    if (measuringFont_ != font) {
        services_.measurer.UseFont(out_.fonts[static_cast<std::size_t>(font)]);
        measuringFont_ = font;
    }
    ends_.assign(text.size(), 0);
    services_.measurer.MeasurePrefixes(text, ends_);
    ends_.resize(text.size());
    int previous = 0;
    for (int& end : ends_) {
        end = std::clamp(end, previous, 1 << 29);
        previous = end;
    }
    return ends_;
}
// ---- Engine: the token walk ----------------------------------------------------------------

void Engine::Run() {
    out_.links.resize(static_cast<std::size_t>(text_.linkCount));
    out_.shadowOffset = std::clamp(options_.shadowOffset, 0, 64);
    out_.shadowColour = options_.shadowColour;
    TextStyle base;
    base.size = std::clamp(MulDivRound(10, context_.resolution, 72), kMinFontSize, kMaxFontSize);
    const bool bounded = options_.width > 0;
    // Most tokens become one operation; reserving spares the copies of a growing list.
    Sink sink;
    sink.ops.reserve(text_.tokens.tokens.size() + 16);
    out_.text.reserve(text_.tokens.chars.size());
    Flow body(*this, bounded ? std::min(options_.width, kMaxLength) : kMaxLength, bounded, &sink);
    StyleStack stack(base);
    Walk(0, static_cast<int>(text_.tokens.tokens.size()), body, stack);
    body.Finish(stack.current);
    out_.ops = std::move(sink.ops);
    out_.linkAreas = std::move(sink.links);
    out_.width = body.contentWidth();
    out_.height = std::min(body.y(), kMaxLayoutHeight);
}

void Engine::Walk(int begin, int end, Flow& flow, StyleStack& stack) {
    const std::vector<Token>& tokens = text_.tokens.tokens;
    for (int i = begin; i < end && !flow.Full(); ++i) {
        const Token& token = tokens[static_cast<std::size_t>(i)];
        switch (token.kind) {
        case TokenKind::Text:
            OnText(text_.tokens.Text(token), flow, stack.current);
            break;
        case TokenKind::LineBreak:
            flow.LineBreak(stack.current);
            break;
        case TokenKind::Tab:
            flow.AddTab(stack.current);
            break;
        case TokenKind::Tag:
            if (token.tag == Tag::Table && !token.closing &&
                text_.ordinal[static_cast<std::size_t>(i)] >= 0) {
                const int shape = text_.ordinal[static_cast<std::size_t>(i)];
                LayTable(shape, flow, stack.current);
                i = text_.tables[static_cast<std::size_t>(shape)].end;
            } else if (token.closing) {
                stack.Pop(token.tag);
            } else {
                OpenTag(i, flow, stack);
            }
            break;
        }
    }
}

void Engine::OnText(std::wstring_view text, Flow& flow, const TextStyle& style) {
    if (style.transform == TextTransform::None) {
        flow.AddText(text, style);
        return;
    }
    scratch_.assign(text);
    ApplyTransform(style.transform, scratch_);
    flow.AddText(scratch_, style);
}

void Engine::ApplyRule(std::wstring_view selector, TextStyle& style) {
    if (const std::vector<Declaration>* rule = sheet_.Find(selector))
        ApplyDeclarations(style, *rule, context_);
}

void Engine::OpenTag(int index, Flow& flow, StyleStack& stack) {
    const Token& token = text_.tokens.tokens[static_cast<std::size_t>(index)];
    if (PushesStyle(token.tag) && !stack.Push(token.tag))
        return;
    TextStyle& style = stack.current;
    switch (token.tag) {
    case Tag::Bold:
        style.weight = std::min(900, style.weight * 2);
        break;
    case Tag::Italic:
        style.italic = !style.italic;
        break;
    case Tag::Underline:
        style.underline = !style.underline;
        break;
    case Tag::Strike:
        style.strike = !style.strike;
        break;
    case Tag::Font:
        OpenFont(token, style);
        break;
    case Tag::Left:
        style.align = HAlign::Left;
        break;
    case Tag::Center:
        style.align = HAlign::Center;
        break;
    case Tag::Right:
        style.align = HAlign::Right;
        break;
    case Tag::Justify:
        style.align = HAlign::Justify;
        break;
    case Tag::Baseline:
        style.valign = VAlign::Baseline;
        break;
    case Tag::Top:
        style.valign = VAlign::Top;
        break;
    case Tag::Middle:
        style.valign = VAlign::Middle;
        break;
    case Tag::Bottom:
        style.valign = VAlign::Bottom;
        break;
    case Tag::Span:
        if (const auto name = text_.tokens.Find(token, L"class"))
            ApplyRule(L"." + std::wstring(*name), style);
        break;
    case Tag::Anchor:
        OpenAnchor(index, style);
        break;
    case Tag::Rule:
        AddRule(token, flow, style);
        break;
    case Tag::Bitmap:
    case Tag::Icon:
    case Tag::ImageList:
        AddImage(token, flow, style);
        break;
    case Tag::String:
        InsertString(index, flow, style);
        break;
    default:
        if (const std::wstring_view selector = SheetSelector(token.tag); !selector.empty())
            ApplyRule(selector, style);
        break;
    }
}

void Engine::OpenFont(const Token& token, TextStyle& style) {
    for (const Attribute& attribute : text_.tokens.Attributes(token)) {
        const std::wstring_view name = text_.tokens.Name(attribute);
        const std::wstring_view value = text_.tokens.Value(attribute);
        if (name == L"face") {
            if (!Trim(value).empty())
                style.face = faces_.Intern(Trim(value));
        } else if (name == L"size") {
            if (const auto size = StyleLength(value, style.size, style, context_, true))
                style.size = std::clamp(*size, kMinFontSize, kMaxFontSize);
        } else if (name == L"color") {
            if (const auto colour = ParseColour(value, services_.colours))
                style.colour = *colour;
        } else if (name == L"style") {
            ApplyDeclarations(style, ParseDeclarations(value), context_);
        } else if (name == L"weight") {
            if (const auto weight = ParseFontWeight(value))
                style.weight = *weight;
        } else if (name == L"bkgnd") {
            if (EqualsNoCase(Trim(value), L"transparent")) {
                style.opaque = false;
            } else if (const auto colour = ParseColour(value, services_.colours)) {
                style.opaque = true;
                style.background = *colour;
            }
        }
    }
}

void Engine::OpenAnchor(int index, TextStyle& style) {
    const Token& token = text_.tokens.tokens[static_cast<std::size_t>(index)];
    const int number = text_.ordinal[static_cast<std::size_t>(index)];
    Link& link = out_.links[static_cast<std::size_t>(number)];
    if (const auto href = text_.tokens.Find(token, L"href")) {
        link = {LinkKind::Open, std::wstring(Trim(*href))};
    } else if (const auto message = text_.tokens.Find(token, L"msg")) {
        link = {LinkKind::Message, std::wstring(*message)};
    }
    style.link = link.target.empty() ? -1 : number;
    ApplyRule(number == options_.hoveredLink ? L"a:hover" : L"a:link", style);
}

void Engine::InsertString(int index, Flow& flow, const TextStyle& style) {
    if (!services_.strings)
        return;
    const Token& token = text_.tokens.tokens[static_cast<std::size_t>(index)];
    std::wstring module;
    std::optional<int> id;
    if (const auto idres = text_.tokens.Find(token, L"idres")) {
        id = ReadInteger(*idres);
    } else if (const auto iddll = text_.tokens.Find(token, L"iddll")) {
        id = ReadInteger(*iddll);
        module = text_.tokens.Find(token, L"srcdll").value_or(L"");
        if (module.empty())
            return;
    }
    if (!id || *id < 0 || *id > 0xFFFF)
        return;
    auto share = stringShares_.find(index);
    if (share == stringShares_.end()) {
        const std::size_t left = kMaxInsertedStrings - stringsInserted_;
        share = stringShares_.emplace(index, std::min<std::size_t>(kMaxStringResource, left)).first;
        stringsInserted_ += share->second;
    }
    if (share->second == 0)
        return;
    std::wstring loaded = services_.strings->Load(module, static_cast<unsigned>(*id));
    loaded.resize(std::min(loaded.size(), share->second));
    stringsInserted_ -= share->second - loaded.size(); // what a shorter string leaves to others
    share->second = loaded.size();
    std::size_t at = 0;
    while (at < loaded.size()) {
        const std::size_t end = std::min(loaded.find_first_of(L"\r\n\t", at), loaded.size());
        OnText(std::wstring_view(loaded).substr(at, end - at), flow, style);
        if (end < loaded.size() && loaded[end] == L'\n')
            flow.LineBreak(style);
        else if (end < loaded.size() && loaded[end] == L'\t')
            flow.AddTab(style);
        at = end + 1;
    }
}

void Engine::AddRule(const Token& token, Flow& flow, const TextStyle& style) {
    Dimension width{100, true};
    int size = Pixels(kRuleDefaultSize);
    std::optional<std::uint32_t> colour;
    if (const auto value = text_.tokens.Find(token, L"width"))
        width = ParseDimension(*value, context_.resolution).value_or(width);
    if (const auto value = text_.tokens.Find(token, L"size"))
        size = std::clamp(ParseLength(*value, {.resolution = context_.resolution}).value_or(size),
                          1, kMaxRuleSize);
    if (const auto value = text_.tokens.Find(token, L"color"))
        colour = ParseColour(*value, services_.colours);
    // Never wider than the room it is in.
    const int room = flow.bounded() ? flow.width() : kMaxLength;
    const int pixels =
        !width.percent ? std::min(width.value, room)
                       : (flow.bounded() ? MulDivRound(room, std::min(width.value, 100), 100) : 0);
    const int x = flow.BeginBlock(pixels, style.align, style);
    const int margin = Pixels(kRuleMargin);
    const int top = flow.y() + margin;
    if (Sink* sink = flow.sink(); sink && pixels > 0) {
        const Rect rect{x, top, x + pixels, top + size};
        if (colour) {
            sink->ops.push_back(FillOp{rect, 0, *colour, *colour, *colour});
        } else {
            sink->ops.push_back(LineOp{x, top, x + pixels, top, kRuleDark});
            sink->ops.push_back(LineOp{x, top, x, top + size, kRuleDark});
            sink->ops.push_back(LineOp{x, top + size - 1, x + pixels, top + size - 1, kRuleLight});
            sink->ops.push_back(
                LineOp{x + pixels - 1, top, x + pixels - 1, top + size, kRuleLight});
        }
    }
    // A rule as wide as the room does not ask for room itself.
    const int asked = width.percent ? 0 : pixels;
    flow.EndBlock(asked, asked, asked, size + 2 * margin);
}

namespace {

// An image dimension: a percentage of the image's own size unless a unit is given.
int ImageDimension(std::wstring_view value, int natural, int resolution) {
    value = Trim(value);
    const bool plain = !value.empty() && std::all_of(value.begin(), value.end(), [](wchar_t c) {
        return (c >= L'0' && c <= L'9') || c == L'+' || c == L'-';
    });
    std::optional<int> pixels;
    if (plain || (!value.empty() && value.back() == L'%'))
        pixels = ParseLength(plain ? std::wstring(value) + L"%" : std::wstring(value),
                             {.current = natural});
    else
        pixels = ParseLength(value, {.current = natural, .resolution = resolution});
    return std::clamp(pixels.value_or(natural), 0, kMaxImageSide);
}

} // namespace

int Engine::InternImage(const ImageRequest& imageSpec) {
    if (const auto found = imageIndex_.find(imageSpec); found != imageIndex_.end())
        return found->second;
    if (out_.images.size() >= static_cast<std::size_t>(kMaxImages))
        return -1;
    const int index = static_cast<int>(out_.images.size());
    out_.images.push_back(imageSpec);
    imageSizes_.push_back(services_.images ? services_.images->Size(imageSpec) : std::nullopt);
    imageIndex_.emplace(imageSpec, index);
    return index;
}

void Engine::AddImage(const Token& token, Flow& flow, const TextStyle& style) {
    ImageRequest imageSpec;
    imageSpec.kind = token.tag == Tag::Icon     ? ImageKind::Icon
                     : token.tag == Tag::Bitmap ? ImageKind::Bitmap
                                                : ImageKind::ImageList;
    std::optional<int> idres, iddll;
    std::optional<std::wstring_view> file, module, handle, width, height;
    ImageStyle look, hotLook;
    std::uint32_t mask = 0xFF00FF;
    for (const Attribute& attribute : text_.tokens.Attributes(token)) {
        const std::wstring_view name = text_.tokens.Name(attribute);
        const std::wstring_view value = text_.tokens.Value(attribute);
        if (name == L"index")
            imageSpec.index = std::clamp(ReadInteger(value).value_or(0), 0, 0xFFFF);
        else if (name == L"idres")
            idres = ReadInteger(value);
        else if (name == L"iddll")
            iddll = ReadInteger(value);
        else if (name == L"handle")
            handle = value;
        else if (name == L"file")
            file = value;
        else if (name == L"srcdll")
            module = value;
        else if (name == L"mask")
            mask = ParseColour(value, services_.colours).value_or(mask);
        else if (name == L"style")
            look = hotLook = ImageStyleFromLetters(value);
        else if (name == L"hotstyle")
            hotLook = ImageStyleFromLetters(value);
        else if (name == L"cx")
            imageSpec.cellWidth = std::clamp(ReadInteger(value).value_or(0), 0, kMaxImageSide);
        else if (name == L"cy")
            imageSpec.cellHeight = std::clamp(ReadInteger(value).value_or(0), 0, kMaxImageSide);
        else if (name == L"width")
            width = value;
        else if (name == L"height")
            height = value;
    }
    const auto resourceId = [](std::optional<int> id) { return id && *id > 0 && *id <= 0xFFFF; };
    if (resourceId(idres)) {
        imageSpec.source = ImageSource::ProgramResource;
        imageSpec.id = static_cast<unsigned>(*idres);
    } else if (file && !Trim(*file).empty()) {
        imageSpec.source = ImageSource::File;
        imageSpec.file = Trim(*file);
    } else if (resourceId(iddll) && module && !Trim(*module).empty()) {
        imageSpec.source = ImageSource::ModuleResource;
        imageSpec.id = static_cast<unsigned>(*iddll);
        imageSpec.module = Trim(*module);
    } else if (handle) {
        const std::wstring_view digits = Trim(*handle);
        int count = 0;
        imageSpec.source = ImageSource::Handle;
        imageSpec.handle = 0;
        const bool hex = digits.size() > 2 && digits[0] == L'0' && (digits[1] | 0x20) == L'x';
        for (wchar_t c : digits.substr(hex ? 2 : 0)) {
            const int v = (c >= L'0' && c <= L'9')                          ? c - L'0'
                          : hex && (c | 0x20) >= L'a' && (c | 0x20) <= L'f' ? (c | 0x20) - L'a' + 10
                                                                            : -1;
            if (v < 0 || ++count > 16)
                break;
            imageSpec.handle = imageSpec.handle * (hex ? 16 : 10) + static_cast<unsigned>(v);
        }
        if (imageSpec.handle == 0)
            return;
    } else {
        return;
    }
    const int image = InternImage(imageSpec);
    if (image < 0 || !imageSizes_[static_cast<std::size_t>(image)])
        return;
    const ImageSize natural = *imageSizes_[static_cast<std::size_t>(image)];
    const int w = width ? ImageDimension(*width, natural.width, context_.resolution)
                        : std::clamp(natural.width, 0, kMaxImageSide);
    const int h = height ? ImageDimension(*height, natural.height, context_.resolution)
                         : std::clamp(natural.height, 0, kMaxImageSide);
    if (w <= 0 || h <= 0)
        return;
    const bool hot = style.link >= 0 && style.link == options_.hoveredLink;
    ImageStyle chosen = hot ? hotLook : look;
    chosen.shadow = chosen.shadow && out_.shadowOffset > 0;
    const int shadow = chosen.shadow ? out_.shadowOffset : 0;
    flow.AddImage(w, h, shadow, style, image, chosen, mask);
}

} // namespace detail

DisplayList LayOut(const PreparedText& text, const StyleSheet& sheet,
                   const LayoutServices& services, const LayoutOptions& options) {
    DisplayList out;
    detail::Engine(text, sheet, services, options, out).Run();
    return out;
}

} // namespace dp::html
