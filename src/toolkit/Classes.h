// File streams and the errors of the file layer.
#pragma once
#include <windows.h>

#include "SysUtils.h"

// ErrorCode is the system's code of the failure, e.g. ERROR_FILE_EXISTS.
class EStreamError : public Exception {
public:
    EStreamError(AnsiString Msg, unsigned long Code) : Exception(std::move(Msg)), ErrorCode(Code) {}
    unsigned long ErrorCode;
};
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };

const unsigned fmOpenRead = 0x0000;
const unsigned fmShareCompat = 0x0000;
const unsigned fmCreate = 0xFFFF;
const unsigned fmCreateNew = 0xFFFE;  // never overwrites: a taken name raises EFCreateError (ERROR_FILE_EXISTS)

// A file opened for reading (fmOpenRead), created/emptied for writing (fmCreate), or created anew
// for writing (fmCreateNew).
// Failures raise the errors above, carrying the system's own text.
class TFileStream {
public:
    TFileStream(const AnsiString& FileName, unsigned Mode);
    virtual ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    // Bytes read, 0 at the end of the file.
    int Read(void* Buffer, int Count);
    // Writes all Count bytes or raises EWriteError.
    void WriteBuffer(const void* Buffer, int Count);
    // Copies the rest of Source, in chunks of 2048 bytes, until a read of it yields no data.
    void CopyFrom(TFileStream& Source);
    long long Size();
    // Positions the next read or write Offset bytes from the start.
    void Seek(long long Offset);
    // Forces written data to the disk.
    void FlushBuffers();
    void Close();

    const AnsiString FileName;

protected:
    TFileStream(const AnsiString& FileName, const AnsiString& ShownName, DWORD Access, DWORD Share, DWORD Disposition,
                bool Creating);
    const AnsiString ShownName;  // the name that error texts give
    HANDLE Handle;
};

// Writes a new version of a file beside it and puts it in place only when complete:
// until Commit, the existing file stays as it was, byte for byte.
class TReplacementFile : public TFileStream {
public:
    // Raises EFCreateError when the target is read-only or the temporary file cannot be created.
    explicit TReplacementFile(const AnsiString& TargetName);
    ~TReplacementFile() override;  // removes the temporary file unless committed
    // Flushes, closes and moves the new file over the target. Raises EWriteError on failure.
    void Commit();

    const AnsiString TargetName;

private:
    bool Committed = false;
};

// Whether two open files hold the same bytes, from their first byte to their last, wherever they
// were positioned; afterwards they are positioned anywhere. Files of different sizes are not read;
// others are read only up to the first difference found, their last 4 KB first.
bool SameContent(TFileStream& File1, TFileStream& File2);

// Whether two names lead to one and the same file (the same volume and file index), however
// they are spelt.
bool SameFile(const AnsiString& FileName1, const AnsiString& FileName2);

// Whether a name leads to the file of the running program itself (kesterly.exe, under any name),
// however it is spelt. False when the file cannot be opened.
bool IsThisProgram(const AnsiString& FileName);
