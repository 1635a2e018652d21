// Loaded with LD_PRELOAD into a program under test: records every SG_IO and
// NVMe admin command it sends and answers them from a script, so that the
// command blocks of several programs can be compared and every reply of a
// drive (frozen, locked, a failed erase) can be played. No firmware command
// ever reaches the kernel: commands on any other file than ZD_SHIM_PATH are
// refused, and those on it are answered here.
//
//   ZD_SHIM_PATH     the one file or loop device commands may name
//   ZD_SHIM_LOG      where each command is appended, one line each
//   ZD_SHIM_REPLIES  the script: lines "REGEX<TAB>REPLY"; the first rule
//                    whose extended regular expression matches a command's
//                    line answers it. REPLY holds fields separated by blanks:
//                      data=HEX          data-in, zero-padded to its length
//                      patch=OFFSET:HEX  bytes placed into the data-in
//                      sense=HEX         SCSI sense data (status 2 with it)
//                      status=N          SCSI status, or the NVMe status
//                      result=N          NVMe completion dword 0
//                      errno=N           the ioctl fails with this error
//                      times=N           the rule answers N commands only
//                      erase=1           the command zeroes ZD_SHIM_PATH, as
//                                        a drive's erase would
//                    Unmatched commands succeed with zeroed data.
//   ZD_SHIM_NSID     what NVME_IOCTL_ID answers; unset, the file is no NVMe
//                    namespace
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/nvme_ioctl.h>
#include <regex.h>
#include <scsi/sg.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

#define MAX_RULES 64
#define LINE_MAX_LENGTH 65536

struct rule {
    regex_t pattern;
    char* reply;
    int timesLeft; // -1: unlimited
};

static struct rule rules[MAX_RULES];
static int ruleCount = -1;

static void LoadRules(void)
{
    ruleCount = 0;
    const char* path = getenv("ZD_SHIM_REPLIES");
    FILE* file = path ? fopen(path, "r") : NULL;
    if (!file)
        return;
    char* line = NULL;
    size_t capacity = 0;
    while (ruleCount < MAX_RULES && getline(&line, &capacity, file) > 0) {
        line[strcspn(line, "\n")] = '\0';
        char* tab = strchr(line, '\t');
        if (!tab)
            continue;
        *tab = '\0';
        struct rule* rule = &rules[ruleCount];
        if (regcomp(&rule->pattern, line, REG_EXTENDED | REG_NOSUB) != 0)
            continue;
        rule->reply = strdup(tab + 1);
        const char* times = strstr(rule->reply, "times=");
        rule->timesLeft = times ? atoi(times + 6) : -1;
        ++ruleCount;
    }
    free(line);
    fclose(file);
}

static const char* FindReply(const char* command)
{
    if (ruleCount < 0)
        LoadRules();
    for (int i = 0; i < ruleCount; ++i) {
        if (rules[i].timesLeft == 0 || regexec(&rules[i].pattern, command, 0, NULL, 0) != 0)
            continue;
        if (rules[i].timesLeft > 0)
            --rules[i].timesLeft;
        return rules[i].reply;
    }
    return "";
}

// The value of "name=" in a reply, or NULL.
static const char* Field(const char* reply, const char* name)
{
    const size_t length = strlen(name);
    for (const char* at = reply; (at = strstr(at, name)) != NULL; at += length)
        if ((at == reply || at[-1] == ' ') && at[length] == '=')
            return at + length + 1;
    return NULL;
}

static long Number(const char* reply, const char* name, long otherwise)
{
    const char* value = Field(reply, name);
    return value ? strtol(value, NULL, 0) : otherwise;
}

// Hex digits up to a blank into bytes; how many were written.
static size_t ParseHex(const char* hex, unsigned char* out, size_t capacity)
{
    size_t count = 0;
    while (count < capacity && hex[0] && hex[0] != ' ' && hex[1] && hex[1] != ' ') {
        char pair[3] = {hex[0], hex[1], '\0'};
        out[count++] = (unsigned char)strtoul(pair, NULL, 16);
        hex += 2;
    }
    return count;
}

static void FillData(const char* reply, unsigned char* data, size_t length)
{
    if (!data)
        return;
    memset(data, 0, length);
    const char* hex = Field(reply, "data");
    if (hex)
        ParseHex(hex, data, length);
    for (const char* at = reply; (at = Field(at, "patch")) != NULL;) {
        char* colon = NULL;
        const size_t offset = strtoul(at, &colon, 0);
        if (*colon == ':' && offset < length)
            ParseHex(colon + 1, data + offset, length - offset);
        at = colon;
    }
}

static void AppendHex(char* line, size_t capacity, const char* name, const unsigned char* bytes, size_t count)
{
    size_t used = strlen(line);
    used += (size_t)snprintf(line + used, capacity - used, " %s=", name);
    for (size_t i = 0; i < count && used + 3 < capacity; ++i)
        used += (size_t)snprintf(line + used, capacity - used, "%02x", bytes[i]);
}

static void Record(const char* line)
{
    const char* path = getenv("ZD_SHIM_LOG");
    if (!path)
        return;
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    char buffer[LINE_MAX_LENGTH + 2];
    const int length = snprintf(buffer, sizeof buffer, "%s\n", line);
    if (write(fd, buffer, (size_t)length) < 0) {
        // Nothing to do: the comparison finds the line missing.
    }
    close(fd);
}

// Whether fd is the file the test made.
static int IsTestFile(int fd)
{
    const char* allowed = getenv("ZD_SHIM_PATH");
    char wanted[PATH_MAX], link[64], actual[PATH_MAX];
    if (!allowed || !realpath(allowed, wanted))
        return 0;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, actual, sizeof actual - 1);
    if (length < 0)
        return 0;
    actual[length] = '\0';
    return strcmp(actual, wanted) == 0;
}

// What a drive's erase leaves: zeros over the whole test file, written
// through so that unbuffered reads see them.
static void EraseTestFile(void)
{
    const int fd = open(getenv("ZD_SHIM_PATH"), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    static const char zeros[65536];
    const off_t length = lseek(fd, 0, SEEK_END);
    for (off_t at = 0; at < length; at += (off_t)sizeof zeros)
        if (pwrite(fd, zeros, sizeof zeros, at) < 0)
            break;
    fsync(fd);
    close(fd);
}

static int Fail(int error)
{
    errno = error;
    return -1;
}

static int AnswerScsi(sg_io_hdr_t* io)
{
    static char line[LINE_MAX_LENGTH];
    snprintf(line, sizeof line, "sg_io dxfer_direction=%d", io->dxfer_direction);
    AppendHex(line, sizeof line, "cdb", io->cmdp, io->cmd_len);
    if (io->dxfer_direction == SG_DXFER_TO_DEV)
        AppendHex(line, sizeof line, "out", io->dxferp, io->dxfer_len);
    Record(line);
    const char* reply = FindReply(line);
    if (Field(reply, "errno"))
        return Fail((int)Number(reply, "errno", EIO));
    if (io->dxfer_direction == SG_DXFER_FROM_DEV)
        FillData(reply, io->dxferp, io->dxfer_len);
    if (Field(reply, "erase"))
        EraseTestFile();
    io->status = 0;
    io->masked_status = 0;
    io->host_status = 0;
    io->driver_status = 0;
    io->sb_len_wr = 0;
    io->resid = 0;
    io->info = 0;
    const char* sense = Field(reply, "sense");
    if (sense && io->sbp) {
        io->sb_len_wr = (unsigned char)ParseHex(sense, io->sbp, io->mx_sb_len);
        io->status = 2;
        io->driver_status = 0x08; // DRIVER_SENSE
        io->info = SG_INFO_CHECK;
    }
    io->status = (unsigned char)Number(reply, "status", io->status);
    io->masked_status = io->status >> 1;
    return 0;
}

static int AnswerNvme(struct nvme_passthru_cmd64* command, int wide)
{
    static char line[LINE_MAX_LENGTH];
    snprintf(line, sizeof line,
             "nvme_admin opcode=%02x flags=%02x nsid=%u cdw2=%08x cdw3=%08x cdw10=%08x cdw11=%08x cdw12=%08x "
             "cdw13=%08x cdw14=%08x cdw15=%08x data_len=%u",
             command->opcode, command->flags, command->nsid, command->cdw2, command->cdw3, command->cdw10,
             command->cdw11, command->cdw12, command->cdw13, command->cdw14, command->cdw15, command->data_len);
    unsigned char* data = (unsigned char*)(uintptr_t)command->addr;
    const int toDevice = command->opcode & 1;
    if (toDevice && data)
        AppendHex(line, sizeof line, "out", data, command->data_len);
    Record(line);
    const char* reply = FindReply(line);
    if (Field(reply, "errno"))
        return Fail((int)Number(reply, "errno", EIO));
    if (!toDevice && (command->opcode & 2))
        FillData(reply, data, command->data_len);
    if (Field(reply, "erase"))
        EraseTestFile();
    const unsigned long long result = (unsigned long long)Number(reply, "result", 0);
    if (wide)
        command->result = result;
    else
        ((struct nvme_passthru_cmd*)command)->result = (uint32_t)result;
    return (int)Number(reply, "status", 0);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);

    const unsigned type = _IOC_TYPE(request);
    const int firmware =
        request == SG_IO || type == 'N' || type == 0x03 /* HDIO_ */ || request == 1 /* SCSI_IOCTL_SEND_COMMAND */;
    if (!firmware) {
        // POSIX lets dlsym's object pointer be copied into a function pointer.
        static int (*real)(int, unsigned long, ...);
        if (!real) {
            void* symbol = dlsym(RTLD_NEXT, "ioctl");
            memcpy(&real, &symbol, sizeof real);
        }
        return real(fd, request, argument);
    }
    if (!IsTestFile(fd)) {
        char line[96];
        snprintf(line, sizeof line, "refused request=%#lx", request);
        Record(line);
        return Fail(EPERM);
    }
    if (request == SG_IO)
        return AnswerScsi(argument);
    if (request == NVME_IOCTL_ADMIN_CMD) {
        // The narrow structure is the wide one without its last field.
        struct nvme_passthru_cmd64 wide;
        memset(&wide, 0, sizeof wide);
        memcpy(&wide, argument, sizeof(struct nvme_passthru_cmd));
        const int status = AnswerNvme(&wide, 0);
        ((struct nvme_passthru_cmd*)argument)->result = ((struct nvme_passthru_cmd*)&wide)->result;
        return status;
    }
    if (request == NVME_IOCTL_ADMIN64_CMD)
        return AnswerNvme(argument, 1);
    if (request == NVME_IOCTL_ID) {
        const char* nsid = getenv("ZD_SHIM_NSID");
        return nsid ? atoi(nsid) : Fail(ENOTTY);
    }
    return Fail(ENOTTY);
}
