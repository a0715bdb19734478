// The writing side of an extraction, beside the inflation. The extracting thread hands over the
// folders and the bytes of the files, in blocks; a writer thread creates each of them in the
// staged step (TVnStagedFiles), writes and digests the blocks, and a flushing thread flushes and
// closes the files once their last blocks are written (when idle, it waits until a few are).
// Every entry then reaches onWritten, in the extracting thread and in the order added, a file with
// the MD5 of its bytes.
//
// At most BlockCount blocks are on their way and FlushCount written files wait for their flush.
// The first failure of either thread (as the staged step or the file raised it) is raised again
// in the extracting thread by its next call, and nothing more is written; destroying the
// pipeline stops both threads and closes every file, so that the staged step can roll back.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "VnHandOver.h"
#include "VnUnpack.h"

class TVnStagedFiles;

class TVnWritePipeline {
public:
    static constexpr size_t BlockSize = 256 * 1024;
    static constexpr size_t BlockCount = 8;
    static constexpr size_t FlushCount = 8;

    // staged must outlive the pipeline; onWritten may be empty.
    TVnWritePipeline(TVnStagedFiles& staged, TVnExtractProgress onWritten);
    ~TVnWritePipeline();
    TVnWritePipeline(const TVnWritePipeline&) = delete;
    TVnWritePipeline& operator=(const TVnWritePipeline&) = delete;

    // The bytes of the file being added, put straight into the pipeline's blocks.
    class TFileBytes {
    public:
        // Free room for the next bytes (at least one); Filled tells how many were put there.
        uint8_t* Room(uint32_t& size) { return FPipeline.Room(size); }
        void Filled(uint32_t count) { FPipeline.Filled(count); }

    private:
        friend class TVnWritePipeline;
        explicit TFileBytes(TVnWritePipeline& pipeline) : FPipeline(pipeline) {}
        TVnWritePipeline& FPipeline;
    };

    // The folder target with every missing folder above it.
    void AddFolder(const TVnArchiveEntry& entry, const std::string& target);
    // A new file for target, holding the bytes that fill puts into it.
    void AddFile(const TVnArchiveEntry& entry, const std::string& target,
                 const std::function<void(TFileBytes& bytes)>& fill);
    // Returns once every entry is written, flushed and given to onWritten.
    void Finish();

private:
    // A block of an entry: the first carries the entry and its target, the last ends it (a
    // folder is one piece).
    struct TPiece {
        TVnArchiveEntry Entry;
        std::string Target;
        bool First = false, Last = false;
        uint8_t* Block = nullptr;
        size_t Size = 0;
    };
    struct TWritten {
        TVnArchiveEntry Entry;
        std::unique_ptr<TVnFileStream> File; // none for a folder
    };

    uint8_t* Room(uint32_t& size);
    void Filled(uint32_t count);
    uint8_t* FreeBlock();
    void Send(TPiece piece);
    void Deliver();
    void WriteAll();
    void FlushAll();
    void Fail(std::exception_ptr failure);
    [[noreturn]] void RaiseFailure();
    void CancelAll();

    TVnStagedFiles& FStaged;
    const TVnExtractProgress FOnWritten;
    TPiece FFilling; // of the file being added, a full block sent only when more bytes follow
    std::vector<std::unique_ptr<uint8_t[]>> FBlocks;
    TVnHandOver<uint8_t*> FFree{BlockCount, BlockCount / 2};
    TVnHandOver<TPiece> FPieces{BlockCount};
    TVnHandOver<TWritten> FUnflushed{FlushCount, FlushCount / 2};
    TVnHandOver<TVnArchiveEntry> FDone{SIZE_MAX};
    std::mutex FFailureMutex;
    std::exception_ptr FFailure;
    std::thread FWriter, FFlusher;
};
