// Stored-entry archive writer; see StoredArchive.h for the layout it follows.
#include "StoredArchive.h"

#include <ctime>

namespace PackBuild {

namespace {

const uint8_t ArchiveMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00}; // "Rar!" 1A 07 00

enum : uint8_t {
    BlockMain = 0x73,
    BlockFile = 0x74,
};

enum : uint16_t {
    MainFlagsSolidLocked = 0x000C,
    FileFlagsFirst = 0x8080,   // data follows, 1 MiB dictionary
    FileFlagsSolid = 0x8090,   // the same, continuing the solid stream
    MainHeaderSize = 13,
    FileHeaderFixedSize = 32,
};

enum : uint8_t {
    HostWin32 = 2,
    VersionNeeded20 = 20,
    MethodStored = 0x30,
};

const uint32_t AttributeArchive = 0x20;

void Put16(std::vector<uint8_t>& Out, uint32_t Value)
{
    Out.push_back((uint8_t)Value);
    Out.push_back((uint8_t)(Value >> 8));
}

void Put32(std::vector<uint8_t>& Out, uint32_t Value)
{
    Put16(Out, Value & 0xFFFF);
    Put16(Out, Value >> 16);
}

// The header CRC covers the header from its type byte on.
void SealHeader(std::vector<uint8_t>& Out, size_t HeaderStart)
{
    uint32_t Crc = Crc32Of(Out.data() + HeaderStart + 2, Out.size() - HeaderStart - 2);
    Out[HeaderStart] = (uint8_t)Crc;
    Out[HeaderStart + 1] = (uint8_t)(Crc >> 8);
}

} // namespace

uint32_t Crc32Of(const uint8_t* Data, size_t Size)
{
    static uint32_t Table[256];
    static bool TableReady = false;
    if (!TableReady) {
        for (uint32_t I = 0; I < 256; ++I) {
            uint32_t Value = I;
            for (int Bit = 0; Bit < 8; ++Bit)
                Value = (Value & 1) ? (Value >> 1) ^ 0xEDB88320u : Value >> 1;
            Table[I] = Value;
        }
        TableReady = true;
    }
    uint32_t Crc = 0xFFFFFFFFu;
    for (size_t I = 0; I < Size; ++I)
        Crc = Table[(Crc ^ Data[I]) & 0xFF] ^ (Crc >> 8);
    return ~Crc;
}

uint32_t DosTimeFromUnixTime(int64_t UnixSeconds)
{
    std::time_t Seconds = (std::time_t)UnixSeconds;
    std::tm Local{};
    if (localtime_r(&Seconds, &Local) == nullptr || Local.tm_year < 80)
        return (uint32_t)((0 << 9 | 1 << 5 | 1) << 16); // 1980-01-01 00:00:00
    if (Local.tm_year > 80 + 127) Local.tm_year = 80 + 127; // the year field holds 7 bits
    uint32_t Date = (uint32_t)((Local.tm_year - 80) << 9 | (Local.tm_mon + 1) << 5 | Local.tm_mday);
    uint32_t Time = (uint32_t)(Local.tm_hour << 11 | Local.tm_min << 5 | Local.tm_sec / 2);
    return Date << 16 | Time;
}

std::vector<uint8_t> WriteStoredArchive(const std::vector<StoredEntry>& Entries)
{
    std::vector<uint8_t> Out(ArchiveMarker, ArchiveMarker + sizeof ArchiveMarker);

    size_t Start = Out.size();
    Put16(Out, 0);
    Out.push_back(BlockMain);
    Put16(Out, MainFlagsSolidLocked);
    Put16(Out, MainHeaderSize);
    Put16(Out, 0); // reserved
    Put32(Out, 0); // reserved
    SealHeader(Out, Start);

    bool First = true;
    for (const StoredEntry& Entry : Entries) {
        const std::vector<uint8_t>& Data = *Entry.Data;
        Start = Out.size();
        Put16(Out, 0);
        Out.push_back(BlockFile);
        Put16(Out, First ? FileFlagsFirst : FileFlagsSolid);
        Put16(Out, (uint32_t)(FileHeaderFixedSize + Entry.Name.size()));
        Put32(Out, (uint32_t)Data.size()); // packed size
        Put32(Out, (uint32_t)Data.size()); // unpacked size
        Out.push_back(HostWin32);
        Put32(Out, Crc32Of(Data.data(), Data.size()));
        Put32(Out, Entry.DosTime);
        Out.push_back(VersionNeeded20);
        Out.push_back(MethodStored);
        Put16(Out, (uint32_t)Entry.Name.size());
        Put32(Out, AttributeArchive);
        Out.insert(Out.end(), Entry.Name.begin(), Entry.Name.end());
        SealHeader(Out, Start);
        Out.insert(Out.end(), Data.begin(), Data.end());
        First = false;
    }
    return Out;
}

} // namespace PackBuild
