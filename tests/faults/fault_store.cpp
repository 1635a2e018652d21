// zd-fault-store BACKING MOUNTPOINT: a FUSE file system of two files.
// "disk" serves the backing file byte for byte (direct I/O, no page cache);
// "control" takes commands that arm faults on it while it is in use. Each
// command is one line written to "control"; it is in force once the write
// returns:
//
//   arm KIND BEGIN END ERRNO SKIP TIMES DELAY_MS
//   disarm                 (clears every fault and lets hung writes go on)
//
// KIND is fail-write, fail-read, alter-read, delay-write, hang-write,
// fail-fsync or vanish. An operation on "disk" whose bytes overlap
// [BEGIN, END) is a hit of the fault; the first SKIP hits pass, then TIMES
// hits are acted on (0: every one). A write or read that is hit fails as a
// whole (never short), so the loop driver above sees the error. vanish
// fails every operation with ERRNO, whatever its range. Reading "control"
// gives one line per fault: "KIND hits acted".
//
// Started without -f it mounts, then puts itself in the background: when
// the command returns, the mount is there. It ends when unmounted.
#define FUSE_USE_VERSION 31

#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

enum class Kind { FailWrite, FailRead, AlterRead, DelayWrite, HangWrite, FailFsync, Vanish };

struct KindName {
    Kind kind;
    const char* name;
};

constexpr KindName kKinds[] = {
    {Kind::FailWrite, "fail-write"},   {Kind::FailRead, "fail-read"},   {Kind::AlterRead, "alter-read"},
    {Kind::DelayWrite, "delay-write"}, {Kind::HangWrite, "hang-write"}, {Kind::FailFsync, "fail-fsync"},
    {Kind::Vanish, "vanish"},
};

struct Fault {
    Kind kind;
    uint64_t begin;
    uint64_t end;
    int error;
    uint64_t skip;
    uint64_t times;
    unsigned delayMs;
    uint64_t hits = 0;
    uint64_t acted = 0;
};

enum class Op { Write, Read, Fsync };

bool Applies(Kind kind, Op op)
{
    switch (kind) {
    case Kind::FailWrite:
    case Kind::DelayWrite:
    case Kind::HangWrite:
        return op == Op::Write;
    case Kind::FailRead:
    case Kind::AlterRead:
        return op == Op::Read;
    case Kind::FailFsync:
        return op == Op::Fsync;
    case Kind::Vanish:
        return true;
    }
    return false;
}

int g_backing = -1;
std::mutex g_mutex;
std::condition_variable g_disarmed;
uint64_t g_generation = 0; // raised by every disarm
std::vector<Fault> g_faults;

// What an operation over [offset, offset + size) meets: the faults that act
// on it this time, copied.
std::vector<Fault> Hit(Op op, uint64_t offset, uint64_t size)
{
    std::vector<Fault> acting;
    std::lock_guard lock(g_mutex);
    for (Fault& fault : g_faults) {
        if (!Applies(fault.kind, op))
            continue;
        const bool overlaps =
            fault.kind == Kind::Vanish || op == Op::Fsync || (offset < fault.end && offset + size > fault.begin);
        if (!overlaps)
            continue;
        ++fault.hits;
        if (fault.hits <= fault.skip || (fault.times != 0 && fault.acted >= fault.times))
            continue;
        ++fault.acted;
        acting.push_back(fault);
    }
    return acting;
}

// Returns the errno to fail the write with, or 0 to write.
int BeforeWrite(uint64_t offset, uint64_t size)
{
    for (const Fault& fault : Hit(Op::Write, offset, size)) {
        if (fault.kind == Kind::FailWrite || fault.kind == Kind::Vanish)
            return fault.error;
        if (fault.kind == Kind::DelayWrite)
            std::this_thread::sleep_for(std::chrono::milliseconds(fault.delayMs));
        if (fault.kind == Kind::HangWrite) {
            std::unique_lock lock(g_mutex);
            const uint64_t generation = g_generation;
            g_disarmed.wait(lock, [&] { return g_generation != generation; });
        }
    }
    return 0;
}

std::string Status()
{
    std::ostringstream out;
    std::lock_guard lock(g_mutex);
    for (const Fault& fault : g_faults) {
        for (const KindName& k : kKinds)
            if (k.kind == fault.kind)
                out << k.name;
        out << ' ' << fault.hits << ' ' << fault.acted << '\n';
    }
    return out.str();
}

bool Command(const std::string& line)
{
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    if (verb == "disarm") {
        std::lock_guard lock(g_mutex);
        g_faults.clear();
        ++g_generation;
        g_disarmed.notify_all();
        return true;
    }
    if (verb != "arm")
        return verb.empty();
    std::string name;
    Fault fault{};
    in >> name >> fault.begin >> fault.end >> fault.error >> fault.skip >> fault.times >> fault.delayMs;
    if (!in)
        return false;
    for (const KindName& k : kKinds) {
        if (name == k.name) {
            fault.kind = k.kind;
            std::lock_guard lock(g_mutex);
            g_faults.push_back(fault);
            return true;
        }
    }
    return false;
}

bool IsDisk(const char* path) { return std::strcmp(path, "/disk") == 0; }
bool IsControl(const char* path) { return std::strcmp(path, "/control") == 0; }

void* Init(fuse_conn_info* conn, fuse_config* config)
{
    // One request per write of the program's blocks, and no page cache.
    conn->max_write = 1 << 20;
    config->direct_io = 1;
    config->use_ino = 0;
    return nullptr;
}

int GetAttr(const char* path, struct stat* info, fuse_file_info*)
{
    std::memset(info, 0, sizeof *info);
    if (std::strcmp(path, "/") == 0) {
        info->st_mode = S_IFDIR | 0755;
        info->st_nlink = 2;
        return 0;
    }
    if (IsDisk(path)) {
        struct stat backing {};
        if (::fstat(g_backing, &backing) != 0)
            return -errno;
        info->st_mode = S_IFREG | 0600;
        info->st_nlink = 1;
        info->st_size = backing.st_size;
        return 0;
    }
    if (IsControl(path)) {
        info->st_mode = S_IFREG | 0600;
        info->st_nlink = 1;
        info->st_size = 0;
        return 0;
    }
    return -ENOENT;
}

int ReadDir(const char*, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags)
{
    for (const char* name : {".", "..", "disk", "control"})
        fill(buffer, name, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    return 0;
}

int Open(const char* path, fuse_file_info* info)
{
    if (!IsDisk(path) && !IsControl(path))
        return -ENOENT;
    info->direct_io = 1;
    return 0;
}

int Truncate(const char* path, off_t, fuse_file_info*) { return IsControl(path) ? 0 : -EPERM; }

int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info*)
{
    if (IsControl(path)) {
        const std::string status = Status();
        if (static_cast<size_t>(offset) >= status.size())
            return 0;
        const size_t n = std::min(size, status.size() - static_cast<size_t>(offset));
        std::memcpy(buffer, status.data() + offset, n);
        return static_cast<int>(n);
    }
    const auto at = static_cast<uint64_t>(offset);
    const std::vector<Fault> acting = Hit(Op::Read, at, size);
    for (const Fault& fault : acting)
        if (fault.kind == Kind::FailRead || fault.kind == Kind::Vanish)
            return -fault.error;
    const ssize_t n = ::pread(g_backing, buffer, size, offset);
    if (n < 0)
        return -errno;
    for (const Fault& fault : acting) {
        for (uint64_t i = std::max(at, fault.begin); i < std::min(at + static_cast<uint64_t>(n), fault.end); ++i)
            buffer[i - at] = static_cast<char>(buffer[i - at] ^ 0xA5);
    }
    return static_cast<int>(n);
}

int Write(const char* path, const char* buffer, size_t size, off_t offset, fuse_file_info*)
{
    if (IsControl(path)) {
        std::istringstream lines(std::string(buffer, size));
        std::string line;
        while (std::getline(lines, line))
            if (!Command(line))
                return -EINVAL;
        return static_cast<int>(size);
    }
    if (const int error = BeforeWrite(static_cast<uint64_t>(offset), size))
        return -error;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(g_backing, buffer + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0)
            return -errno;
        done += static_cast<size_t>(n);
    }
    return static_cast<int>(size);
}

int Fsync(const char* path, int, fuse_file_info*)
{
    if (!IsDisk(path))
        return 0;
    for (const Fault& fault : Hit(Op::Fsync, 0, 0))
        return -fault.error;
    return ::fdatasync(g_backing) == 0 ? 0 : -errno;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: zd-fault-store BACKING MOUNTPOINT\n");
        return 2;
    }
    g_backing = ::open(argv[1], O_RDWR | O_CLOEXEC);
    if (g_backing < 0) {
        std::perror(argv[1]);
        return 1;
    }
    fuse_operations ops{};
    ops.init = Init;
    ops.getattr = GetAttr;
    ops.readdir = ReadDir;
    ops.open = Open;
    ops.truncate = Truncate;
    ops.read = Read;
    ops.write = Write;
    ops.fsync = Fsync;
    char fsname[] = "-ofsname=zd-fault-store";
    char* args[] = {argv[0], argv[2], fsname, nullptr};
    return fuse_main(3, args, &ops, nullptr);
}
