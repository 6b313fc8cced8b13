#include "Classes.h"

long long TFileStream::DiskFullAfter = -1;

namespace {

AnsiString FailureText(const char* What, const AnsiString& FileName, DWORD Code)
{
    AnsiString Reason = SysErrorMessage(Code);
    if (Reason.empty())
        Reason = "System error " + IntToStr(Code) + ".";
    return AnsiString("Could not ") + What + " \"" + FileName + "\". " + Reason;
}

}  // namespace

TFileStream::TFileStream(const AnsiString& Name, unsigned Mode)
    : TFileStream(Name, Name, Mode == fmCreate ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                  Mode == fmCreate ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE,
                  Mode == fmCreate ? CREATE_ALWAYS : OPEN_EXISTING, Mode == fmCreate)
{
}

TFileStream::TFileStream(const AnsiString& Name, const AnsiString& Shown, DWORD Access, DWORD Share,
                         DWORD Disposition, bool Creating)
    : FileName(Name), ShownName(Shown)
{
    Handle = CreateFileA(Name.c_str(), Access, Share, nullptr, Disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Handle == INVALID_HANDLE_VALUE) {
        const DWORD Code = GetLastError();
        if (Creating)
            throw EFCreateError(FailureText("create", Shown, Code));
        throw EFOpenError(FailureText("open", Shown, Code));
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
        throw EReadError(FailureText("read", ShownName, GetLastError()));
    return static_cast<int>(Done);
}

void TFileStream::WriteBuffer(const void* Buffer, int Count)
{
    DWORD Done = 0;
    if (DiskFullAfter >= 0 && Written + Count > DiskFullAfter)
        throw EWriteError(FailureText("write", ShownName, ERROR_DISK_FULL));
    if (!WriteFile(Handle, Buffer, static_cast<DWORD>(Count), &Done, nullptr))
        throw EWriteError(FailureText("write", ShownName, GetLastError()));
    Written += Done;
    if (Done != static_cast<DWORD>(Count))
        throw EWriteError(FailureText("write", ShownName, ERROR_DISK_FULL));
}

void TFileStream::FlushBuffers()
{
    if (!FlushFileBuffers(Handle))
        throw EWriteError(FailureText("write", ShownName, GetLastError()));
}

namespace {

// Refuses a target that the program must not replace. Under Wine running as root the file
// system itself would let a read-only file be overwritten, so the attribute is checked here.
AnsiString CheckedTemporaryName(const AnsiString& Target)
{
    const DWORD Attributes = GetFileAttributesA(Target.c_str());
    if (Attributes != INVALID_FILE_ATTRIBUTES &&
        (Attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        throw EFCreateError(FailureText("create", Target, ERROR_ACCESS_DENIED));
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
        DeleteFileA(FileName.c_str());
}

void TReplacementFile::Commit()
{
    FlushBuffers();
    Close();
    if (!MoveFileExA(FileName.c_str(), TargetName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw EWriteError(FailureText("replace", TargetName, GetLastError()));
    Committed = true;
}
