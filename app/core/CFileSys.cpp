#include "app/core/CFileSys.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadFile.h"
#include "base/xml/CWriteFile.h"

namespace {

bool Fail(int* error)
{
    if (error)
        *error = errno;
    return false;
}

bool StatOf(const std::u16string& path, struct stat* st)
{
    return ::stat(CFileSys::Native(path).c_str(), st) == 0;
}

// The path with every link followed; "" when it leads nowhere.
std::string RealPath(const std::string& native)
{
    char* real = ::realpath(native.c_str(), nullptr);
    if (!real)
        return {};
    std::string text(real);
    std::free(real);
    return text;
}

// True when the whole path resolves with no symbolic link anywhere on it:
// one call instead of a look at every part. False when it does not
// resolve, has a link, or the kernel lacks openat2; then look part by part.
bool HasNoLink(const std::string& native)
{
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS;
    long fd = ::syscall(SYS_openat2, AT_FDCWD, native.c_str(), &how, sizeof how);
    if (fd < 0)
        return false;
    ::close(static_cast<int>(fd));
    return true;
}

bool IsBelow(const std::string& path, const std::string& root)
{
    if (root == "/")
        return !path.empty() && path[0] == '/';
    return path.compare(0, root.size(), root) == 0 && (path.size() == root.size() || path[root.size()] == '/');
}

}  // namespace

std::string CFileSys::Native(const std::u16string& path)
{
    std::string native = CUnicodeTool::ToUtf8(std::u16string_view(path));
    // Strip a trailing slash so stat and rename treat folders alike.
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    return native;
}

std::u16string CFileSys::FromNative(const std::string& path)
{
    return CUnicodeTool::FromUtf8(path);
}

bool CFileSys::Exists(const std::u16string& path)
{
    struct stat st;
    return !path.empty() && StatOf(path, &st);
}

bool CFileSys::IsDirectory(const std::u16string& path)
{
    struct stat st;
    return !path.empty() && StatOf(path, &st) && S_ISDIR(st.st_mode);
}

bool CFileSys::IsFile(const std::u16string& path)
{
    struct stat st;
    return !path.empty() && StatOf(path, &st) && S_ISREG(st.st_mode);
}

bool CFileSys::IsReadOnly(const std::u16string& path)
{
    struct stat st;
    return StatOf(path, &st) && (st.st_mode & S_IWUSR) == 0;
}

bool CFileSys::MakeDir(const std::u16string& path, int* error)
{
    if (::mkdir(Native(path).c_str(), 0777) == 0)
        return true;
    return Fail(error);
}

bool CFileSys::Rename(const std::u16string& from, const std::u16string& to, int* error)
{
    if (::rename(Native(from).c_str(), Native(to).c_str()) == 0)
        return true;
    return Fail(error);
}

bool CFileSys::RemoveFile(const std::u16string& path, int* error)
{
    if (::unlink(Native(path).c_str()) == 0)
        return true;
    return Fail(error);
}

bool CFileSys::CopyFile(const std::u16string& from, const std::u16string& to, int* error)
{
    int in = OpenRegularFile(Native(from).c_str());
    if (in < 0)
        return Fail(error);
    struct stat st;
    if (::fstat(in, &st) != 0) {
        Fail(error);
        ::close(in);
        return false;
    }
    std::string target = Native(to);
    // A read-only "~" copy left behind must not stop the next copy.
    ::unlink(target.c_str());
    int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        Fail(error);
        ::close(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(out, buffer + done, size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                ok = false;
                break;
            }
            done += put;
        }
        if (!ok)
            break;
    }
    if (ok && ::fsync(out) != 0)
        ok = false;
    if (!ok)
        Fail(error);
    if (::close(out) != 0 && ok)
        ok = Fail(error);
    ::close(in);
    if (!ok)
        ::unlink(target.c_str());
    return ok;
}

bool CFileSys::MakeSafetyCopy(const std::u16string& from, const std::u16string& to, int* error)
{
    std::string source = Native(from);
    std::string target = Native(to);
    // A copy left behind by a crash is older than the file.
    ::unlink(target.c_str());
    if (::link(source.c_str(), target.c_str()) == 0)
        return true;
    switch (errno) {
    case EPERM:  // no hard links here, or the system forbids this one
    case EXDEV:
    case EMLINK:
    case ENOTSUP:
#if EOPNOTSUPP != ENOTSUP
    case EOPNOTSUPP:
#endif
    case ENOSYS:
        return CopyFile(from, to, error);
    default:
        return Fail(error);
    }
}

bool CFileSys::RestoreSafetyCopy(const std::u16string& copy, const std::u16string& path)
{
    std::string saved = Native(copy);
    std::string target = Native(path);
    struct stat a, b;
    // rename() between two names of one file would keep both.
    if (::lstat(saved.c_str(), &a) == 0 && ::lstat(target.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino)
        return ::unlink(saved.c_str()) == 0;
    return ::rename(saved.c_str(), target.c_str()) == 0;
}

bool CFileSys::WriteWholeFile(const std::u16string& path, const std::string& bytes)
{
    CAtomicWriteFile file;
    if (!file.Open(path.c_str()))
        return false;
    if (!file.Write(bytes.data(), bytes.size())) {
        file.Abort();
        return false;
    }
    return file.Commit();
}

bool CFileSys::WriteWholeFile(const std::u16string& path, const std::string& bytes, int* error,
                              const std::u16string& drop)
{
    CAtomicWriteFile file;
    errno = 0;
    int failure = 0;
    if (!file.Open(path.c_str())) {
        failure = errno;
    } else if (!file.Write(bytes.data(), bytes.size())) {
        failure = errno;  // before the clean-up can change it
        file.Abort();
    } else {
        errno = 0;
        std::string dropped = drop.empty() ? std::string() : Native(drop);
        if (file.Commit(drop.empty() ? nullptr : dropped.c_str()))
            return true;
        failure = errno;
    }
    if (error)
        *error = failure ? failure : EIO;
    return false;
}

bool CFileSys::ListDir(const std::u16string& path, std::vector<Entry>* entries)
{
    std::string folder = Native(path);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return false;
    entries->clear();
    while (dirent* ent = ::readdir(dir)) {
        std::string name = ent->d_name;
        if (name == "." || name == "..")
            continue;
        struct statx sx;
        Entry entry;
        entry.name = FromNative(name);
        if (::statx(dirfd(dir), ent->d_name, 0, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
            entry.directory = S_ISDIR(sx.stx_mode);
            entry.created = (sx.stx_mask & STATX_BTIME) ? long(sx.stx_btime.tv_sec) : long(sx.stx_ctime.tv_sec);
            entry.modified = long(sx.stx_mtime.tv_sec);
            entry.accessed = long(sx.stx_atime.tv_sec);
        }
        entries->push_back(std::move(entry));
    }
    ::closedir(dir);
    return true;
}

std::u16string CFileSys::ErrorCode(int error)
{
    char text[16];
    std::snprintf(text, sizeof text, "0X%08X", unsigned(error));
    return FromNative(text);
}

std::u16string CFileSys::WithSlash(const std::u16string& folder)
{
    if (!folder.empty() && folder.back() == u'/')
        return folder;
    return folder + u'/';
}

std::u16string CFileSys::WithoutSlash(const std::u16string& folder)
{
    std::u16string bare = folder;
    while (bare.size() > 1 && bare.back() == u'/')
        bare.pop_back();
    return bare;
}

std::u16string CFileSys::FolderOf(const std::u16string& path)
{
    size_t slash = path.rfind(u'/');
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

std::u16string CFileSys::NameOf(const std::u16string& path)
{
    size_t slash = path.rfind(u'/');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

bool CFileSys::IsPlainName(std::u16string_view name)
{
    if (name.empty() || name == u"." || name == u"..")
        return false;
    return name.find_first_of(std::u16string_view(u"/\\\0", 3)) == std::u16string_view::npos;
}

std::u16string CFileSys::FindLinkOutside(const std::u16string& path, const std::u16string& root)
{
    std::string top = Native(root);
    std::string native = Native(path);
    struct stat st;
    if (!IsBelow(native, top))
        return ::stat(top.c_str(), &st) == 0 ? FromNative(native) : std::u16string();
    if (HasNoLink(native))
        return {};
    // Resolved only when a link is met: most paths hold none, and this
    // runs for every collection a project loads.
    std::string realTop;
    // Each existing part in turn: a link is judged by where it really
    // leads, so a link to another place inside keeps working. Each part is
    // looked at in place, cut off at its slash, without a copy.
    for (size_t start = top == "/" ? 1 : top.size() + 1; start <= native.size();) {
        size_t slash = native.find('/', start);
        if (slash != std::string::npos)
            native[slash] = '\0';
        bool exists = ::lstat(native.c_str(), &st) == 0;
        if (exists && S_ISLNK(st.st_mode)) {
            std::string part = native.substr(0, slash);
            if (realTop.empty() && (realTop = RealPath(top)).empty())
                return {};  // no folder yet, so nothing below it to follow
            std::string real = RealPath(part);
            if (real.empty() || !IsBelow(real, realTop))
                return FromNative(part);
        }
        if (slash == std::string::npos || !exists)
            break;  // what does not exist yet follows no link
        native[slash] = '/';
        start = slash + 1;
    }
    return {};
}
