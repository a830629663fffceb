// Built for Linux and preloaded into wine's processes: fsync, which FlushFileBuffers becomes,
// fails with EIO for a file whose name contains P while a file "P.fail-fsync" lies beside it.
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

bool IsFailing(const std::string& file) {
    const std::string folder = file.substr(0, file.rfind('/') + 1), suffix = ".fail-fsync";
    const std::string name = file.substr(folder.size());
    DIR* entries = opendir(folder.c_str());
    bool failing = false;
    for (const dirent* entry; !failing && entries && (entry = readdir(entries));) {
        const std::string trigger = entry->d_name;
        failing = trigger.size() > suffix.size() && trigger.ends_with(suffix) &&
                  name.find(trigger.substr(0, trigger.size() - suffix.size())) != name.npos;
    }
    if (entries)
        closedir(entries);
    return failing;
}

} // namespace

extern "C" int fsync(int fd) {
    char path[4096];
    const ssize_t length =
        readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
    if (length > 0 && IsFailing(std::string(path, size_t(length)))) {
        errno = EIO;
        return -1;
    }
    using Fsync = int (*)(int);
    return reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"))(fd);
}
