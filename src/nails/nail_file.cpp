#include "nails/nail_file.h"

#include "nails/nails_download.h"
#include "nails/nails_index.h"
#include "platform/error.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kiv {
namespace {

class TFd {
public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd() {
        if (FFd >= 0) ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    explicit operator bool() const { return FFd >= 0; }

private:
    int FFd;
};

// O_NONBLOCK: a FIFO opens at once instead of waiting for a writer.
constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// sub/name beneath dir, never resolved outside it. Where openat2 is missing
// (older kernels, some sandboxes) no link is followed at all.
int OpenBeneath(int dir, const char* sub, const std::string& name, int flags) {
    const std::string path = std::string(sub) + "/" + name;
    open_how how{};
    how.flags = static_cast<uint64_t>(flags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, dir, path.c_str(), &how, sizeof how);
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return static_cast<int>(fd);
    TFd subdir(::openat(dir, sub, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return subdir ? ::openat(subdir.Get(), name.c_str(), flags | O_NOFOLLOW) : -1;
}

// The bytes of an open file that is regular and at most limit bytes long;
// otherwise false with the reason.
bool ReadOpened(int fd, uint64_t limit, std::vector<uint8_t>& bytes, std::string& why) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "Not a file";
        return false;
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size > limit) {
        why = "Larger than " + std::to_string(limit) + " bytes";
        return false;
    }
    // What was there when it was looked at: a file growing meanwhile is cut there.
    bytes.resize(static_cast<size_t>(size));
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = std::strerror(errno);
            bytes.clear();
            return false;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    return true;
}

} // namespace

TThumbnailPicture ReadNailPicture(const std::string& folder, std::string_view name,
                                  uint64_t limit) {
    TThumbnailPicture picture;
    const std::string file(name);
    const std::string path = folder + kNailsFolderName + "/" + file;
    auto refuse = [&](const std::string& why) {
        picture.Bytes.clear();
        picture.Error = "Cannot open file \"" + path + "\". " + why;
        return picture;
    };
    if (!SafeNailFileName(name)) return refuse("Not in the thumbnail folder");
    auto openFailure = [] {
        return errno == EXDEV || errno == ELOOP ? std::string("Not in the thumbnail folder")
                                                : std::string(std::strerror(errno));
    };
    TFd dir(::open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return refuse(openFailure());
    {
        // Looked at before it is opened for reading: a device in the folder is never opened.
        TFd probe(OpenBeneath(dir.Get(), kNailsFolderName, file, O_PATH | O_CLOEXEC));
        if (!probe) return refuse(openFailure());
        struct stat st {};
        if (::fstat(probe.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return refuse("Not a file");
    }
    TFd fd(OpenBeneath(dir.Get(), kNailsFolderName, file, kReadFlags));
    if (!fd) return refuse(openFailure());
    std::string why;
    if (!ReadOpened(fd.Get(), limit, picture.Bytes, why)) return refuse(why);
    return picture;
}

std::vector<uint8_t> ReadRegularFile(const std::string& path, uint64_t limit) {
    TFd fd(::open(path.c_str(), kReadFlags));
    if (!fd) throw EKivError("Cannot open file \"" + path + "\". " + std::strerror(errno));
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadOpened(fd.Get(), limit, bytes, why))
        throw EKivError("Cannot read file \"" + path + "\". " + why);
    return bytes;
}

} // namespace kiv
