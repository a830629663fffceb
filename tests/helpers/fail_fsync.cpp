// Built for Linux and preloaded into wine's processes: a flush (fsync, which FlushFileBuffers
// becomes) or a write fails, as a failing or a full disk makes it, for a file whose name contains
// P while a file "P.fail-fsync" or "P.fail-write" lies beside it.
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

// Whether a trigger ending in `suffix` lies beside the file open as `fd` and names it.
bool IsFailing(int fd, const std::string& suffix) {
    char path[4096];
    const ssize_t size = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, 4096);
    const std::string file(path, size > 0 ? size_t(size) : 0);
    const std::string folder = file.substr(0, file.rfind('/') + 1),
                      name = file.substr(folder.size());
    DIR* entries = size > 0 ? opendir(folder.c_str()) : nullptr;
    bool failing = false;
    for (const dirent* entry; !failing && entries && (entry = readdir(entries));) {
        const std::string trigger = entry->d_name;
        failing = trigger.ends_with(suffix) &&
                  name.find(trigger.substr(0, trigger.size() - suffix.size())) != name.npos;
    }
    if (entries)
        closedir(entries);
    return failing;
}

} // namespace

extern "C" int fsync(int fd) {
    if (IsFailing(fd, ".fail-fsync"))
        return errno = EIO, -1;
    return reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"))(fd);
}

extern "C" ssize_t write(int fd, const void* bytes, size_t size) {
    if (IsFailing(fd, ".fail-write"))
        return errno = ENOSPC, -1;
    using Write = ssize_t (*)(int, const void*, size_t);
    return reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"))(fd, bytes, size);
}
