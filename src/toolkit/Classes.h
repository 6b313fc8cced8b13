// File streams and the errors of the file layer.
#pragma once
#include <windows.h>

#include "SysUtils.h"

class EStreamError : public Exception { using Exception::Exception; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };

const unsigned fmOpenRead = 0x0000;
const unsigned fmShareCompat = 0x0000;
const unsigned fmCreate = 0xFFFF;

// A file opened for reading (fmOpenRead) or created/emptied for writing (fmCreate).
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
    // Forces written data to the disk.
    void FlushBuffers();
    void Close();

    const AnsiString FileName;

    // Test seam: when not negative, a write that would take the file past this many bytes
    // fails as on a full disk (ERROR_DISK_FULL).
    static long long DiskFullAfter;

protected:
    TFileStream(const AnsiString& FileName, const AnsiString& ShownName, DWORD Access, DWORD Share, DWORD Disposition,
                bool Creating);
    const AnsiString ShownName;  // the name that error texts give
    HANDLE Handle;
    long long Written = 0;
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
