#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "base/tools/CSysString.h"
#include "base/tools/CUnicodeTool.h"

// A scratch folder removed with everything in it when the test ends.
class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/zandrel-test-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~TempDir() { std::system(("chmod -R u+w '" + m_path + "' && rm -rf '" + m_path + "'").c_str()); }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }
    std::u16string WPath(const std::string& name) const { return CUnicodeTool::FromUtf8(Path(name)); }
    const std::string& Root() const { return m_path; }

private:
    std::string m_path;
};

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The golden file of that name under tests/data.
inline std::string Golden(const std::string& name)
{
    return ReadBytes(std::string(ZANDREL_TEST_DATA) + "/" + name);
}

// Compares `actual` with the golden file `name` under tests/data byte for
// byte. With ZANDREL_UPDATE_GOLDEN=1 in the environment the file is written
// instead (scripts/update-golden.sh); inspect the diff before committing.
inline void ExpectGolden(const std::string& name, const std::string& actual)
{
    EXPECT_EQ(actual.find("/tmp/zandrel-test"), std::string::npos) << "a scratch path leaked into " << name;
    std::string path = std::string(ZANDREL_TEST_DATA) + "/" + name;
    const char* update = std::getenv("ZANDREL_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        WriteBytes(path, actual);
        return;
    }
    EXPECT_EQ(ReadBytes(path), actual) << "golden file " << name << " differs";
}

// The UTF-8 form of a text that may be none.
inline std::string U8(const char16_t* text)
{
    return text ? CUnicodeTool::ToUtf8(text) : "<none>";
}

// Takes a CSysString, frees it and returns its UTF-8 form.
inline std::string TakeText(char16_t* text)
{
    std::string out = text ? CUnicodeTool::ToUtf8(std::u16string_view(text, CSysString::Len(text))) : "<none>";
    CSysString::Free(text);
    return out;
}

// A DOCTYPE for `root` whose entity &a7; expands to 400 MB, far past what
// the readers take; the caller closes it with "]>" and a document.
inline std::string EntityBomb(const std::string& root)
{
    std::string bomb = "<!DOCTYPE " + root + " [<!ENTITY a0 '0123456789012345678901234567890123456789'>";
    for (int i = 1; i < 8; ++i)
        for (int k = 0; k <= 10; ++k)
            bomb += k == 0 ? "<!ENTITY a" + std::to_string(i) + " '" : k < 10 ? "&a" + std::to_string(i - 1) + ";" : "'>";
    return bomb;
}
