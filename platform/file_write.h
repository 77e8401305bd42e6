// file_write.h - the one way the programs put a file on disk: whole or not
// at all, never through a link, never over anything they did not make.
//
// STEP BY STEP
//   OutputFile out;
//   if (!out.Open(path, error)) ...        // refuses a link, a device, a folder
//   out.Write(bytes, size) ...             // as often as needed; checked at the end
//   if (!out.Commit(error)) ...            // closed, checked, renamed into place
//   (or WriteWholeFile(path, bytes, size, error) for bytes already in memory)
//
// What it guarantees:
// - The bytes go to a new temporary file beside the destination
//   (".NAME.PID-N.partial"), created exclusively and without following a
//   link, so that a name planted in the folder is never written through and
//   no file of the user's is ever taken for the temporary one.
// - The destination must be absent or a regular file: a link ("is a link")
//   or a device, FIFO, socket or folder is refused before anything is
//   written. A regular file there is replaced by the rename, keeping its
//   permissions.
// - Every write, the flush and the close are checked; the first failure is
//   kept and Commit reports it as "PATH: cannot be written (REASON)", the
//   system's own words. SIGXFSZ is ignored from the first Open on, so that a
//   file-size limit is such a failure ("File too large") instead of the end
//   of the program.
// - Only the temporary file is ever removed: by Abandon, by a Commit that
//   fails, by the destructor of an unfinished file, and by
//   RemoveUnfinishedOutputs, which a signal handler may call.
//
// Messages are "PATH: problem", PATH as the caller gave it. An OutputFile
// may be opened again after Commit or Abandon; its buffers are kept, so a
// writer that reuses one (a frame capture) allocates nothing after its
// first file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jolp {

// Whether path may be an output: absent, or a regular file. False with
// "PATH: is a link; ..." or "PATH: is a character device, ..." in error.
// A missing folder above it is not checked here.
bool CheckOutputPath(std::string_view path, std::string& error);

// Whether files can be made in folder: makes and removes a temporary file
// there. False with "FOLDER: reason" in error.
bool CheckWritableFolder(std::string_view folder, std::string& error);

class OutputFile {
public:
    OutputFile() = default;
    // Abandons a file still open.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks path and creates its temporary file. False with "PATH:
    // reason" in error; nothing is made then.
    bool Open(std::string_view path, std::string& error);
    // Appends bytes. False once any write has failed (the reason is kept for
    // Commit); later writes do nothing.
    bool Write(const void* bytes, size_t size);
    // Flushes, closes, checks the destination again and renames the
    // temporary file over it. False with "PATH: reason" in error, the
    // temporary file removed and the destination as it was.
    bool Commit(std::string& error);
    // Removes the temporary file; the destination stays as it was.
    void Abandon();

    bool IsOpen() const { return fd_ >= 0; }
    // The temporary file, for a child process that writes it itself.
    const std::string& TemporaryPath() const { return temporary_; }
    // Bytes written so far.
    uint64_t Size() const { return size_; }

private:
    bool Flush();
    void Release();

    std::string path_;
    std::string temporary_;
    std::vector<uint8_t> buffer_;
    size_t buffered_ = 0;
    uint64_t size_ = 0;
    int fd_ = -1;
    int failure_ = 0;  // errno of the first failed write
    int slot_ = -1;    // where RemoveUnfinishedOutputs finds the temporary name
};

// name made fit to be one file name in a folder: letters, digits, '.', '-'
// and '_' kept, every other byte (a '/' among them) made '_', no leading
// dot, at most 100 bytes (its end kept); fallback when nothing is left.
// For output names built from what a file says (a camera's, a texture's).
std::string SafeFileName(std::string_view name, std::string_view fallback);

// Writes size bytes as the file path through an OutputFile.
bool WriteWholeFile(std::string_view path, const void* bytes, size_t size, std::string& error);

// Ignores SIGXFSZ, so that writing past a file-size limit (ulimit -f) is a
// failed write (EFBIG, "File too large") instead of the end of the
// program. The first Open does it; a program calls it at its start so that
// the libraries' own files (a driver's shader cache) are covered too.
void IgnoreFileSizeSignal();

// Removes the temporary file of every OutputFile still open. Safe to call
// from a signal handler (it only unlinks names kept for the purpose).
void RemoveUnfinishedOutputs();

// For programs without a handler of their own: SIGINT, SIGTERM and SIGHUP
// remove the unfinished outputs, then end the program as the signal would
// have.
void RemoveUnfinishedOutputsOnSignals();

}  // namespace jolp
