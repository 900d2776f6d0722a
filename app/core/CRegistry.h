#pragma once

// The program's per-user registry key, kept as the group
// "[Software\Zandrel]" of the key file "registry.ini" in the user data
// root. Values are strings under the names the program has always used.
// Any thread may read or write it.

#include <string>

class CRegistry {
public:
    static constexpr char16_t kProgramKey[] = u"Software\\Zandrel";
    static constexpr char16_t kFileName[] = u"registry.ini";
    // A value is read into a buffer of this many bytes (UTF-16 units with
    // their terminator); a longer value does not read.
    static constexpr size_t kMaxValueBytes = 510;

    // The key file inside `userDataRoot` (a folder ending in "/").
    explicit CRegistry(const std::u16string& userDataRoot);
    // The key file of the settings' user data root.
    static CRegistry ForSettings();

    const std::u16string& GetFile() const { return m_file; }

    // The program key is there: false tells the first run.
    bool KeyExists() const;
    // False when the key or the value is missing, or the value is too long.
    bool GetValue(const std::u16string& name, std::u16string* value) const;
    // Creates the key and the file when missing; false when the file cannot
    // be written or the name or value cannot be stored.
    bool SetValue(const std::u16string& name, const std::u16string& value);

private:
    std::u16string m_file;
};
