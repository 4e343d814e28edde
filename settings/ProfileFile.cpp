#include "settings/ProfileFile.h"

#include "platform/FileSystem.h"
#include "platform/text/SjisText.h"

namespace pelimo {
namespace {

constexpr size_t kMaxProfileBytes = 4u << 20;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Position of the first c outside a double-byte character, or npos. '[' and ']' can be the
// second byte of a Shift-JIS character, so a byte search alone would split one.
size_t findSjis(std::string_view s, char c)
{
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == c)
            return i;
        if (platform::isSjisLeadByte(static_cast<unsigned char>(s[i])))
            ++i;
    }
    return std::string_view::npos;
}

std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trimmed(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    const size_t close = findSjis(line, ']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trimmed(line.substr(0, close));
}

std::optional<std::string_view> keyName(std::string_view line)
{
    const std::string_view t = trimmed(line);
    if (t.empty() || t.front() == ';' || t.front() == '[')
        return std::nullopt;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return trimmed(line.substr(0, eq));
}

} // namespace

ProfileFile ProfileFile::parse(std::string_view content)
{
    ProfileFile profile;
    while (!content.empty()) {
        const size_t lf = content.find('\n');
        Line line;
        if (lf == std::string_view::npos) {
            line.text = content;
            content = {};
        } else {
            const bool cr = lf > 0 && content[lf - 1] == '\r';
            line.text = content.substr(0, cr ? lf - 1 : lf);
            line.end = cr ? "\r\n" : "\n";
            content.remove_prefix(lf + 1);
        }
        profile.lines.push_back(std::move(line));
    }
    return profile;
}

std::optional<size_t> ProfileFile::findSection(std::string_view section) const
{
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i].text);
        if (name && equalsIgnoringAsciiCase(*name, trimmed(section)))
            return i;
    }
    return std::nullopt;
}

size_t ProfileFile::sectionEnd(size_t header) const
{
    size_t i = header + 1;
    while (i < lines.size() && !sectionName(lines[i].text))
        ++i;
    return i;
}

std::optional<size_t> ProfileFile::findKey(size_t header, std::string_view key) const
{
    const size_t end = sectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        const auto name = keyName(lines[i].text);
        if (name && equalsIgnoringAsciiCase(*name, trimmed(key)))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> ProfileFile::value(std::string_view section, std::string_view key) const
{
    const auto header = findSection(section);
    if (!header)
        return std::nullopt;
    const auto line = findKey(*header, key);
    if (!line)
        return std::nullopt;
    const std::string& text = lines[*line].text;
    std::string_view v = trimmed(std::string_view(text).substr(text.find('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(platform::cutSjis(v, kMaxValueBytes));
}

std::string ProfileFile::newLineEnd() const
{
    for (const Line& line : lines) {
        if (line.end == "\n")
            return "\n";
    }
    return "\r\n";
}

void ProfileFile::setValue(std::string_view section, std::string_view key, std::string_view rawValue)
{
    rawValue = rawValue.substr(0, rawValue.find_first_of("\r\n"));
    rawValue = platform::cutSjis(rawValue, kMaxValueBytes);
    // A reader drops blanks around a value and one pair of enclosing quotes; a value that
    // would lose them is written inside quotes, so it reads back exactly as it was.
    const bool wouldChange = !rawValue.empty() && (isBlank(rawValue.front()) || isBlank(rawValue.back()) ||
                                                   (rawValue.size() >= 2 &&
                                                    (rawValue.front() == '"' || rawValue.front() == '\'') &&
                                                    rawValue.back() == rawValue.front()));
    const std::string value = wouldChange ? "\"" + std::string(rawValue) + "\"" : std::string(rawValue);
    const std::string end = newLineEnd();
    auto header = findSection(section);
    if (!header) {
        if (!lines.empty() && lines.back().end.empty())
            lines.back().end = end;
        lines.push_back({"[" + std::string(trimmed(section)) + "]", end});
        header = lines.size() - 1;
    }
    if (const auto line = findKey(*header, key)) {
        std::string& text = lines[*line].text;
        text.resize(text.find('=') + 1);
        text += value;
        return;
    }
    // After the last non-empty line of the section, so blank lines before the next section stay.
    size_t at = sectionEnd(*header);
    while (at > *header + 1 && trimmed(lines[at - 1].text).empty())
        --at;
    if (at == lines.size() && !lines.empty() && lines.back().end.empty())
        lines.back().end = end;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                 Line{std::string(trimmed(key)) + "=" + value, end});
}

std::string ProfileFile::serialize() const
{
    std::string out;
    for (const Line& line : lines)
        out += line.text + line.end;
    return out;
}

std::optional<ProfileFile> readProfileForUpdate(const std::string& path)
{
    switch (platform::fileKind(path)) {
    case platform::FileKind::missing:
        return ProfileFile{};
    case platform::FileKind::inaccessible:
        return std::nullopt;
    case platform::FileKind::regular:
    case platform::FileKind::other:
        break;
    }
    const auto content = platform::readWholeFile(path, kMaxProfileBytes);
    if (!content)
        return std::nullopt;
    return ProfileFile::parse(*content);
}

bool writeProfile(const ProfileFile& profile, const std::string& path, platform::FileAccess access)
{
    return platform::writeFileAtomically(path, profile.serialize(), 0600, access);
}

std::string readProfileString(std::string_view section, std::string_view key, std::string_view defaultText,
                              const std::string& path)
{
    const auto content = platform::readWholeFile(path, kMaxProfileBytes);
    if (!content)
        return std::string(defaultText);
    return ProfileFile::parse(*content).value(section, key).value_or(std::string(defaultText));
}

bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path)
{
    auto profile = readProfileForUpdate(path);
    if (!profile)
        return false;
    profile->setValue(section, key, value);
    return writeProfile(*profile, path);
}

} // namespace pelimo
