#include "Classes.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

AnsiString FailureText(const char* What, const AnsiString& FileName, DWORD Code)
{
    AnsiString Reason = SysErrorMessage(Code);
    if (Reason.empty())
        Reason = "System error " + IntToStr(Code) + ".";
    return AnsiString("Could not ") + What + " \"" + FileName + "\". " + Reason;
}

template <class TError>
[[noreturn]] void Raise(const char* What, const AnsiString& FileName, DWORD Code)
{
    throw TError(FailureText(What, FileName, Code), Code);
}

}  // namespace

TFileStream::TFileStream(const AnsiString& Name, unsigned Mode)
    : TFileStream(Name, Name, Mode == fmOpenRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                  Mode == fmOpenRead ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ,
                  Mode == fmOpenRead ? OPEN_EXISTING : Mode == fmCreateNew ? CREATE_NEW : CREATE_ALWAYS,
                  Mode != fmOpenRead)
{
}

TFileStream::TFileStream(const AnsiString& Name, const AnsiString& Shown, DWORD Access, DWORD Share,
                         DWORD Disposition, bool Creating)
    : FileName(Name), ShownName(Shown)
{
    Handle = CreateFileW(WideText(Name).c_str(), Access, Share, nullptr, Disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Handle == INVALID_HANDLE_VALUE) {
        const DWORD Code = GetLastError();
        if (Creating)
            Raise<EFCreateError>("create", Shown, Code);
        Raise<EFOpenError>("open", Shown, Code);
    }
}

TFileStream::~TFileStream()
{
    Close();
}

void TFileStream::Close()
{
    if (Handle != INVALID_HANDLE_VALUE)
        CloseHandle(Handle);
    Handle = INVALID_HANDLE_VALUE;
}

int TFileStream::Read(void* Buffer, int Count)
{
    DWORD Done = 0;
    if (!ReadFile(Handle, Buffer, static_cast<DWORD>(Count), &Done, nullptr))
        Raise<EReadError>("read", ShownName, GetLastError());
    return static_cast<int>(Done);
}

void TFileStream::WriteBuffer(const void* Buffer, int Count)
{
    DWORD Done = 0;
    if (!WriteFile(Handle, Buffer, static_cast<DWORD>(Count), &Done, nullptr))
        Raise<EWriteError>("write", ShownName, GetLastError());
    if (Done != static_cast<DWORD>(Count))
        Raise<EWriteError>("write", ShownName, ERROR_DISK_FULL);
}

void TFileStream::FlushBuffers()
{
    if (!FlushFileBuffers(Handle))
        Raise<EWriteError>("write", ShownName, GetLastError());
}

void TFileStream::CopyFrom(TFileStream& Source)
{
    char Buffer[2048];
    for (int Count; (Count = Source.Read(Buffer, sizeof(Buffer))) > 0;)
        WriteBuffer(Buffer, Count);
}

long long TFileStream::Size()
{
    LARGE_INTEGER Result;
    if (!GetFileSizeEx(Handle, &Result))
        Raise<EReadError>("read", ShownName, GetLastError());
    return Result.QuadPart;
}

void TFileStream::Seek(long long Offset)
{
    LARGE_INTEGER Distance;
    Distance.QuadPart = Offset;
    if (!SetFilePointerEx(Handle, Distance, nullptr, FILE_BEGIN))
        Raise<EReadError>("read", ShownName, GetLastError());
}

namespace {

// Refuses a target that the program must not replace. Under Wine running as root the file
// system itself would let a read-only file be overwritten, so the attribute is checked here.
AnsiString CheckedTemporaryName(const AnsiString& Target)
{
    const DWORD Attributes = GetFileAttributesW(WideText(Target).c_str());
    if (Attributes != INVALID_FILE_ATTRIBUTES &&
        (Attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        Raise<EFCreateError>("create", Target, ERROR_ACCESS_DENIED);
    return Target + ".~" + IntToStr(GetCurrentProcessId()) + ".tmp";
}

}  // namespace

TReplacementFile::TReplacementFile(const AnsiString& Target)
    : TFileStream(CheckedTemporaryName(Target), Target, GENERIC_WRITE, 0, CREATE_ALWAYS, true), TargetName(Target)
{
}

TReplacementFile::~TReplacementFile()
{
    Close();
    if (!Committed)
        DeleteFileW(WideText(FileName).c_str());
}

void TReplacementFile::Commit()
{
    FlushBuffers();
    Close();
    if (!MoveFileExW(WideText(FileName).c_str(), WideText(TargetName).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Raise<EWriteError>("replace", TargetName, GetLastError());
    Committed = true;
}

bool SameContent(TFileStream& File1, TFileStream& File2)
{
    const long long Size = File1.Size();
    if (Size != File2.Size())
        return false;
    const int Chunk = 65536;
    const std::unique_ptr<char[]> Buffer1(new char[Chunk]), Buffer2(new char[Chunk]);
    // Whether the Count bytes from Offset on are the same in both files.
    auto SameBytes = [&](long long Offset, long long Count) {
        File1.Seek(Offset);
        File2.Seek(Offset);
        while (Count > 0) {
            const int Wanted = static_cast<int>(std::min<long long>(Count, Chunk));
            const int Read = File1.Read(Buffer1.get(), Wanted);
            if (Read == 0 || File2.Read(Buffer2.get(), Read) != Read ||
                std::memcmp(Buffer1.get(), Buffer2.get(), Read) != 0)
                return false;
            Count -= Read;
        }
        return true;
    };
    // The last 4 KB first, then the rest from the start: a difference near either end is found
    // after a few kilobytes.
    const long long Tail = std::min<long long>(Size, 4096);
    return SameBytes(Size - Tail, Tail) && SameBytes(0, Size - Tail);
}

namespace {

enum class TQueryResult { Done, OpenFailed, ReadFailed };

// The information of the file a name leads to; on a failure the system's code is in Code.
TQueryResult QueryFileInformation(const std::wstring& FileName, BY_HANDLE_FILE_INFORMATION& Information, DWORD& Code)
{
    HANDLE File = CreateFileW(FileName.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE) {
        Code = GetLastError();
        return TQueryResult::OpenFailed;
    }
    const BOOL Done = GetFileInformationByHandle(File, &Information);
    Code = GetLastError();
    CloseHandle(File);
    return Done ? TQueryResult::Done : TQueryResult::ReadFailed;
}

BY_HANDLE_FILE_INFORMATION FileInformation(const AnsiString& FileName)
{
    BY_HANDLE_FILE_INFORMATION Information;
    DWORD Code = 0;
    switch (QueryFileInformation(WideText(FileName), Information, Code)) {
    case TQueryResult::Done: break;
    case TQueryResult::OpenFailed: Raise<EFOpenError>("open", FileName, Code);
    case TQueryResult::ReadFailed: Raise<EReadError>("read", FileName, Code);
    }
    return Information;
}

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION& File1, const BY_HANDLE_FILE_INFORMATION& File2)
{
    return File1.dwVolumeSerialNumber == File2.dwVolumeSerialNumber &&
           File1.nFileIndexHigh == File2.nFileIndexHigh && File1.nFileIndexLow == File2.nFileIndexLow;
}

}  // namespace

bool SameFile(const AnsiString& FileName1, const AnsiString& FileName2)
{
    return SameIdentity(FileInformation(FileName1), FileInformation(FileName2));
}

bool IsThisProgram(const AnsiString& FileName)
{
    DWORD Code = 0;
    static BY_HANDLE_FILE_INFORMATION Own;
    static const bool Known = QueryFileInformation(ThisProgramFile(), Own, Code) == TQueryResult::Done;
    BY_HANDLE_FILE_INFORMATION Information;
    return Known && QueryFileInformation(WideText(FileName), Information, Code) == TQueryResult::Done &&
           SameIdentity(Own, Information);
}
