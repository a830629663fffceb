// Preloaded into wine's processes and server: a disk that fails as a dying or full one does. A file
// F beside "F.disk-fsync", "F.disk-write" or "F.disk-read" has its flushes, writes or reads fail;
// beside "F.disk-kill" its writer is killed (K) and the trigger removed. A trigger holding N lets N
// calls in each process through. A folder's ".disk-record" gets a line for each write (W), flush
// (F), rename (R) and removal (D) of its files, "!" marking a failed call.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

namespace {

template <typename Function> Function Real(Function, const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::string Name(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// The path of the regular file open as `fd`, or "".
std::string PathOf(int fd) {
    struct stat info;
    if (fstat(fd, &info) || !S_ISREG(info.st_mode))
        return "";
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
}

// Appends the line to the record of the file's folder, if any, through the real write; the
// triggers' own calls go unrecorded.
void Record(const std::string& path, const std::string& line) {
    static const auto realWrite = Real(write, "write");
    const std::string log = path.substr(0, path.rfind('/') + 1) + ".disk-record";
    const int file = path.empty() || Name(path).find(".disk-") != path.npos
                         ? -1
                         : open(log.c_str(), O_WRONLY | O_APPEND);
    if (file < 0)
        return;
    realWrite(file, (line + "\n").c_str(), line.size() + 1);
    close(file);
}

// Whether the trigger `path`.disk-`kind` exists and has let its calls through; records the call
// as `letter`, if any.
bool Fails(const std::string& path, const std::string& kind, const std::string& letter) {
    static std::mutex lock;
    static std::map<std::string, long> passed;
    const std::string trigger = path + ".disk-" + kind;
    long allowed = 0;
    const bool armed = !path.empty() && access(trigger.c_str(), F_OK) == 0;
    if (armed)
        std::ifstream(trigger) >> allowed;
    const std::lock_guard<std::mutex> held(lock);
    const bool fails = armed && passed[trigger]++ >= allowed;
    if (!letter.empty())
        Record(path, letter + (fails ? "! " : " ") + Name(path));
    return fails;
}

// A failed call's result: -1, with the error in errno.
int Failed(int error) {
    errno = error;
    return -1;
}

} // namespace

extern "C" int fsync(int fd) {
    static const auto realFsync = Real(fsync, "fsync");
    return Fails(PathOf(fd), "fsync", "F") ? Failed(EIO) : realFsync(fd);
}

extern "C" ssize_t write(int fd, const void* bytes, size_t size) {
    static const auto realWrite = Real(write, "write");
    const std::string path = PathOf(fd);
    if (Fails(path, "kill", "")) {
        Record(path, "K " + Name(path));
        unlink((path + ".disk-kill").c_str());
        kill(getpid(), SIGKILL);
    }
    return Fails(path, "write", "W") ? Failed(ENOSPC) : realWrite(fd, bytes, size);
}

extern "C" ssize_t read(int fd, void* bytes, size_t size) {
    static const auto realRead = Real(read, "read");
    return Fails(PathOf(fd), "read", "") ? Failed(EIO) : realRead(fd, bytes, size);
}

// Renames and removals are the wine server's.
extern "C" int rename(const char* from, const char* to) {
    const int failed = Real(rename, "rename")(from, to);
    Record(from, (failed ? "R! " : "R ") + Name(from) + ">" + Name(to));
    return failed;
}

extern "C" int unlink(const char* path) {
    const int failed = Real(unlink, "unlink")(path);
    Record(path, (failed ? "D! " : "D ") + Name(path));
    return failed;
}
