#pragma once

// First-run registration: the desktop entry and the MIME type that make
// project files open in this program, and the registry values of the first
// run.

#include <string>

class CRegistry;

class CFileAssoc {
public:
    CFileAssoc() = delete;

    // The application id: the installed desktop entry, metainfo and icon
    // (data/) carry it too. The user's entry takes the installed entry's
    // name, so it replaces that entry instead of adding a second one.
    static constexpr char16_t kAppId[] = u"org.zandrel.Zandrel";
    static constexpr char16_t kMimeType[] = u"application/x-zandrel-project";
    static constexpr char16_t kTypeName[] = u"Korvel Zandrel";
    static constexpr char16_t kDesktopFileName[] = u"org.zandrel.Zandrel.desktop";
    static constexpr char16_t kMimePackageName[] = u"org.zandrel.Zandrel.xml";

    // The full path of the running program.
    static std::u16string GetProgramPath();
    // $XDG_DATA_HOME, else ~/.local/share; ends in "/".
    static std::u16string GetDataHome();

    // Writes "applications/org.zandrel.Zandrel.desktop" and
    // "mime/packages/org.zandrel.Zandrel.xml"
    // under the data home, then refreshes both databases with their tools
    // where they are installed (their failure is ignored). False when a
    // file could not be written or the program path cannot be put in a
    // desktop entry.
    static bool Register(const std::u16string& programPath);

    // The first run's "Version" and "FirstTime" (`now` as "%ld") in the
    // program key, beside Register; true when both were written.
    static bool WriteFirstRunValues(CRegistry& registry, long now);

    // 200 reads "2.0.0": hundreds, tens and units.
    static std::u16string GetVersionText(int version);

    // The Exec line's program: quoted and escaped for a desktop entry; ""
    // when the path holds a control character.
    static std::u16string QuoteExecPath(const std::u16string& path);
};
