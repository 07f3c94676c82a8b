#include "platform/secret_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/private_files.h"

namespace {
constexpr off_t MAX_SECRET_FILE_SIZE = 64 * 1024;
}

bool ReadSecretFile(const std::string& sPath, std::map<std::string, std::string>& values, std::string& sWhyNot) {
    const int fd = ::open(sPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st{};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 077) != 0 ||
        (st.st_uid != 0 && st.st_uid != ::geteuid()) || st.st_size > MAX_SECRET_FILE_SIZE) {
        if (fd >= 0) ::close(fd);
        sWhyNot = sPath + " must be a regular file of root's (or ours) that only its owner can read";
        return false;
    }
    std::string sText(static_cast<size_t>(st.st_size), '\0');
    sText.resize(ReadAt(fd, sText.data(), sText.size(), 0));
    ::close(fd);
    ParseSecretText(sText, values);
    return true;
}
