// A platform layer that fails on request: the linker routes the program's calls of the file
// functions below through counting wrappers (see CMakeLists.txt), which fail the n-th call of a
// kind once and pass every other call to the real function.
#pragma once

#include <string>

enum class TFaultKind {
    Write, // CreateNewFile(In), CreateFileRW, WriteFile, CreateDirectory, CreateSubfolder: fail
           // with a full disk
    Move   // MoveFile, ReplaceFile, MoveInFolder: fail with access denied
};

// From now on the n-th call of kind fails (n from 1; 0 fails none); the counts start again.
void ArmFault(TFaultKind kind, unsigned n);
// Whether the armed call has been reached since ArmFault.
bool FaultHit();
// Until cleared with "": OpenFileExclusive of this path fails with a sharing violation, and
// FileHolders names holder.
void SimulateInUse(const std::string& path, const std::string& holder = "");
