#pragma once

#include "platform/FileSystem.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

// A Windows-style profile (INI) file held as its lines, so that a change rewrites only the
// line of the key it touches and every other byte of the file stays as it was. Section and
// key names compare without regard to ASCII case; the first of duplicate keys wins.
class ProfileFile {
public:
    static constexpr size_t kMaxValueBytes = 1023;

    static ProfileFile parse(std::string_view content);

    // The value of key in section, blanks around it and one pair of enclosing quotes
    // removed, cut to kMaxValueBytes on a character boundary; nothing when missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Replaces the value of an existing key in place, or appends the key at the end of its
    // section, or the section at the end of the file. A value is cut at a line break, so it
    // can never add lines of its own, and quoted where a reader would otherwise trim it.
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    std::string serialize() const;

private:
    struct Line {
        std::string text;
        std::string end; // "\r\n", "\n" or empty for a last line without one
    };

    std::optional<size_t> findSection(std::string_view section) const;
    size_t sectionEnd(size_t header) const;
    std::optional<size_t> findKey(size_t header, std::string_view key) const;
    std::string newLineEnd() const;

    std::vector<Line> lines;
};

// The profile-file service the settings store needs, one call per value as the system's
// Windows version did it. A file that exists but cannot be read is never written over.
std::string readProfileString(std::string_view section, std::string_view key, std::string_view defaultText,
                              const std::string& path);
bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path);

// Reads the file for an update: an empty profile when it does not exist, nothing when it
// exists but cannot be read (so the caller leaves it alone).
std::optional<ProfileFile> readProfileForUpdate(const std::string& path);
// Writes the profile atomically; a new file is readable by its owner only, since the
// settings may hold a password in plain text. A replaced file keeps its mode, or loses the
// group's and others' bits with FileAccess::ownerOnly.
bool writeProfile(const ProfileFile& profile, const std::string& path,
                  platform::FileAccess access = platform::FileAccess::asItWas);

} // namespace pelimo
