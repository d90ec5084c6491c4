#include "flash/dump_file.h"

#include <cerrno>

#include "flash/flash_messages.h"
#include "hid/debug_output.h"

namespace brimlo::flash {

namespace fs = std::filesystem;

DumpFile::~DumpFile() {
    Abandon();
}

bool DumpFile::Open(const fs::path& path, bool replace, std::string& error) {
    Abandon();
    error_.clear();
    written_ = 0;
    stream_ = false;
    replace_ = replace;
    target_ = path;
    partial_.clear();

    const std::string name = files::Utf8Name(path);
    std::error_code code;
    const fs::file_status status = fs::status(path, code);  // through a link, to its target
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status)) {
            error = "The dump file " + name +
                    " exists and is not a regular file (a folder, a pipe or a device). Choose a "
                    "file name.";
            return false;
        }
        if (!replace) {
            error = "The dump file " + name + " already exists.";
            return false;
        }
        // A link is replaced by writing its target, not the link itself.
        if (fs::is_symlink(fs::symlink_status(path, code))) {
            target_ = fs::canonical(path, code);
            if (code) {
                error = "Cannot follow the link " + name + ": " + code.message() + ".";
                return false;
            }
        }
    }
    files::Error failure;
    if (!files::CreateBeside(target_, ".partial-", file_, partial_, failure)) {
        error = "Cannot create the dump file " + name + ": " + failure.text +
                ". Choose a file in a folder you can write to.";
        error_ = error;
        partial_.clear();
        return false;
    }
    fd_ = file_.Descriptor();
    hid::DebugPrintf("FileSize %s = [%d] [%d]\n", "WRITE", 0, 0);
    return true;
}

void DumpFile::OpenStream(int fd, std::string name) {
    Abandon();
    error_.clear();
    written_ = 0;
    stream_ = true;
    streamName_ = std::move(name);
    target_.clear();
    partial_.clear();
    files::UseBinaryMode(fd);
    fd_ = fd;
}

bool DumpFile::CloseDescriptor() {
    if (fd_ < 0) {
        return error_.empty();
    }
    // A failure already reported is not reported again.
    bool ok = error_.empty();
    files::Error failure;
    if (!files::Flush(fd_, failure, io_.flush) && ok) {
        Fail("flush", failure);
        ok = false;
    }
    if (!file_.Close(failure) && ok) {
        Fail("close", failure);
        ok = false;
    }
    fd_ = -1;
    return ok;
}

bool DumpFile::Commit() {
    if (!CloseDescriptor()) {
        return false;
    }
    if (stream_ || partial_.empty()) {
        return error_.empty();
    }
    files::Error failure;
    if (!files::Rename(partial_, target_, replace_, failure)) {
        const std::string partial = files::Utf8Name(partial_);
        error_ = "Cannot rename the complete dump " + partial + " to " + files::Utf8Name(target_) +
                 ": " + failure.text + ". The dump is kept in " + partial + ".";
        boxes_.Show(error_, kCaptionError, MessageIcon::Error);
        return false;
    }
    partial_.clear();
    return true;
}

void DumpFile::Abandon() {
    CloseDescriptor();
    if (!stream_ && !partial_.empty() && written_ == 0) {
        files::Error ignored;
        files::Remove(partial_, ignored);
        partial_.clear();
    }
}

std::string DumpFile::Location() const {
    if (stream_) {
        return streamName_;
    }
    if (!partial_.empty()) {
        return files::Utf8Name(partial_);
    }
    return written_ != 0 || fd_ >= 0 ? files::Utf8Name(target_) : std::string();
}

void DumpFile::Fail(const char* what, const files::Error& failure) {
    const std::string name = stream_ ? streamName_ : files::Utf8Name(target_);
    if (failure.code == ENOSPC) {
        error_ = "The disk holding the dump file " + name + " is full after " +
                 std::to_string(written_) +
                 " bytes. Free some space or choose a file on another disk, and dump again.";
        boxes_.Show(kDiskFullText, kDiskFullCaption, MessageIcon::Warning);
        return;
    }
    error_ = std::string("Cannot ") + what + " the dump file " + name + " at byte " +
             std::to_string(written_) + ": " + failure.text +
             ". The dump has been stopped; choose another dump file and dump again.";
    boxes_.Show(error_, kCaptionError, MessageIcon::Error);
}

std::size_t DumpFile::Write(std::span<const std::uint8_t> chunk) {
    if (fd_ < 0) {
        return 0;
    }
    files::Error failure;
    const std::size_t done = files::WriteAll(fd_, chunk, failure, io_.write);
    if (done < chunk.size()) {
        written_ += done;
        Fail("write", failure);
        return done;
    }
    if (flush_ == DumpFlush::EveryChunk && !files::Flush(fd_, failure, io_.flush)) {
        Fail("flush", failure);
        return 0;
    }
    written_ += done;
    return done;
}

}  // namespace brimlo::flash
