#include "TestSupport.h"

#include <stdexcept>

namespace TestSupport {

namespace {

constexpr ULONGLONG MostBytes = 16 << 20;  // a volume larger than this is no test volume

ULARGE_INTEGER FreeBytes(const std::string& root)
{
    ULARGE_INTEGER free, total;
    if (!GetDiskFreeSpaceExA(root.c_str(), &free, &total, nullptr))
        throw std::runtime_error("cannot ask " + root + " for its free space: " + ErrorText(GetLastError()));
    if (total.QuadPart > MostBytes)
        throw std::runtime_error(root + " holds " + std::to_string(total.QuadPart) + " bytes: no small volume to fill");
    return free;
}

}  // namespace

FullVolume::FullVolume()
{
    char drive[8];
    const DWORD length = GetEnvironmentVariableA("KESTERLY_FULL_VOLUME", drive, sizeof(drive));
    if (length > 0 && length < sizeof(drive))
        FRoot = std::string(drive) + "\\";
}

FullVolume::~FullVolume()
{
    if (FFiller != INVALID_HANDLE_VALUE)
        CloseHandle(FFiller);
}

std::string FullVolume::Missing()
{
    return "no small volume to fill: KESTERLY_FULL_VOLUME names none (scripts/test.sh mounts one where it runs as "
           "root and may make a mount namespace)";
}

void FullVolume::LeaveFree(DWORD clusters)
{
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
    if (!GetDiskFreeSpaceA(FRoot.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        throw std::runtime_error("cannot ask " + FRoot + " for its clusters: " + ErrorText(GetLastError()));
    const LONGLONG cluster = static_cast<LONGLONG>(sectorsPerCluster) * bytesPerSector;
    FreeBytes(FRoot);
    if (FFiller == INVALID_HANDLE_VALUE) {
        const std::string name = FRoot + "filler-" + std::to_string(GetCurrentProcessId());
        FFiller = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (FFiller == INVALID_HANDLE_VALUE)
            throw std::runtime_error("cannot create " + name + ": " + ErrorText(GetLastError()));
    }
    LARGE_INTEGER size{}, end{};
    SetFilePointerEx(FFiller, end, nullptr, FILE_END);
    static const std::string chunk(65536, 'f');
    for (DWORD written = 0; WriteFile(FFiller, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) &&
                            written == chunk.size();)
        ;
    const DWORD error = GetLastError();
    if (FreeBytes(FRoot).QuadPart != 0)
        throw std::runtime_error(FRoot + " is not full after a write failed with " + ErrorText(error));
    GetFileSizeEx(FFiller, &size);
    if (size.QuadPart < clusters * cluster)
        throw std::runtime_error(FRoot + " has too little room to free " + std::to_string(clusters) + " clusters");
    end.QuadPart = size.QuadPart - clusters * cluster;
    if (!SetFilePointerEx(FFiller, end, nullptr, FILE_BEGIN) || !SetEndOfFile(FFiller))
        throw std::runtime_error("cannot shorten the filler: " + ErrorText(GetLastError()));
    if (FreeBytes(FRoot).QuadPart != static_cast<ULONGLONG>(clusters * cluster))
        throw std::runtime_error(FRoot + " does not have exactly " + std::to_string(clusters) + " clusters free");
}

}  // namespace TestSupport
