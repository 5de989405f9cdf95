#include "framework/user_step_command.h"

#include <array>
#include <utility>

#include "framework/command_words.h"

namespace dp {
namespace {

constexpr std::wstring_view kSwitch = L"~user-step";
constexpr std::wstring_view kHere = L"here";

constexpr std::array<std::pair<UserStepKind, std::wstring_view>, 4> kKinds = {{
    {UserStepKind::Install, L"install"},
    {UserStepKind::Update, L"update"},
    {UserStepKind::Uninstall, L"uninstall"},
    {UserStepKind::RemoveSettings, L"remove-settings"},
}};

} // namespace

std::wstring FormatUserStepArguments(const UserStepCommand& command) {
    std::wstring text = L"/" + std::wstring(kSwitch) + L" ";
    for (const auto& [kind, word] : kKinds)
        if (kind == command.kind)
            text += word;
    if (command.here)
        text += L" " + std::wstring(kHere);
    return text;
}

std::optional<UserStepCommand> ParseUserStepCommand(std::wstring_view commandLine) {
    const std::vector<CommandWord> words = SplitCommandWords(commandLine);
    if (words.size() < 2 || words.size() > 3 || !words[0].isSwitch || words[0].text != kSwitch ||
        words[1].isSwitch)
        return std::nullopt;
    UserStepCommand command;
    bool known = false;
    for (const auto& [kind, word] : kKinds) {
        if (words[1].text == word) {
            command.kind = kind;
            known = true;
        }
    }
    if (!known)
        return std::nullopt;
    if (words.size() == 3) {
        if (words[2].isSwitch || words[2].text != kHere)
            return std::nullopt;
        command.here = true;
    }
    return command;
}

} // namespace dp
