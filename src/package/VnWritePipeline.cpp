#include "VnWritePipeline.h"

#include <utility>

#include "VnMD5.h"
#include "VnStagedFiles.h"

TVnWritePipeline::TVnWritePipeline(TVnStagedFiles& staged, TVnExtractProgress onWritten)
    : FStaged(staged), FOnWritten(std::move(onWritten)) {
    for (size_t i = 0; i < BlockCount; ++i) {
        FBlocks.emplace_back(new uint8_t[BlockSize]);
        FFree.Put(FBlocks.back().get());
    }
    FWriter = std::thread(&TVnWritePipeline::WriteAll, this);
    try {
        FFlusher = std::thread(&TVnWritePipeline::FlushAll, this);
    } catch (...) {
        CancelAll();
        FWriter.join();
        throw;
    }
}

TVnWritePipeline::~TVnWritePipeline() {
    if (!FWriter.joinable())
        return;
    CancelAll();
    FWriter.join();
    FFlusher.join();
}

void TVnWritePipeline::AddFolder(const TVnArchiveEntry& entry, const std::string& target) {
    Deliver();
    TPiece piece;
    piece.Entry = entry;
    piece.Target = target;
    piece.First = piece.Last = true;
    piece.Block = FreeBlock();
    Send(std::move(piece));
}

void TVnWritePipeline::AddFile(const TVnArchiveEntry& entry, const std::string& target,
                               const std::function<void(TFileBytes& bytes)>& fill) {
    Deliver();
    FFilling.Entry = entry;
    FFilling.Target = target;
    FFilling.First = true;
    FFilling.Block = FreeBlock();
    TFileBytes bytes(*this);
    fill(bytes);
    FFilling.Last = true;
    Send(std::exchange(FFilling, TPiece{}));
}

void TVnWritePipeline::Finish() {
    FPieces.Close();
    FWriter.join();
    FFlusher.join();
    if (FFailure)
        std::rethrow_exception(FFailure);
    Deliver();
}

uint8_t* TVnWritePipeline::Room(uint32_t& size) {
    if (FFilling.Size == BlockSize) {
        Send(std::exchange(FFilling, TPiece{}));
        FFilling.Block = FreeBlock();
    }
    size = static_cast<uint32_t>(BlockSize - FFilling.Size);
    return FFilling.Block + FFilling.Size;
}

void TVnWritePipeline::Filled(uint32_t count) {
    FFilling.Size += count;
}

uint8_t* TVnWritePipeline::FreeBlock() {
    uint8_t* block = nullptr;
    if (!FFree.Take(block))
        RaiseFailure();
    return block;
}

void TVnWritePipeline::Send(TPiece piece) {
    if (!FPieces.Put(std::move(piece)))
        RaiseFailure();
}

void TVnWritePipeline::Deliver() {
    for (TVnArchiveEntry entry; FDone.TryTake(entry);)
        if (FOnWritten)
            FOnWritten(entry);
}

void TVnWritePipeline::WriteAll() {
    try {
        TWritten current;
        TVnDigestContext digest;
        for (TPiece piece; FPieces.Take(piece);) {
            if (piece.First) {
                current.Entry = std::move(piece.Entry);
                if (current.Entry.IsFolder) {
                    FStaged.CreateFolders(piece.Target);
                } else {
                    current.File = FStaged.Create(piece.Target);
                    DigestInit(digest);
                }
            }
            if (current.File) {
                current.File->WriteBuffer(piece.Block, piece.Size);
                DigestUpdate(digest, piece.Block, piece.Size);
            }
            FFree.Put(piece.Block);
            if (piece.Last) {
                if (current.File)
                    DigestFinal(digest, current.Entry.Digest);
                FUnflushed.Put(std::move(current));
                current = TWritten{};
            }
        }
        FUnflushed.Close();
    } catch (...) {
        Fail(std::current_exception());
    }
}

void TVnWritePipeline::FlushAll() {
    try {
        for (TWritten written; FUnflushed.Take(written);) {
            if (written.File) {
                written.File->Flush();
                written.File.reset();
            }
            FDone.Put(std::move(written.Entry));
        }
    } catch (...) {
        Fail(std::current_exception());
    }
}

void TVnWritePipeline::Fail(std::exception_ptr failure) {
    {
        std::lock_guard<std::mutex> lock(FFailureMutex);
        if (!FFailure)
            FFailure = std::move(failure);
    }
    CancelAll();
}

void TVnWritePipeline::RaiseFailure() {
    // Only a failure cancels the hand-overs while the extracting thread still uses them.
    std::lock_guard<std::mutex> lock(FFailureMutex);
    std::rethrow_exception(FFailure);
}

void TVnWritePipeline::CancelAll() {
    FFree.Cancel();
    FPieces.Cancel();
    FUnflushed.Cancel();
    FDone.Cancel();
}
