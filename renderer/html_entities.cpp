#include "renderer/html_entities.h"

#include <array>

namespace dp::html {
namespace {

struct Entity {
    std::wstring_view name; // between "&" and ";"
    std::wstring_view replacement;
};

constexpr std::array<Entity, 13> kEntities = {{
    {L"amp", L"&"},
    {L"lt", L"<<"},
    {L"gt", L">"},
    {L"quot", L"\""},
    {L"nbsp", L" "},
    {L"bull", L"\u2022"},
    {L"copy", L"\u00A9"},
    {L"euro", L"\u20AC"},
    {L"iquest", L"\u00BF"},
    {L"para", L"\u00B6"},
    {L"pound", L"\u00A3"},
    {L"reg", L"\u00AE"},
    {L"trade", L"\u2122"},
}};

constexpr std::size_t kLongestName = 6;

// The entity that starts at text[at] (an "&"), if it is one of ours. The ";" is looked for
// only as far as the longest name reaches, so that a text full of "&" is read in linear time.
const Entity* EntityAt(std::wstring_view text, std::size_t at) {
    const std::size_t semicolon = text.substr(0, at + kLongestName + 2).find(L';', at + 1);
    if (semicolon == std::wstring_view::npos)
        return nullptr;
    const std::wstring_view name = text.substr(at + 1, semicolon - at - 1);
    for (const Entity& entity : kEntities)
        if (entity.name == name)
            return &entity;
    return nullptr;
}

} // namespace

std::wstring ReplaceEntities(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + 16);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t amp = text.find(L'&', at);
        if (amp == std::wstring_view::npos) {
            out.append(text.substr(at));
            break;
        }
        out.append(text.substr(at, amp - at));
        if (const Entity* entity = EntityAt(text, amp)) {
            out.append(entity->replacement);
            at = amp + entity->name.size() + 2;
        } else {
            out.push_back(L'&');
            at = amp + 1;
        }
    }
    return out;
}

} // namespace dp::html
