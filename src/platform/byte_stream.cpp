#include "platform/byte_stream.h"

#include "platform/error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kiv {

int32_t TByteStream::ReadFull(void* buffer, int32_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        int32_t n = Read(out + done, count - done);
        if (n <= 0) break;
        done += n;
    }
    return done;
}

TFileStream::TFileStream(const std::string& path) {
    FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (FFd < 0) throw EKivError("Cannot open file \"" + path + "\". " + std::strerror(errno));
    struct stat st {};
    if (::fstat(FFd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(FFd);
        FFd = -1;
        throw EKivError("Cannot open file \"" + path + "\". Not a file");
    }
    // Shared read: a writer holding an exclusive lock keeps us out, readers do not.
    if (::flock(FFd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(FFd);
        FFd = -1;
        throw EKivError("Cannot open file \"" + path + "\". The file is locked");
    }
}

TFileStream::~TFileStream() {
    if (FFd >= 0) ::close(FFd);
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
    if (count <= 0) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        ssize_t n = ::read(FFd, out + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<int32_t>(n);
    }
    return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(FFd, static_cast<off_t>(offset), whence);
    return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || FPos < 0 || FPos >= static_cast<int64_t>(FBytes.size())) return 0;
    int64_t n = std::min<int64_t>({count, FMaxPerRead, static_cast<int64_t>(FBytes.size()) - FPos});
    std::memcpy(buffer, FBytes.data() + FPos, static_cast<size_t>(n));
    FPos += n;
    return static_cast<int32_t>(n);
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == soBeginning ? 0
                   : origin == soCurrent ? FPos
                                         : static_cast<int64_t>(FBytes.size());
    FPos = std::max<int64_t>(0, base + offset);
    return FPos;
}

} // namespace kiv
