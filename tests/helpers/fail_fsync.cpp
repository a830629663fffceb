// Built for Linux and preloaded into wine's processes: fsync, which FlushFileBuffers becomes,
// fails with EIO for a file whose name contains P while a file "P.fail-fsync" lies beside it.
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <string>

extern "C" int fsync(int fd) {
    char path[4096];
    const ssize_t size = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, 4096);
    const std::string file(path, size > 0 ? size_t(size) : 0), suffix = ".fail-fsync";
    const std::string folder = file.substr(0, file.rfind('/') + 1),
                      name = file.substr(folder.size());
    bool failing = false;
    if (DIR* entries = opendir(folder.c_str())) {
        for (const dirent* entry; !failing && (entry = readdir(entries));) {
            const std::string trigger = entry->d_name;
            failing = trigger.ends_with(suffix) &&
                      name.find(trigger.substr(0, trigger.size() - suffix.size())) != name.npos;
        }
        closedir(entries);
    }
    if (failing)
        return errno = EIO, -1;
    return reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"))(fd);
}
