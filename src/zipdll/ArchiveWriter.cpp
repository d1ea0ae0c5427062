#include "zipdll/ArchiveWriter.h"

#include "zipdll/Reporter.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zipdll {

namespace {

constexpr size_t kInputBuffer = 256 * 1024;
constexpr uint64_t kProgressStep = 1 << 20; // bytes read between progress calls
constexpr int kMaxPasses = 10;              // writes tried when files vanish meanwhile
constexpr zip_uint16_t kExtendedTimestamp = 0x5455;
// Deflated ahead: at most this much of one entry is kept in memory (the rest
// waits in an unnamed file), and of all entries waiting together.
constexpr size_t kAheadInMemory = 4 << 20;
constexpr size_t kAheadHeld = 32 << 20;

int openInput(const std::string& path, int& failure) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        failure = errno;
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        failure = EINVAL;
        ::close(fd);
        return -1;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return fd;
}

bool changedSince(int fd, const struct stat& before, uint64_t bytesRead) {
    struct stat st {};
    return fstat(fd, &st) == 0 &&
           (st.st_size != before.st_size || st.st_mtim.tv_sec != before.st_mtim.tv_sec ||
            st.st_mtim.tv_nsec != before.st_mtim.tv_nsec || bytesRead != uint64_t(before.st_size));
}

// One entry's deflated bytes, made by a worker before the archive is written.
struct Ahead {
    enum State { Waiting, Working, Done, Passed }; // Passed: made as it is read after all
    State state = Waiting;
    const Item* item = nullptr;
    size_t reserved = 0; // of the memory budget
    std::vector<unsigned char> memory;
    int spill = -1; // the bytes beyond `memory`
    uint64_t spilled = 0;
    uLong crc = 0;
    uint64_t bytesRead = 0;
    bool changed = false;
    struct stat after {};     // the file as it was when read to its end
    int failure = 0;          // of the file: it is read again when its turn comes
    bool spillFailed = false; // no room for the bytes: made as they are read instead

    ~Ahead() {
        if (spill >= 0)
            ::close(spill);
    }
};

// Deflates the entries ahead of the writing, on every core. Each entry is one
// deflate stream with the settings the writing itself uses, so the archive
// holds the same bytes as when written on one core.
class Deflaters {
public:
    Deflaters(int level, std::string spillFolder, unsigned threads)
        : m_level(level), m_spillFolder(std::move(spillFolder)) {
        m_threads.reserve(threads);
        for (unsigned i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~Deflaters() { stop(); }
    Deflaters(const Deflaters&) = delete;
    Deflaters& operator=(const Deflaters&) = delete;

    // In the order the archive takes them.
    Ahead* add(const Item& item) {
        auto ahead = std::make_unique<Ahead>();
        ahead->item = &item;
        const uint64_t size = uint64_t(item.st.st_size);
        ahead->reserved = size_t(std::min<uint64_t>(kAheadInMemory, size + size / 512 + 64));
        std::lock_guard lock(m_mutex);
        m_slots.push_back(std::move(ahead));
        m_wake.notify_all();
        return m_slots.back().get();
    }
    void allAdded() {
        std::lock_guard lock(m_mutex);
        m_allAdded = true;
        m_wake.notify_all();
    }
    // Waits for a slot taken by a worker; false when none took it (the
    // caller then deflates it as it reads).
    bool take(Ahead& ahead) {
        std::unique_lock lock(m_mutex);
        if (ahead.state == Ahead::Waiting) {
            ahead.state = Ahead::Passed;
            return false;
        }
        m_wake.wait(lock, [&] { return ahead.state != Ahead::Working; });
        if (ahead.state == Ahead::Done && ahead.spillFailed) {
            lock.unlock();
            release(ahead);
            return false;
        }
        return ahead.state == Ahead::Done;
    }
    void release(Ahead& ahead) {
        std::lock_guard lock(m_mutex);
        if (ahead.state == Ahead::Done)
            m_held -= ahead.reserved;
        ahead.state = Ahead::Passed;
        std::vector<unsigned char>().swap(ahead.memory);
        if (ahead.spill >= 0)
            ::close(ahead.spill);
        ahead.spill = -1;
        m_wake.notify_all();
    }
    void stop() {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
            m_wake.notify_all();
        }
        for (std::thread& t : m_threads)
            if (t.joinable())
                t.join();
    }

private:
    void work() {
        z_stream z{};
        if (deflateInit2(&z, m_level, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL, Z_DEFAULT_STRATEGY) !=
            Z_OK)
            return; // the others, or the writing itself, do the work
        std::vector<unsigned char> input(kInputBuffer), output(kInputBuffer);
        std::unique_lock lock(m_mutex);
        for (;;) {
            Ahead* next = nullptr;
            m_wake.wait(lock, [&] {
                if (m_stopped)
                    return true;
                while (m_next < m_slots.size() && m_slots[m_next]->state != Ahead::Waiting)
                    ++m_next;
                if (m_next < m_slots.size()) {
                    // Within the budget, or alone: the writing waits for this one.
                    if (m_held + m_slots[m_next]->reserved > kAheadHeld && m_held > 0)
                        return false;
                    next = m_slots[m_next++].get();
                    return true;
                }
                return m_allAdded;
            });
            if (m_stopped || !next)
                break;
            next->state = Ahead::Working;
            m_held += next->reserved;
            lock.unlock();
            deflateReset(&z);
            deflateOne(*next, z, input, output);
            lock.lock();
            next->state = Ahead::Done;
            m_wake.notify_all();
        }
        deflateEnd(&z);
    }

    bool stopped() {
        std::lock_guard lock(m_mutex);
        return m_stopped;
    }

    // The bytes beyond the entry's share of memory go to an unnamed file
    // beside the archive (or in the temporary folder).
    bool keep(Ahead& ahead, const unsigned char* data, size_t size) {
        const size_t inMemory =
            std::min(size, ahead.reserved - std::min(ahead.reserved, ahead.memory.size()));
        ahead.memory.insert(ahead.memory.end(), data, data + inMemory);
        data += inMemory;
        size -= inMemory;
        if (size == 0)
            return true;
        if (ahead.spill < 0) {
            ahead.spill = ::open(m_spillFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
            if (ahead.spill < 0) {
                FILE* f = std::tmpfile();
                ahead.spill = f ? ::dup(fileno(f)) : -1;
                if (f)
                    std::fclose(f);
            }
            if (ahead.spill < 0)
                return false;
        }
        while (size > 0) {
            const ssize_t n = ::write(ahead.spill, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= size_t(n);
            ahead.spilled += uint64_t(n);
        }
        return true;
    }

    void deflateOne(Ahead& ahead, z_stream& z, std::vector<unsigned char>& input,
                    std::vector<unsigned char>& output) {
        const int fd = openInput(ahead.item->path, ahead.failure);
        if (fd < 0)
            return;
        ahead.crc = crc32(0, nullptr, 0);
        bool eof = false;
        int result = Z_OK;
        while (result != Z_STREAM_END) {
            if (z.avail_in == 0 && !eof) {
                if (stopped())
                    break;
                ssize_t n;
                do {
                    n = ::read(fd, input.data(), input.size());
                } while (n < 0 && errno == EINTR);
                if (n < 0) {
                    ahead.failure = errno;
                    break;
                }
                eof = n == 0;
                ahead.bytesRead += uint64_t(n);
                ahead.crc = crc32(ahead.crc, input.data(), uInt(n));
                z.next_in = input.data();
                z.avail_in = uInt(n);
            }
            z.next_out = output.data();
            z.avail_out = uInt(output.size());
            result = ::deflate(&z, eof ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_ERROR) {
                ahead.failure = EIO;
                break;
            }
            if (!keep(ahead, output.data(), output.size() - z.avail_out)) {
                ahead.spillFailed = true;
                break;
            }
        }
        if (result == Z_STREAM_END) {
            ahead.changed = changedSince(fd, ahead.item->st, ahead.bytesRead);
            if (fstat(fd, &ahead.after) != 0)
                ahead.failure = errno;
        } else if (ahead.failure == 0 && !ahead.spillFailed)
            ahead.failure = ECANCELED; // stopped: the add is being cancelled
        ::close(fd);
    }

    const int m_level;
    const std::string m_spillFolder;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::unique_ptr<Ahead>> m_slots;
    size_t m_next = 0;
    size_t m_held = 0;
    bool m_allAdded = false;
    bool m_stopped = false;
    std::vector<std::thread> m_threads;
};

// What all entries of one add share: one deflate stream, reset per entry
// (a fresh stream per file costs more than the compression of a small one),
// and one input buffer.
struct Shared {
    explicit Shared(Reporter& r) : reporter(r), input(kInputBuffer) {}
    ~Shared() {
        if (streamReady)
            deflateEnd(&stream);
    }
    Reporter& reporter;
    std::vector<unsigned char> input;
    z_stream stream{};
    bool streamReady = false;
    int level = 9;
    bool cancelled = false;
    Deflaters* ahead = nullptr; // while the first pass writes
};

// One file or link being written, as a libzip source. Deflated data is made
// here and handed over as already compressed.
struct Entry {
    Item* item = nullptr;
    Shared* shared = nullptr;
    zip_int64_t index = -1;
    bool replaces = false;   // took the place of an entry already in the archive
    bool compressed = false; // deflated here
    bool dropped = false;    // left out after its file could not be read
    bool announced = false;
    bool changed = false; // the file changed while it was read
    int failure = 0;      // errno of a failed open or read in the last pass
    zip_error_t error{};

    int fd = -1;
    uLong crc = 0;
    uint64_t bytesRead = 0;
    uint64_t sinceProgress = 0;
    size_t inputPos = 0;
    size_t inputLen = 0;
    bool eof = false;
    bool finished = false;
    Ahead* ahead = nullptr; // deflated by a worker, when one took it
    bool fromAhead = false;
    size_t servedMemory = 0;
    uint64_t servedSpill = 0;

    ~Entry() {
        closeFile();
        zip_error_fini(&error);
    }

    void closeFile() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    zip_int64_t fail(int zipError, int systemError) {
        zip_error_set(&error, zipError, systemError);
        return -1;
    }

    zip_int64_t cancel() {
        shared->cancelled = true;
        if (shared->ahead)
            shared->ahead->stop();
        return fail(ZIP_ER_CANCELLED, 0);
    }

    // The bytes a worker made, when the file is still as it was read; false
    // otherwise: they are made as the file is read now, as without workers.
    bool takeAhead(zip_int64_t& result) {
        if (!ahead || !shared->ahead || !shared->ahead->take(*ahead))
            return false;
        struct stat now {};
        const struct stat& then = ahead->after;
        if (ahead->failure || lstat(item->path.c_str(), &now) != 0 || now.st_ino != then.st_ino ||
            now.st_dev != then.st_dev || now.st_size != then.st_size ||
            now.st_mtim.tv_sec != then.st_mtim.tv_sec ||
            now.st_mtim.tv_nsec != then.st_mtim.tv_nsec ||
            now.st_ctim.tv_sec != then.st_ctim.tv_sec ||
            now.st_ctim.tv_nsec != then.st_ctim.tv_nsec) {
            shared->ahead->release(*ahead);
            return false;
        }
        fromAhead = true;
        crc = ahead->crc;
        bytesRead = ahead->bytesRead;
        eof = true;
        servedMemory = 0;
        servedSpill = 0;
        // The progress calls its reading would have made.
        for (uint64_t done = kProgressStep; done <= bytesRead; done += kProgressStep)
            if (!shared->reporter.progress()) {
                result = cancel();
                return true;
            }
        result = 0;
        return true;
    }

    zip_int64_t readAhead(unsigned char* out, zip_uint64_t len) {
        zip_uint64_t done = 0;
        const size_t inMemory = ahead->memory.size();
        if (servedMemory < inMemory) {
            const size_t n = size_t(std::min<zip_uint64_t>(len, inMemory - servedMemory));
            std::memcpy(out, ahead->memory.data() + servedMemory, n);
            servedMemory += n;
            done += n;
        }
        while (done < len && servedSpill < ahead->spilled) {
            const ssize_t n =
                ::pread(ahead->spill, out + done,
                        size_t(std::min<zip_uint64_t>(len - done, ahead->spilled - servedSpill)),
                        off_t(servedSpill));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                failure = n < 0 ? errno : EIO;
                return fail(ZIP_ER_READ, failure);
            }
            servedSpill += uint64_t(n);
            done += uint64_t(n);
        }
        finished = servedMemory == inMemory && servedSpill == ahead->spilled;
        return zip_int64_t(done);
    }

    zip_int64_t open() {
        if (shared->cancelled)
            return cancel();
        const int64_t size =
            item->kind == ItemKind::Link ? int64_t(item->linkTarget.size()) : item->st.st_size;
        if (!announced) {
            announced = true;
            if (!shared->reporter.newFile(item->path, size))
                return cancel();
        }
        crc = crc32(0, nullptr, 0);
        bytesRead = sinceProgress = 0;
        inputPos = inputLen = 0;
        eof = finished = false;
        changed = false;
        if (zip_int64_t result = 0; takeAhead(result))
            return result;
        if (item->kind == ItemKind::File) {
            fd = openInput(item->path, failure);
            if (fd < 0)
                return fail(ZIP_ER_OPEN, failure);
        }
        if (compressed) {
            z_stream& z = shared->stream;
            if (!shared->streamReady) {
                if (deflateInit2(&z, shared->level, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL,
                                 Z_DEFAULT_STRATEGY) != Z_OK)
                    return fail(ZIP_ER_MEMORY, 0);
                shared->streamReady = true;
            } else {
                deflateReset(&z);
            }
            z.avail_in = 0;
        }
        return 0;
    }

    // Refills the shared buffer from the file; false on a failure or a cancel.
    bool fill() {
        inputPos = inputLen = 0;
        if (item->kind == ItemKind::Link) {
            // The target is the whole content; it fits the buffer (PATH_MAX).
            const std::string& target = item->linkTarget;
            if (bytesRead >= target.size()) {
                eof = true;
                return true;
            }
            inputLen = std::min(target.size() - size_t(bytesRead), shared->input.size());
            std::memcpy(shared->input.data(), target.data() + bytesRead, inputLen);
        } else {
            ssize_t n;
            do {
                n = ::read(fd, shared->input.data(), shared->input.size());
            } while (n < 0 && errno == EINTR);
            if (n < 0) {
                failure = errno;
                fail(ZIP_ER_READ, failure);
                return false;
            }
            if (n == 0) {
                eof = true;
                return true;
            }
            inputLen = size_t(n);
        }
        bytesRead += inputLen;
        if (compressed)
            crc = crc32(crc, shared->input.data(), uInt(inputLen));
        sinceProgress += inputLen;
        if (sinceProgress >= kProgressStep) {
            sinceProgress = 0;
            if (!shared->reporter.progress()) {
                cancel();
                return false;
            }
        }
        return true;
    }

    zip_int64_t readStored(unsigned char* out, zip_uint64_t len) {
        zip_uint64_t done = 0;
        while (done < len) {
            if (inputPos == inputLen) {
                if (eof || !fill())
                    break;
                if (eof)
                    break;
            }
            const size_t n = size_t(std::min<zip_uint64_t>(len - done, inputLen - inputPos));
            std::memcpy(out + done, shared->input.data() + inputPos, n);
            inputPos += n;
            done += n;
        }
        if (failure || shared->cancelled)
            return -1;
        return zip_int64_t(done);
    }

    zip_int64_t readDeflated(unsigned char* out, zip_uint64_t len) {
        if (finished)
            return 0;
        if (fromAhead)
            return readAhead(out, len);
        z_stream& z = shared->stream;
        z.next_out = out;
        z.avail_out = uInt(std::min<zip_uint64_t>(len, UINT_MAX));
        const uInt wanted = z.avail_out;
        while (z.avail_out > 0) {
            if (z.avail_in == 0 && !eof) {
                if (!fill())
                    return -1;
                z.next_in = shared->input.data();
                z.avail_in = uInt(inputLen);
                inputPos = inputLen;
                continue;
            }
            const int result = ::deflate(&z, eof ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                finished = true;
                break;
            }
            if (result == Z_STREAM_ERROR || (result == Z_BUF_ERROR && eof))
                return fail(ZIP_ER_INTERNAL, 0);
        }
        return zip_int64_t(wanted - z.avail_out);
    }

    void closeAndCheck() {
        if (fromAhead) {
            changed = ahead->changed;
            shared->ahead->release(*ahead);
            fromAhead = false;
        } else if (fd >= 0 && eof && changedSince(fd, item->st, bytesRead)) {
            changed = true;
        }
        closeFile();
    }

    zip_int64_t stat(void* data, zip_uint64_t len) {
        zip_stat_t* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &error);
        if (!st)
            return -1;
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
        // Once read, the size is what was read, so the entry stays consistent
        // even when the file changed meanwhile.
        st->size = finished || (eof && !compressed)
                       ? bytesRead
                       : (item->kind == ItemKind::Link ? item->linkTarget.size()
                                                       : zip_uint64_t(item->st.st_size));
        st->mtime = item->st.st_mtime;
        st->comp_method = compressed ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
        if (compressed && finished) {
            st->valid |= ZIP_STAT_CRC;
            st->crc = zip_uint32_t(crc);
        }
        return sizeof(*st);
    }
};

zip_int64_t entryCallback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    Entry& e = *static_cast<Entry*>(userdata);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        return e.open();
    case ZIP_SOURCE_READ:
        return e.compressed ? e.readDeflated(static_cast<unsigned char*>(data), len)
                            : e.readStored(static_cast<unsigned char*>(data), len);
    case ZIP_SOURCE_CLOSE:
        e.closeAndCheck();
        return 0;
    case ZIP_SOURCE_STAT:
        return e.stat(data, len);
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&e.error, data, len);
    case ZIP_SOURCE_FREE:
        return 0; // the entry belongs to the writer
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              ZIP_SOURCE_SUPPORTS, -1);
    default:
        return e.fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

// The code a message carries for a libzip error: the system's errno when
// there is one, otherwise `fallback`.
int32_t codeOf(const zip_error_t* error, int32_t fallback) {
    if (zip_error_system_type(error) == ZIP_ET_SYS && zip_error_code_system(error) > 0)
        return zip_error_code_system(error);
    return fallback;
}

// External attributes: the Unix mode in the high half, DOS bits in the low.
zip_uint32_t externalAttributes(const Item& item, bool dos) {
    const mode_t mode = item.st.st_mode;
    zip_uint32_t bits = 0;
    if (!(mode & S_IWUSR))
        bits |= 0x01;
    const size_t slash = item.name.find_last_of('/', item.name.size() - 2);
    if (item.name[slash == std::string::npos ? 0 : slash + 1] == '.')
        bits |= 0x02;
    bits |= item.kind == ItemKind::Folder ? 0x10 : 0x20;
    return dos ? bits : (zip_uint32_t(mode & 0xFFFF) << 16) | bits;
}

// Modification time in UTC to the second (the DOS time is local and in
// two-second steps).
void setTimestamp(zip_t* za, zip_uint64_t index, time_t mtime) {
    zip_file_extra_field_delete_by_id(za, index, kExtendedTimestamp, ZIP_EXTRA_FIELD_ALL,
                                      ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
    const uint32_t t = uint32_t(int64_t(mtime));
    const zip_uint8_t data[5] = {1, zip_uint8_t(t), zip_uint8_t(t >> 8), zip_uint8_t(t >> 16),
                                 zip_uint8_t(t >> 24)};
    zip_file_extra_field_set(za, index, kExtendedTimestamp, ZIP_EXTRA_FIELD_NEW, data, sizeof(data),
                             ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
    zip_file_set_mtime(za, index, mtime, 0);
}

bool isUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t length = c < 0x80         ? 1
                              : (c >> 5) == 6  ? 2
                              : (c >> 4) == 14 ? 3
                              : (c >> 3) == 30 ? 4
                                               : 0;
        if (length == 0 || i + length > s.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return false;
        i += length;
    }
    return true;
}

// The entry stored under exactly these bytes, or -1. libzip's quick lookup
// knows names only as UTF-8; other names are compared byte for byte.
zip_int64_t locateName(zip_t* za, const std::string& name) {
    return zip_name_locate(za, name.c_str(),
                           isUtf8(name) ? ZIP_FL_ENC_RAW : ZIP_FL_ENC_RAW | ZIP_FL_ENC_CP437);
}

// Why an add must leave this archive alone, or "": its entries stay under one
// password, or none. Entries under another password would be left beside new
// ones, readable only by a password the user may no longer have.
std::string passwordConflict(zip_t* za, const WriteOptions& options) {
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, zip_uint64_t(i), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_ENCRYPTION_METHOD) || st.encryption_method == ZIP_EM_NONE)
            continue;
        if (!options.encrypt)
            return "holds password-protected files, and this add has no password";
        // Opening checks the password against the entry's own check value.
        zip_file_t* file =
            zip_fopen_index_encrypted(za, zip_uint64_t(i), 0, options.password.c_str());
        if (file) {
            zip_fclose(file);
            return {};
        }
        if (zip_error_code_zip(zip_get_error(za)) == ZIP_ER_WRONGPASSWD)
            return "holds files under another password";
        zip_error_clear(za);
    }
    return {};
}

// Discards the archive unless it was closed.
struct ArchiveHandle {
    zip_t* za = nullptr;
    ~ArchiveHandle() {
        if (za)
            zip_discard(za);
    }
};

} // namespace

ArchiveWriter::ArchiveWriter(const WriteOptions& options, Reporter& reporter)
    : m_options(options), m_reporter(reporter) {}

int32_t ArchiveWriter::write(const std::string& archive, std::vector<Item>& items) {
    if (m_options.encrypt && !zip_encryption_method_supported(ZIP_EM_AES_256, 1)) {
        m_reporter.message(ZIPDLL_ERR_INTERNAL,
                           "AES encryption is not available: nothing was added");
        return 0;
    }
    int openError = 0;
    ArchiveHandle handle;
    handle.za = zip_open(archive.c_str(), ZIP_CREATE, &openError);
    if (!handle.za) {
        zip_error_t error;
        zip_error_init_with_code(&error, openError);
        m_reporter.message(codeOf(&error, ZIPDLL_ERR_ARCHIVE), "Could not open the archive " +
                                                                   archive + ": " +
                                                                   zip_error_strerror(&error));
        zip_error_fini(&error);
        return 0;
    }
    zip_t* za = handle.za;
    if (const std::string why = passwordConflict(za, m_options); !why.empty()) {
        m_reporter.message(ZIPDLL_ERR_PASSWORD, "The archive " + archive + " " + why +
                                                    ": nothing was added and it was left as "
                                                    "it was. Give the password it was made "
                                                    "with, or move it away to start anew");
        return 0;
    }

    Shared shared(m_reporter);
    shared.level = m_options.level;
    std::vector<std::unique_ptr<Entry>> entries;
    bool folders = false;
    const zip_uint8_t system = m_options.forceDos ? ZIP_OPSYS_DOS : ZIP_OPSYS_UNIX;

    for (Item& item : items) {
        const zip_int64_t existing = locateName(za, item.name);
        if (item.kind == ItemKind::Folder) {
            if (existing >= 0 || m_options.freshen)
                continue;
            const zip_int64_t index = zip_dir_add(za, item.name.c_str(), ZIP_FL_ENC_GUESS);
            if (index < 0) {
                m_reporter.message(codeOf(zip_get_error(za), ZIPDLL_ERR_WRITE),
                                   "Could not add the folder " + item.path + ": " +
                                       zip_strerror(za));
                continue;
            }
            zip_file_set_external_attributes(za, zip_uint64_t(index), 0, system,
                                             externalAttributes(item, m_options.forceDos));
            setTimestamp(za, zip_uint64_t(index), item.st.st_mtime);
            folders = true;
            continue;
        }
        if (m_options.update || m_options.freshen) {
            if (existing < 0 && !m_options.update)
                continue; // freshen only replaces
            zip_stat_t old;
            // DOS times have two-second steps: newer means two seconds or more.
            if (existing >= 0 && zip_stat_index(za, zip_uint64_t(existing), 0, &old) == 0 &&
                (old.valid & ZIP_STAT_MTIME) && item.st.st_mtime < old.mtime + 2)
                continue;
        }
        auto entry = std::make_unique<Entry>();
        entry->item = &item;
        entry->shared = &shared;
        entry->compressed =
            m_options.level > 0 && item.kind == ItemKind::File && item.st.st_size > 0;
        zip_error_init(&entry->error);
        zip_source_t* source = zip_source_function(za, entryCallback, entry.get());
        if (!source)
            throw std::bad_alloc();
        zip_int64_t index = existing;
        if (existing >= 0) {
            if (zip_file_replace(za, zip_uint64_t(existing), source, 0) < 0)
                index = -1;
            entry->replaces = true;
        } else {
            index = zip_file_add(za, item.name.c_str(), source, ZIP_FL_ENC_GUESS);
        }
        if (index < 0) {
            zip_source_free(source);
            m_reporter.message(codeOf(zip_get_error(za), ZIPDLL_ERR_WRITE),
                               "Could not add " + item.path + ": " + zip_strerror(za));
            continue;
        }
        entry->index = index;
        const zip_uint64_t at = zip_uint64_t(index);
        // Old extra fields would describe the file this entry replaces.
        zip_file_extra_field_delete(za, at, ZIP_EXTRA_FIELD_ALL, ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
        zip_set_file_compression(za, at, entry->compressed ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                 zip_uint32_t(entry->compressed ? m_options.level : 0));
        const bool dos = m_options.forceDos && item.kind == ItemKind::File;
        zip_file_set_external_attributes(za, at, 0, dos ? ZIP_OPSYS_DOS : ZIP_OPSYS_UNIX,
                                         externalAttributes(item, dos));
        setTimestamp(za, at, item.st.st_mtime);
        if (m_options.encrypt &&
            zip_file_set_encryption(za, at, ZIP_EM_AES_256, m_options.password.c_str()) < 0) {
            m_reporter.message(ZIPDLL_ERR_INTERNAL,
                               "Could not encrypt " + item.path + ": nothing was added");
            return 0;
        }
        m_reporter.trace("Adding " + item.path + " as " + item.name);
        entries.push_back(std::move(entry));
    }
    if (entries.empty() && !folders) {
        m_reporter.info("Nothing new to add to " + archive);
        return 0;
    }

    // The newest time in the archive, for the archive's own time.
    time_t newest = 0;
    if (m_options.zipTime) {
        const zip_int64_t count = zip_get_num_entries(za, 0);
        for (zip_int64_t i = 0; i < count; ++i) {
            zip_stat_t st;
            if (zip_stat_index(za, zip_uint64_t(i), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME))
                newest = std::max(newest, st.mtime);
        }
    }

    // Files are deflated ahead on every core while the archive is written;
    // later passes, if any, deflate as they read.
    std::unique_ptr<Deflaters> ahead;
    if (const unsigned cores = std::thread::hardware_concurrency(); cores > 1) {
        std::vector<Entry*> order;
        for (auto& entry : entries)
            if (entry->compressed)
                order.push_back(entry.get());
        // The archive is written in the order of its entries' indexes.
        std::sort(order.begin(), order.end(),
                  [](const Entry* a, const Entry* b) { return a->index < b->index; });
        if (order.size() > 1) {
            const size_t slash = archive.find_last_of('/');
            ahead = std::make_unique<Deflaters>(
                m_options.level,
                slash == std::string::npos ? std::string(".") : archive.substr(0, slash + 1),
                cores);
            for (Entry* entry : order)
                entry->ahead = ahead->add(*entry->item);
            ahead->allAdded();
            shared.ahead = ahead.get();
        }
    }

    bool written = false;
    for (int pass = 0; pass < kMaxPasses && !written; ++pass) {
        for (auto& entry : entries)
            entry->failure = 0;
        const int closed = zip_close(za);
        if (shared.ahead) {
            shared.ahead = nullptr;
            ahead.reset();
            for (auto& entry : entries) {
                entry->ahead = nullptr;
                entry->fromAhead = false;
            }
        }
        if (closed == 0) {
            handle.za = nullptr;
            written = true;
            break;
        }
        if (shared.cancelled || m_reporter.stopped()) {
            m_reporter.info("The add was cancelled; the archive was left as it was");
            return 0;
        }
        // A file that vanished or became unreadable since it was found is
        // left out and the archive written again without it.
        bool retry = false;
        for (auto& entry : entries) {
            if (entry->failure == 0 || entry->dropped)
                continue;
            m_reporter.message(entry->failure, "Could not read " + entry->item->path + ": " +
                                                   systemError(entry->failure));
            const zip_uint64_t at = zip_uint64_t(entry->index);
            if (entry->replaces ? zip_unchange(za, at) : zip_delete(za, at)) {
                retry = false;
                break;
            }
            entry->dropped = true;
            retry = true;
        }
        if (!retry) {
            m_reporter.message(codeOf(zip_get_error(za), ZIPDLL_ERR_WRITE),
                               "Could not write the archive " + archive + ": " + zip_strerror(za) +
                                   "; it was left as it was");
            return 0;
        }
    }
    if (!written) {
        m_reporter.message(ZIPDLL_ERR_WRITE,
                           "Could not write the archive " + archive +
                               ": its files kept changing; it was left as it was");
        return 0;
    }

    int32_t added = 0;
    for (auto& entry : entries) {
        if (entry->dropped)
            continue;
        ++added;
        if (entry->changed)
            m_reporter.message(ZIPDLL_ERR_CHANGED,
                               entry->item->path + " changed while it was being zipped");
    }
    if (m_options.move) {
        for (auto& entry : entries) {
            if (entry->dropped || entry->changed)
                continue;
            if (unlink(entry->item->path.c_str()) != 0) {
                const int error = errno;
                m_reporter.message(error, "Could not remove " + entry->item->path + ": " +
                                              systemError(error));
            }
        }
    }
    if (m_options.zipTime && newest > 0) {
        const timespec times[2] = {{0, UTIME_OMIT}, {newest, 0}};
        utimensat(AT_FDCWD, archive.c_str(), times, 0);
    }
    m_reporter.info(std::to_string(added) + " file(s) added to " + archive);
    return added;
}

} // namespace zipdll
