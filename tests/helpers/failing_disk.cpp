// Built for Linux and preloaded into wine's processes and server: a disk that fails as a dying or
// full one does, and tells what reached it. It acts on a file whose name holds P while a trigger
// named P plus a suffix lies beside it: ".disk-fsync", ".disk-write", ".disk-read" fail its
// flushes, writes or reads; ".disk-kill" kills the process at a write (K), once; ".disk-record"
// gets a line for each write (W), flush (F), rename (R) and removal (D), "!" marking a failed
// call. A trigger holding a number N lets the first N calls in each process through.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <map>
#include <mutex>
#include <string>

namespace {

template <typename Function> Function Real(Function, const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::string Name(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// The trigger with `suffix` beside `path` that names it, or "". Triggers are never named.
std::string Trigger(const std::string& path, const std::string& suffix) {
    const std::string folder = path.substr(0, path.rfind('/') + 1), name = Name(path);
    DIR* entries =
        folder.empty() || name.find(".disk-") != name.npos ? nullptr : opendir(folder.c_str());
    std::string found;
    for (const dirent* entry; found.empty() && entries && (entry = readdir(entries));)
        if (const std::string trigger = entry->d_name;
            trigger.ends_with(suffix) &&
            name.find(trigger.substr(0, trigger.size() - suffix.size())) != name.npos)
            found = folder + trigger;
    if (entries)
        closedir(entries);
    return found;
}

// The path of the regular file open as `fd`, or "".
std::string PathOf(int fd) {
    struct stat info;
    char path[4096];
    const ssize_t size =
        fstat(fd, &info) || !S_ISREG(info.st_mode)
            ? 0
            : readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, 4096);
    return std::string(path, size > 0 ? size_t(size) : 0);
}

// Whether the trigger ".disk-<kind>" names `path` and has let its calls through.
bool IsStruck(const std::string& path, const std::string& kind) {
    static std::mutex lock;
    static std::map<std::string, long> passed;
    const std::string trigger = Trigger(path, ".disk-" + kind);
    long allowed = 0;
    std::ifstream(trigger) >> allowed;
    const std::lock_guard<std::mutex> held(lock);
    return !trigger.empty() && passed[trigger]++ >= allowed;
}

void Record(const std::string& path, const std::string& line) {
    static const auto realWrite = Real(write, "write");
    const int log = open(Trigger(path, ".disk-record").c_str(), O_WRONLY | O_APPEND);
    if (log >= 0)
        realWrite(log, (line + "\n").c_str(), line.size() + 1), close(log);
}

} // namespace

extern "C" int fsync(int fd) {
    const std::string path = PathOf(fd);
    const bool struck = IsStruck(path, "fsync");
    Record(path, (struck ? "F! " : "F ") + Name(path));
    return struck ? (errno = EIO, -1) : Real(fsync, "fsync")(fd);
}

extern "C" ssize_t write(int fd, const void* bytes, size_t size) {
    static const auto realWrite = Real(write, "write");
    const std::string path = PathOf(fd);
    if (path.empty())
        return realWrite(fd, bytes, size);
    if (IsStruck(path, "kill"))
        Record(path, "K " + Name(path)), unlink(Trigger(path, ".disk-kill").c_str()),
            kill(getpid(), SIGKILL);
    const bool struck = IsStruck(path, "write");
    Record(path, (struck ? "W! " : "W ") + Name(path));
    return struck ? (errno = ENOSPC, -1) : realWrite(fd, bytes, size);
}

extern "C" ssize_t read(int fd, void* bytes, size_t size) {
    static const auto realRead = Real(read, "read");
    return IsStruck(PathOf(fd), "read") ? (errno = EIO, -1) : realRead(fd, bytes, size);
}

// Renames and removals are the wine server's.
extern "C" int rename(const char* from, const char* to) {
    const int failed = Real(rename, "rename")(from, to);
    Record(Trigger(from, ".disk-record").empty() ? to : from,
           (failed ? "R! " : "R ") + Name(from) + ">" + Name(to));
    return failed;
}

extern "C" int unlink(const char* path) {
    const int failed = Real(unlink, "unlink")(path);
    Record(path, (failed ? "D! " : "D ") + Name(path));
    return failed;
}
