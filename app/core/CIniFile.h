#pragma once

// A profile file ("ini"): "[section]" lines and "key=value" lines. Section
// and key names compare without regard to ASCII case; the first matching
// section and key win. Lines the file does not understand are kept as they
// are. Read as UTF-8 with CR LF or LF line ends, written with LF.

#include <string>
#include <vector>

class CIniFile {
public:
    // Profile reads hand back at most this many characters, terminator
    // included, as a fixed read buffer would.
    static constexpr size_t kReadBuffer = 255;
    // Paths get a buffer of the system's path limit, so a long path is
    // never read back cut short and naming something else.
    static constexpr size_t kPathBuffer = 4096;

    // Reads the file; a missing file reads as empty. False when it exists
    // but cannot be read.
    bool Load(const std::u16string& path);
    // Replaces the file whole through a temporary file in the same folder,
    // so a failure leaves the old file as it was.
    [[nodiscard]] bool Save(const std::u16string& path) const;

    bool HasSection(const std::u16string& section) const;
    // The value with surrounding blanks removed, whole; false when the key
    // is not there.
    bool GetValue(const std::u16string& section, const std::u16string& key,
                  std::u16string* value) const;
    // The value without one pair of enclosing double quotes, or `fallback`
    // when the key is not there; cut to kReadBuffer - 1 characters.
    std::u16string GetString(const std::u16string& section, const std::u16string& key,
                             const std::u16string& fallback, size_t buffer = kReadBuffer) const;
    // Replaces the key where it stands or appends it to its section; a
    // missing section is added at the end. False (nothing changed) when a
    // name or the value would break the line structure: a line end, "]" in
    // the section, "=" in the key, or an empty name.
    bool SetString(const std::u16string& section, const std::u16string& key,
                   const std::u16string& value);

    // One read or one write of a key in the file at `path`, loading and
    // saving the whole file around it.
    static std::u16string GetProfileString(const std::u16string& path, const std::u16string& section,
                                           const std::u16string& key, const std::u16string& fallback,
                                           size_t buffer = kReadBuffer);
    static bool WriteProfileString(const std::u16string& path, const std::u16string& section,
                                   const std::u16string& key, const std::u16string& value);

private:
    // Index of the section's header line, or -1.
    long FindSection(const std::u16string& section) const;
    // Index of the key's line inside the section starting at `header`, or -1.
    long FindKey(long header, const std::u16string& key) const;

    std::vector<std::u16string> m_lines;
};
