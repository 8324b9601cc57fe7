/*
 * faultyfs: a tiny FUSE filesystem that plays a failing medium for the tests.
 *
 * It serves one file, the medium, whose bytes live in a real source file. Reads that touch any
 * of the chosen bad byte ranges fail with EIO as a whole, the way a dying disk refuses a
 * request; all other reads and writes pass straight through to the source file. Three more files
 * let a test watch and steer it while it runs:
 *
 *   stats  "reads N\nfailed N\nbytes N\n": read requests of the medium so far, how many failed,
 *          and the bytes they delivered
 *   bad    the bad ranges; write "START-END,START-END..." (END exclusive, decimal or 0x hex,
 *          empty for none) and close the file to replace them
 *   powercut  any write to it drops what was written since the last sync (with
 *          --keep-only-synced), as a disk that loses its cache
 *
 * With --files DIR, files can be created in the mount beside the medium (a destination on the
 * same disk); they live in DIR and never fail. With --keep-only-synced every write to the medium
 * or such a file reaches the disk at once but is remembered, with the bytes it replaced and the
 * size the file had, until fsync or fdatasync of that file: a power cut then puts back every
 * byte written since, newest first, so the files hold exactly what their last sync had.
 *
 * Usage: faultyfs --source FILE [--bad RANGES] [--delay-ms N] [--rate BYTES-PER-SECOND]
 *                 [--name NAME] [--short-reads] [--files DIR] [--keep-only-synced]
 *                 [--trace FILE] [--multithreaded] [--exit-with-parent]
 *                 [-o FUSE-OPTION...] MOUNTPOINT
 *
 * With --short-reads a read that reaches a bad range after some good bytes returns those good
 * bytes (a short read) instead of failing whole; a read that begins in a bad range still fails.
 *
 * With --trace FILE every read request of the medium is written to FILE (created or emptied at
 * the start) as one line, in the order the answers are given:
 *
 *   MICROSECONDS OFFSET LENGTH DELIVERED ok|failed
 *
 * MICROSECONDS is the monotonic time the answer was ready (after any delay), counted from the
 * mount; OFFSET and LENGTH are the request, DELIVERED the bytes it returned from OFFSET on (less
 * than LENGTH at the end of the medium). "failed" marks a read that touched a bad range, as
 * stats counts them (it delivered nothing, or with --short-reads the good bytes before the bad
 * range), or that the source file could not serve. Lines are buffered; the file is flushed on
 * unmount and closed when faultyfs ends. A first line starting with '#' names the columns and
 * ends with "origin US": the mount's moment in the system's monotonic clock, in microseconds.
 *
 * It always runs in the foreground, and it leaves (unmounting) on unmount, SIGTERM, SIGINT or
 * SIGHUP. It answers one request at a time unless --multithreaded is given: then a slow failing
 * read does not hold up a stat or another read, as on a real drive behind a kernel driver.
 * Every file is opened with direct_io, so each read(2) reaches us instead of being answered or
 * widened by the page cache.
 */
#define FUSE_USE_VERSION 31

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <pthread.h>
#include <signal.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

struct range {
    uint64_t start;
    uint64_t end; /* exclusive */
};

struct ranges {
    struct range* items;
    size_t count;
};

enum kind { KIND_NONE, KIND_MEDIUM, KIND_STATS, KIND_BAD, KIND_POWERCUT, KIND_FILE };

/* What one write or cut replaced, for a power cut to put back: the bytes that stood at
 * offset (those within the old size) and the size the file had before. */
struct undo {
    off_t offset;
    size_t length;
    off_t old_size;
    char* bytes;
    struct undo* older;
};

/* A file that can be written: the medium, or one created in the mount. Its undo log, newest
 * first, holds every change since its last sync (only with --keep-only-synced). A created file
 * keeps its node, and its descriptor, until faultyfs ends; unlinked, it loses its name. */
struct node {
    char* name;
    int fd;
    struct undo* undo;
    struct node* next;
};

/* One open file. For stats and bad it holds a snapshot to read, or the text being written. */
struct handle {
    enum kind kind;
    char* text;
    size_t length;
    size_t capacity;
    struct node* node; /* the file, for the medium and created files */
    int wrote;         /* text has come since the ranges were last taken from this handle */
    int pending;       /* opened for writing and nothing taken yet: closing clears the ranges */
    /* Every handle is on the open list until its release, so that those the kernel never
     * released (closed just before the unmount, or open when we were stopped) are freed too. */
    struct handle* previous;
    struct handle* next;
};

static struct {
    const char* source_path;
    const char* name;
    int source_fd;
    int writable;
    unsigned delay_ms;
    /* Good reads are held to this many bytes a second, as on a slow drive; 0: no limit. */
    unsigned long rate;
    int short_reads;
    /* Held for the bad ranges and the counters: with --multithreaded requests run at once. */
    pthread_mutex_t lock;
    struct ranges bad;
    unsigned long long reads;
    unsigned long long failed;
    unsigned long long bytes;
    struct handle* open_handles;
    /* Created files live in this folder; -1: none can be created. */
    int files_fd;
    int keep_only_synced;
    struct node medium;
    struct node* files;
    /* The read trace, or NULL; written with the lock held. Times count from `mounted`. */
    FILE* trace;
    struct timespec mounted;
} state = {.name = "disk.img",
           .source_fd = -1,
           .files_fd = -1,
           .medium = {.fd = -1},
           .lock = PTHREAD_MUTEX_INITIALIZER};

/* Parses "START-END[,START-END...]" with optional white space; empty text means no ranges. */
static int parse_ranges(const char* text, size_t length, struct ranges* out) {
    char* copy = strndup(text, length);
    if (copy == NULL)
        return -ENOMEM;
    struct ranges result = {NULL, 0};
    int error = 0;
    char* cursor = copy;
    for (;;) {
        while (*cursor == ' ' || *cursor == '\t' || *cursor == '\n' || *cursor == '\r')
            ++cursor;
        if (*cursor == '\0')
            break;
        char* after;
        errno = 0;
        const unsigned long long start = strtoull(cursor, &after, 0);
        if (after == cursor || *after != '-' || errno != 0) {
            error = -EINVAL;
            break;
        }
        cursor = after + 1;
        const unsigned long long end = strtoull(cursor, &after, 0);
        if (after == cursor || errno != 0 || end <= start) {
            error = -EINVAL;
            break;
        }
        struct range* grown = realloc(result.items, (result.count + 1) * sizeof *grown);
        if (grown == NULL) {
            error = -ENOMEM;
            break;
        }
        result.items = grown;
        result.items[result.count++] = (struct range){start, end};
        cursor = after;
        while (*cursor == ' ' || *cursor == '\t' || *cursor == '\n' || *cursor == '\r')
            ++cursor;
        if (*cursor == ',')
            ++cursor;
        else if (*cursor != '\0') {
            error = -EINVAL;
            break;
        }
    }
    free(copy);
    if (error != 0) {
        free(result.items);
        return error;
    }
    *out = result;
    return 0;
}

static void replace_ranges(struct ranges fresh) {
    pthread_mutex_lock(&state.lock);
    struct ranges old = state.bad;
    state.bad = fresh;
    pthread_mutex_unlock(&state.lock);
    free(old.items);
}

/* The first bad byte of [offset, offset + size), or offset + size when there is none. Called
 * with the lock held. */
static uint64_t first_bad(uint64_t offset, size_t size) {
    const uint64_t end = offset + size;
    uint64_t first = end;
    for (size_t i = 0; i < state.bad.count; ++i) {
        const struct range* bad = &state.bad.items[i];
        if (offset < bad->end && bad->start < end) {
            const uint64_t start = bad->start > offset ? bad->start : offset;
            if (start < first)
                first = start;
        }
    }
    return first;
}

static int touches_bad(uint64_t offset, size_t size) {
    pthread_mutex_lock(&state.lock);
    const int touches = first_bad(offset, size) < offset + size;
    pthread_mutex_unlock(&state.lock);
    return touches;
}

static int is_reserved(const char* name) {
    return strcmp(name, "stats") == 0 || strcmp(name, "bad") == 0 ||
           strcmp(name, "powercut") == 0 || strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

/* The name of a path right under the root, or NULL for the root itself or a deeper path. */
static const char* top_name(const char* path) {
    if (path[0] != '/' || path[1] == '\0' || strchr(path + 1, '/') != NULL)
        return NULL;
    return path + 1;
}

static enum kind kind_of(const char* path) {
    const char* name = top_name(path);
    if (name == NULL)
        return KIND_NONE;
    if (strcmp(name, state.name) == 0)
        return KIND_MEDIUM;
    if (strcmp(name, "stats") == 0)
        return KIND_STATS;
    if (strcmp(name, "bad") == 0)
        return KIND_BAD;
    if (strcmp(name, "powercut") == 0)
        return KIND_POWERCUT;
    struct stat st;
    if (state.files_fd >= 0 && fstatat(state.files_fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode))
        return KIND_FILE;
    return KIND_NONE;
}

/* The node of a created file, made (with its descriptor) when it is first opened. Called with
 * the lock held; NULL with errno set when the file cannot be opened. */
static struct node* file_node(const char* name) {
    for (struct node* node = state.files; node != NULL; node = node->next)
        if (node->name != NULL && strcmp(node->name, name) == 0)
            return node;
    struct node* node = calloc(1, sizeof *node);
    if (node == NULL)
        return NULL;
    node->name = strdup(name);
    node->fd = openat(state.files_fd, name, O_RDWR | O_CLOEXEC);
    if (node->name == NULL || node->fd < 0) {
        const int error = node->name == NULL ? ENOMEM : errno;
        free(node->name);
        free(node);
        errno = error;
        return NULL;
    }
    node->next = state.files;
    state.files = node;
    return node;
}

static void forget_undo(struct node* node) {
    while (node->undo != NULL) {
        struct undo* older = node->undo->older;
        free(node->undo->bytes);
        free(node->undo);
        node->undo = older;
    }
}

static int read_fully(int fd, char* buffer, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, buffer + done, size - done, offset + (off_t)done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got < 0 ? -errno : -EIO;
        done += (size_t)got;
    }
    return 0;
}

static int write_fully(int fd, const char* data, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t put = pwrite(fd, data + done, size - done, offset + (off_t)done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        done += (size_t)put;
    }
    return 0;
}

/* Remembers what a change of [offset, offset + length) is about to replace, before it is
 * made. Called with the lock held; nothing to do unless only synced data is kept. */
static int remember(struct node* node, off_t offset, size_t length) {
    if (!state.keep_only_synced)
        return 0;
    struct stat st;
    if (fstat(node->fd, &st) != 0)
        return -errno;
    struct undo* entry = calloc(1, sizeof *entry);
    if (entry == NULL)
        return -ENOMEM;
    entry->offset = offset;
    entry->old_size = st.st_size;
    entry->length = offset < st.st_size ? (size_t)(st.st_size - offset) : 0;
    if (entry->length > length)
        entry->length = length;
    if (entry->length > 0) {
        entry->bytes = malloc(entry->length);
        const int error = entry->bytes == NULL
                              ? -ENOMEM
                              : read_fully(node->fd, entry->bytes, entry->length, offset);
        if (error != 0) {
            free(entry->bytes);
            free(entry);
            return error;
        }
    }
    entry->older = node->undo;
    node->undo = entry;
    return 0;
}

/* Puts back everything written to the file since its last sync, newest change first. Called
 * with the lock held. */
static int roll_back(struct node* node) {
    int error = 0;
    for (struct undo* entry = node->undo; entry != NULL; entry = entry->older) {
        if (entry->length > 0 && error == 0)
            error = write_fully(node->fd, entry->bytes, entry->length, entry->offset);
        if (error == 0 && ftruncate(node->fd, entry->old_size) != 0)
            error = -errno;
    }
    forget_undo(node);
    return error;
}

static int power_cut(void) {
    pthread_mutex_lock(&state.lock);
    int error = state.medium.fd >= 0 ? roll_back(&state.medium) : 0;
    for (struct node* node = state.files; node != NULL; node = node->next) {
        const int failed = roll_back(node);
        if (error == 0)
            error = failed;
    }
    pthread_mutex_unlock(&state.lock);
    return error;
}

static int append(struct handle* handle, const char* data, size_t size, size_t at) {
    if (at + size > handle->capacity) {
        size_t capacity = handle->capacity ? handle->capacity : 256;
        while (capacity < at + size)
            capacity *= 2;
        char* grown = realloc(handle->text, capacity);
        if (grown == NULL)
            return -ENOMEM;
        handle->text = grown;
        handle->capacity = capacity;
    }
    if (at > handle->length)
        memset(handle->text + handle->length, ' ', at - handle->length);
    memcpy(handle->text + at, data, size);
    if (at + size > handle->length)
        handle->length = at + size;
    return 0;
}

static int snapshot(struct handle* handle) {
    char text[128];
    int error = 0;
    pthread_mutex_lock(&state.lock);
    if (handle->kind == KIND_STATS) {
        const int length = snprintf(text, sizeof text, "reads %llu\nfailed %llu\nbytes %llu\n",
                                    state.reads, state.failed, state.bytes);
        error = append(handle, text, (size_t)length, 0);
    } else {
        for (size_t i = 0; i < state.bad.count && error == 0; ++i) {
            const int length = snprintf(text, sizeof text, "%s%llu-%llu", i ? "," : "",
                                        (unsigned long long)state.bad.items[i].start,
                                        (unsigned long long)state.bad.items[i].end);
            error = append(handle, text, (size_t)length, handle->length);
        }
        if (error == 0)
            error = append(handle, "\n", 1, handle->length);
    }
    pthread_mutex_unlock(&state.lock);
    return error;
}

static uint64_t microseconds_since_mount(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t us = (int64_t)(now.tv_sec - state.mounted.tv_sec) * 1000000 +
                       (now.tv_nsec - state.mounted.tv_nsec) / 1000;
    return (uint64_t)us;
}

/* One line of the trace for a read of the medium that has been answered. */
static void trace_read(off_t offset, size_t size, size_t delivered, int failed) {
    if (state.trace == NULL)
        return;
    /* Timed under the lock, so the lines stay in time order with --multithreaded. */
    pthread_mutex_lock(&state.lock);
    const uint64_t at = microseconds_since_mount();
    fprintf(state.trace, "%llu %llu %zu %zu %s\n", (unsigned long long)at,
            (unsigned long long)offset, size, delivered, failed ? "failed" : "ok");
    pthread_mutex_unlock(&state.lock);
}

static void* fs_init(struct fuse_conn_info* conn, struct fuse_config* config) {
    /* Every write reaches us when it is made, and an fsync is the sync it says: a write-back
     * cache would hold writes back and decide on its own when they arrive. */
    conn->want &= ~FUSE_CAP_WRITEBACK_CACHE;
    config->direct_io = 1;
    config->kernel_cache = 0;
    /* The medium's size follows the source file and the control files change all the time. */
    config->attr_timeout = 0;
    config->entry_timeout = 0;
    config->negative_timeout = 0;
    clock_gettime(CLOCK_MONOTONIC, &state.mounted);
    /* The origin in the system's monotonic clock, so a caller can tell which reads came after
     * a moment it noted (CLOCK_MONOTONIC too) and leave out those made before, by others. */
    if (state.trace != NULL)
        fprintf(state.trace, "# microseconds offset length delivered result; origin %llu\n",
                (unsigned long long)state.mounted.tv_sec * 1000000ULL +
                    (unsigned long long)state.mounted.tv_nsec / 1000ULL);
    return NULL;
}

/* Called on unmount, before fuse_main returns: the trace is complete from here on. */
static void fs_destroy(void* private_data) {
    (void)private_data;
    pthread_mutex_lock(&state.lock);
    if (state.trace != NULL && fflush(state.trace) != 0)
        fprintf(stderr, "faultyfs: cannot write the trace: %s\n", strerror(errno));
    pthread_mutex_unlock(&state.lock);
}

static int fs_getattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
    (void)fi;
    memset(st, 0, sizeof *st);
    st->st_uid = getuid();
    st->st_gid = getgid();
    st->st_mtime = st->st_ctime = st->st_atime = time(NULL);
    if (strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        return 0;
    }
    struct stat source;
    switch (kind_of(path)) {
    case KIND_MEDIUM:
        if (fstat(state.source_fd, &source) != 0)
            return -errno;
        st->st_mode = S_IFREG | (state.writable ? 0644 : 0444);
        st->st_size = source.st_size;
        st->st_mtime = source.st_mtime;
        break;
    case KIND_STATS:
        st->st_mode = S_IFREG | 0444;
        st->st_size = 64; /* a guess; every read reaches us anyway */
        break;
    case KIND_BAD:
        st->st_mode = S_IFREG | 0644;
        st->st_size = 0;
        break;
    case KIND_POWERCUT:
        st->st_mode = S_IFREG | 0200;
        st->st_size = 0;
        break;
    case KIND_FILE:
        if (fstatat(state.files_fd, path + 1, &source, AT_SYMLINK_NOFOLLOW) != 0)
            return -errno;
        st->st_mode = S_IFREG | (source.st_mode & 0777);
        st->st_size = source.st_size;
        st->st_mtime = source.st_mtime;
        st->st_atime = source.st_atime;
        st->st_ctime = source.st_ctime;
        break;
    default:
        return -ENOENT;
    }
    st->st_nlink = 1;
    st->st_blksize = 512;
    st->st_blocks = (st->st_size + 511) / 512;
    return 0;
}

static int fs_readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                      struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
    (void)offset;
    (void)fi;
    (void)flags;
    if (strcmp(path, "/") != 0)
        return -ENOTDIR;
    fill(buffer, ".", NULL, 0, 0);
    fill(buffer, "..", NULL, 0, 0);
    fill(buffer, state.name, NULL, 0, 0);
    fill(buffer, "stats", NULL, 0, 0);
    fill(buffer, "bad", NULL, 0, 0);
    fill(buffer, "powercut", NULL, 0, 0);
    if (state.files_fd < 0)
        return 0;
    const int fd = openat(state.files_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* folder = fd < 0 ? NULL : fdopendir(fd);
    if (folder == NULL) {
        if (fd >= 0)
            close(fd);
        return -errno;
    }
    for (struct dirent* entry; (entry = readdir(folder)) != NULL;)
        if (entry->d_type == DT_REG && !is_reserved(entry->d_name) &&
            strcmp(entry->d_name, state.name) != 0)
            fill(buffer, entry->d_name, NULL, 0, 0);
    closedir(folder);
    return 0;
}

static int fs_open(const char* path, struct fuse_file_info* fi) {
    const enum kind kind = kind_of(path);
    const int access = fi->flags & O_ACCMODE;
    if (kind == KIND_NONE)
        return -ENOENT;
    if (access != O_RDONLY && (kind == KIND_STATS || (kind == KIND_MEDIUM && !state.writable)))
        return -EACCES;
    if (access != O_WRONLY && kind == KIND_POWERCUT)
        return -EACCES;
    struct node* node = kind == KIND_MEDIUM ? &state.medium : NULL;
    if (kind == KIND_FILE) {
        pthread_mutex_lock(&state.lock);
        node = file_node(path + 1);
        const int error = errno;
        pthread_mutex_unlock(&state.lock);
        if (node == NULL)
            return -error;
    }
    struct handle* handle = calloc(1, sizeof *handle);
    if (handle == NULL)
        return -ENOMEM;
    handle->kind = kind;
    handle->node = node;
    /* Whatever is written between opening the control file for writing and closing it
     * replaces the ranges, nothing included. Opened for reading, it shows them as they are. */
    handle->pending = kind == KIND_BAD && access == O_WRONLY;
    if (kind == KIND_STATS || (kind == KIND_BAD && access == O_RDONLY)) {
        const int error = snapshot(handle);
        if (error != 0) {
            free(handle);
            return error;
        }
    }
    pthread_mutex_lock(&state.lock);
    handle->next = state.open_handles;
    if (handle->next != NULL)
        handle->next->previous = handle;
    state.open_handles = handle;
    pthread_mutex_unlock(&state.lock);
    fi->fh = (uint64_t)(uintptr_t)handle;
    fi->direct_io = 1;
    return 0;
}

static void forget_handle(struct handle* handle) {
    if (handle->previous != NULL)
        handle->previous->next = handle->next;
    else
        state.open_handles = handle->next;
    if (handle->next != NULL)
        handle->next->previous = handle->previous;
    free(handle->text);
    free(handle);
}

static int fs_read(const char* path, char* buffer, size_t size, off_t offset,
                   struct fuse_file_info* fi) {
    (void)path;
    struct handle* handle = (struct handle*)(uintptr_t)fi->fh;
    if (handle->kind == KIND_FILE) {
        const ssize_t got = pread(handle->node->fd, buffer, size, offset);
        return got < 0 ? -errno : (int)got;
    }
    if (handle->kind != KIND_MEDIUM) {
        if ((size_t)offset >= handle->length)
            return 0;
        if (size > handle->length - (size_t)offset)
            size = handle->length - (size_t)offset;
        memcpy(buffer, handle->text + offset, size);
        return (int)size;
    }
    pthread_mutex_lock(&state.lock);
    ++state.reads;
    const uint64_t good = first_bad((uint64_t)offset, size) - (uint64_t)offset;
    const int failing = good < size;
    if (failing)
        ++state.failed;
    pthread_mutex_unlock(&state.lock);
    if (failing) {
        /* Outside the lock: in the multithreaded mode other requests go on meanwhile. */
        if (state.delay_ms > 0) {
            const struct timespec delay = {state.delay_ms / 1000,
                                           (long)(state.delay_ms % 1000) * 1000000L};
            nanosleep(&delay, NULL);
        }
        if (!state.short_reads || good == 0) {
            trace_read(offset, size, 0, 1);
            return -EIO;
        }
    }
    const size_t asked = size;
    if (failing)
        size = (size_t)good;
    if (state.rate > 0) {
        const uint64_t ns = (uint64_t)size * 1000000000ULL / state.rate;
        const struct timespec pace = {(time_t)(ns / 1000000000ULL), (long)(ns % 1000000000ULL)};
        nanosleep(&pace, NULL);
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(state.source_fd, buffer + done, size - done, offset + done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            trace_read(offset, asked, 0, 1);
            return -error;
        }
        if (got == 0)
            break;
        done += (size_t)got;
    }
    pthread_mutex_lock(&state.lock);
    state.bytes += done;
    pthread_mutex_unlock(&state.lock);
    /* A short read over a bad range counts as failed, as in stats, with the bytes it gave. */
    trace_read(offset, asked, done, failing);
    return (int)done;
}

static int fs_write(const char* path, const char* data, size_t size, off_t offset,
                    struct fuse_file_info* fi) {
    (void)path;
    struct handle* handle = (struct handle*)(uintptr_t)fi->fh;
    if (handle->kind == KIND_BAD) {
        const int error = append(handle, data, size, (size_t)offset);
        if (error != 0)
            return error;
        handle->wrote = 1;
        return (int)size;
    }
    if (handle->kind == KIND_POWERCUT) {
        const int error = power_cut();
        return error != 0 ? error : (int)size;
    }
    if (handle->kind != KIND_MEDIUM && handle->kind != KIND_FILE)
        return -EACCES;
    if (handle->kind == KIND_MEDIUM) {
        if (touches_bad((uint64_t)offset, size))
            return -EIO;
        /* The medium keeps its size, as a disk does: a write past its end is cut off. */
        struct stat source;
        if (fstat(state.source_fd, &source) != 0)
            return -errno;
        if (offset >= source.st_size)
            return size == 0 ? 0 : -ENOSPC;
        if ((off_t)size > source.st_size - offset)
            size = (size_t)(source.st_size - offset);
    }
    /* Remembered and written as one step, so a power cut never falls between the two. */
    pthread_mutex_lock(&state.lock);
    int error = remember(handle->node, offset, size);
    if (error == 0)
        error = write_fully(handle->node->fd, data, size, offset);
    pthread_mutex_unlock(&state.lock);
    return error != 0 ? error : (int)size;
}

static int fs_truncate(const char* path, off_t size, struct fuse_file_info* fi) {
    (void)fi;
    struct stat source;
    switch (kind_of(path)) {
    case KIND_BAD:
        /* Opening the control file with O_TRUNC is the usual way to write it. */
        return 0;
    case KIND_MEDIUM:
        if (fstat(state.source_fd, &source) != 0)
            return -errno;
        return size == source.st_size ? 0 : -EPERM;
    case KIND_STATS:
        return -EACCES;
    case KIND_POWERCUT:
        return 0;
    case KIND_FILE: {
        pthread_mutex_lock(&state.lock);
        struct node* node = file_node(path + 1);
        int error = node == NULL ? -errno : 0;
        if (error == 0 && fstat(node->fd, &source) != 0)
            error = -errno;
        if (error == 0 && size < source.st_size)
            error = remember(node, size, (size_t)(source.st_size - size));
        else if (error == 0)
            error = remember(node, size, 0);
        if (error == 0 && ftruncate(node->fd, size) != 0)
            error = -errno;
        pthread_mutex_unlock(&state.lock);
        return error;
    }
    default:
        return -ENOENT;
    }
}

/* New bad ranges take effect when the control file is closed, so close() reports bad text.
 * A shell closes a duplicate of the descriptor before it writes anything (echo 1-2 > bad), so a
 * close with nothing written yet changes nothing; only the last one, in release, clears. */
static int take_ranges(struct handle* handle) {
    struct ranges fresh;
    const int error = parse_ranges(handle->text ? handle->text : "", handle->length, &fresh);
    handle->wrote = 0;
    handle->pending = 0;
    handle->length = 0;
    if (error != 0)
        return error;
    replace_ranges(fresh);
    return 0;
}

static int fs_flush(const char* path, struct fuse_file_info* fi) {
    (void)path;
    struct handle* handle = (struct handle*)(uintptr_t)fi->fh;
    if (handle->kind != KIND_BAD || !handle->wrote)
        return 0;
    return take_ranges(handle);
}

static int fs_fsync(const char* path, int datasync, struct fuse_file_info* fi) {
    (void)path;
    struct handle* handle = (struct handle*)(uintptr_t)fi->fh;
    if (handle->node == NULL)
        return 0;
    /* Held so that no write slips in between the sync and forgetting what it made safe. */
    pthread_mutex_lock(&state.lock);
    const int error =
        (datasync ? fdatasync(handle->node->fd) : fsync(handle->node->fd)) != 0 ? -errno : 0;
    if (error == 0)
        forget_undo(handle->node);
    pthread_mutex_unlock(&state.lock);
    return error;
}

static int fs_create(const char* path, mode_t mode, struct fuse_file_info* fi) {
    const char* name = top_name(path);
    if (state.files_fd < 0 || name == NULL)
        return -EACCES;
    if (is_reserved(name) || strcmp(name, state.name) == 0)
        return -EEXIST;
    const int fd = openat(state.files_fd, name, O_RDWR | O_CREAT | O_CLOEXEC | (fi->flags & O_EXCL),
                          mode & 0777);
    if (fd < 0)
        return -errno;
    close(fd);
    return fs_open(path, fi);
}

static int fs_unlink(const char* path) {
    if (kind_of(path) != KIND_FILE)
        return -EACCES;
    pthread_mutex_lock(&state.lock);
    int error = unlinkat(state.files_fd, path + 1, 0) != 0 ? -errno : 0;
    /* Open handles keep the node; a new file of that name gets a node of its own. */
    for (struct node* node = state.files; node != NULL && error == 0; node = node->next)
        if (node->name != NULL && strcmp(node->name, path + 1) == 0) {
            free(node->name);
            node->name = NULL;
        }
    pthread_mutex_unlock(&state.lock);
    return error;
}

static int fs_utimens(const char* path, const struct timespec times[2], struct fuse_file_info* fi) {
    (void)fi;
    if (kind_of(path) != KIND_FILE)
        return 0;
    return utimensat(state.files_fd, path + 1, times, AT_SYMLINK_NOFOLLOW) != 0 ? -errno : 0;
}

/* The space of the disk under the created files, or under the medium's source. */
static int fs_statfs(const char* path, struct statvfs* st) {
    (void)path;
    return fstatvfs(state.files_fd >= 0 ? state.files_fd : state.source_fd, st) != 0 ? -errno : 0;
}

static int fs_release(const char* path, struct fuse_file_info* fi) {
    (void)path;
    struct handle* handle = (struct handle*)(uintptr_t)fi->fh;
    if (handle->kind == KIND_BAD && (handle->pending || handle->wrote))
        take_ranges(handle);
    pthread_mutex_lock(&state.lock);
    forget_handle(handle);
    pthread_mutex_unlock(&state.lock);
    return 0;
}

static const struct fuse_operations operations = {
    .init = fs_init,
    .destroy = fs_destroy,
    .getattr = fs_getattr,
    .readdir = fs_readdir,
    .open = fs_open,
    .read = fs_read,
    .write = fs_write,
    .truncate = fs_truncate,
    .flush = fs_flush,
    .fsync = fs_fsync,
    .release = fs_release,
    .create = fs_create,
    .unlink = fs_unlink,
    .utimens = fs_utimens,
    .statfs = fs_statfs,
};

static void usage(FILE* out) {
    fprintf(
        out,
        "usage: faultyfs --source FILE [--bad START-END[,START-END...]] [--delay-ms N]\n"
        "                [--rate BYTES-PER-SECOND] [--name NAME] [--short-reads] [--files DIR]\n"
        "                [--keep-only-synced] [--trace FILE] [--multithreaded]\n"
        "                [--exit-with-parent] [-o FUSE-OPTION...] MOUNTPOINT\n"
        "Bad ranges are byte offsets, END exclusive, decimal or 0x hex.\n"
        "--trace writes one line per read of the medium: MICROSECONDS OFFSET LENGTH DELIVERED\n"
        "ok|failed, the time counted from the mount; complete once faultyfs has ended.\n");
}

int main(int argc, char** argv) {
    const char* bad = "";
    const char* files = NULL;
    const char* trace = NULL;
    unsigned long delay_ms = 0;
    int exit_with_parent = 0;
    int multithreaded = 0;
    /* Our own options are taken out; the rest (mount point, -o ...) goes to FUSE. */
    char** fuse_argv = calloc((size_t)argc + 6, sizeof *fuse_argv);
    if (fuse_argv == NULL)
        return 1;
    int fuse_argc = 0;
    fuse_argv[fuse_argc++] = argv[0];
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : NULL;
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            usage(stdout);
            return 0;
        } else if (strcmp(arg, "--exit-with-parent") == 0) {
            exit_with_parent = 1;
        } else if (strcmp(arg, "--multithreaded") == 0) {
            multithreaded = 1;
        } else if (strcmp(arg, "--short-reads") == 0) {
            state.short_reads = 1;
        } else if (strcmp(arg, "--keep-only-synced") == 0) {
            state.keep_only_synced = 1;
        } else if (strcmp(arg, "--source") == 0 || strcmp(arg, "--bad") == 0 ||
                   strcmp(arg, "--delay-ms") == 0 || strcmp(arg, "--name") == 0 ||
                   strcmp(arg, "--rate") == 0 || strcmp(arg, "--files") == 0 ||
                   strcmp(arg, "--trace") == 0) {
            if (value == NULL) {
                fprintf(stderr, "faultyfs: %s needs a value\n", arg);
                return 2;
            }
            ++i;
            if (strcmp(arg, "--source") == 0) {
                state.source_path = value;
            } else if (strcmp(arg, "--bad") == 0) {
                bad = value;
            } else if (strcmp(arg, "--name") == 0) {
                state.name = value;
            } else if (strcmp(arg, "--files") == 0) {
                files = value;
            } else if (strcmp(arg, "--trace") == 0) {
                trace = value;
            } else if (strcmp(arg, "--rate") == 0) {
                char* end;
                state.rate = strtoul(value, &end, 10);
                if (*value == '\0' || *end != '\0' || state.rate == 0) {
                    fprintf(stderr, "faultyfs: bad --rate: %s\n", value);
                    return 2;
                }
            } else {
                char* end;
                delay_ms = strtoul(value, &end, 10);
                if (*value == '\0' || *end != '\0' || delay_ms > 600000) {
                    fprintf(stderr, "faultyfs: bad --delay-ms: %s\n", value);
                    return 2;
                }
            }
        } else {
            fuse_argv[fuse_argc++] = argv[i];
        }
    }
    if (state.source_path == NULL) {
        usage(stderr);
        return 2;
    }
    if (state.name[0] == '\0' || strchr(state.name, '/') != NULL || is_reserved(state.name)) {
        fprintf(stderr, "faultyfs: unusable medium name: %s\n", state.name);
        return 2;
    }
    if (parse_ranges(bad, strlen(bad), &state.bad) != 0) {
        fprintf(stderr, "faultyfs: bad ranges must read START-END[,START-END...]: %s\n", bad);
        return 2;
    }
    state.delay_ms = (unsigned)delay_ms;
    state.source_fd = open(state.source_path, O_RDWR | O_CLOEXEC);
    state.writable = state.source_fd >= 0;
    if (state.source_fd < 0)
        state.source_fd = open(state.source_path, O_RDONLY | O_CLOEXEC);
    if (state.source_fd < 0) {
        fprintf(stderr, "faultyfs: cannot open %s: %s\n", state.source_path, strerror(errno));
        return 1;
    }
    state.medium.fd = state.source_fd;
    if (files != NULL) {
        state.files_fd = open(files, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (state.files_fd < 0) {
            fprintf(stderr, "faultyfs: cannot open the folder %s: %s\n", files, strerror(errno));
            return 1;
        }
    }
    if (trace != NULL) {
        state.trace = fopen(trace, "we");
        /* Large buffer: a line per read must not cost a write(2) per read. */
        if (state.trace == NULL || setvbuf(state.trace, NULL, _IOFBF, 1 << 20) != 0) {
            fprintf(stderr, "faultyfs: cannot write the trace %s: %s\n", trace, strerror(errno));
            return 1;
        }
    }
    /* A test that dies must not leave its medium mounted: go (and unmount) with it. */
    if (exit_with_parent) {
        const pid_t parent = getppid();
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            return 1;
    }
    fuse_argv[fuse_argc++] = "-f";
    if (!multithreaded)
        fuse_argv[fuse_argc++] = "-s";
    fuse_argv[fuse_argc++] = "-o";
    fuse_argv[fuse_argc++] = "fsname=faultyfs,subtype=faultyfs";
    fuse_argv[fuse_argc] = NULL;

    const int status = fuse_main(fuse_argc, fuse_argv, &operations, NULL);
    while (state.open_handles != NULL)
        forget_handle(state.open_handles);
    forget_undo(&state.medium);
    while (state.files != NULL) {
        struct node* next = state.files->next;
        forget_undo(state.files);
        close(state.files->fd);
        free(state.files->name);
        free(state.files);
        state.files = next;
    }
    if (state.files_fd >= 0)
        close(state.files_fd);
    close(state.source_fd);
    free(state.bad.items);
    if (state.trace != NULL && fclose(state.trace) != 0) {
        fprintf(stderr, "faultyfs: cannot write the trace %s: %s\n", trace, strerror(errno));
        free(fuse_argv);
        return 1;
    }
    free(fuse_argv);
    return status;
}
