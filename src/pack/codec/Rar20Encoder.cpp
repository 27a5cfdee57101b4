// The 2.0 encoder's pipeline. The main thread reads the entries, decides
// which to store, adds the others to the history and the match finder, cuts
// them into chunks and hands the chunks out to be parsed (ChunkParser); then,
// in stream order, it takes each chunk's plan, chooses LZ or audio with the
// state the chunk really follows, merges chunks into blocks while one code
// table serves them better than two, and hands the blocks to the emitter.
// A chunk is parsed with the state the encoder had Lag chunks before it, so
// the bytes written are the same for any number of threads.
#include "Rar20Encoder.h"

#include "ChunkParser.h"
#include "MatchFinder.h"
#include "Rar20Blocks.h"
#include "StreamHistory.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

using namespace Rar20;

namespace {

constexpr int Lag = 4;                      // chunks that can be parsed at once
constexpr size_t MaxBlockTokens = 1u << 20; // bounds the memory a block holds
constexpr uint32_t SmallChunk = 2048;       // always shares the current table
constexpr uint32_t ReadPiece = 64 * 1024;
constexpr uint32_t InsertBatch = 128 * 1024; // positions inserted at once (at least)
constexpr uint32_t HashReach = 32;           // bytes after a position that its hashes read
// The store decision looks at an entry's head: this much of it, and in it
// every ProbeStep-th position for a match.
constexpr uint32_t ProbeSize = 256 * 1024;
constexpr uint32_t ProbeStep = 128;
constexpr uint32_t SmallEntry = 4096;   // judged by a parse with the costs of the block it would join
constexpr uint64_t NewTableBits = 1000; // about what a table read costs
constexpr uint32_t MinMatchProbed = 4;  // matches the store decision looks for
constexpr double MatchBits = 26;        // about what such a match costs
constexpr int SelfHashBits = 16;
// The finder is at most Lag chunks ahead of the oldest chunk being parsed, and
// the history holds that chunk's window and what was read ahead besides.
static_assert(uint64_t(Lag) * MaxChunkSize + InsertBatch + ReadPiece < MatchFinder::LinkSpan,
              "parsed positions keep their links");
static_assert(ArcWindowSize + uint64_t(Lag) * MaxChunkSize + ProbeSize + InsertBatch + ReadPiece + HashReach <
                  StreamHistory::Size,
              "the history holds what the chunks in flight read");

// A chunk to parse, or an entry stored at this point of the stream.
struct Item {
    bool Stored = false;
    bool LastOfEntry = false; // the chunk ends its entry
    uint32_t Entry = 0;
    uint32_t Start = 0, End = 0; // the chunk's positions
    uint32_t EntryStart = 0;
    bool Done = false; // parsed (stored entries: at once)
    ChunkPlan Plan;
};

class Encoder {
public:
    Encoder(const EncoderSettings& Settings, EncoderIo& Io, EncoderReport* Report)
        : Settings(Settings), Config(LevelConfigOf(Settings.Level)), Io(Io), Finder(History), Emitter(Io, Report),
          Items(Lag), Snapshots(Lag + 1)
    {
        Live.Costs.SetDefaults();
        Initial = Live;
        int Threads = std::max(1, Settings.Threads);
        for (int T = 0; T < Threads; T++) Parsers.push_back(std::make_unique<ChunkParser>(Config, History, Finder));
        for (int T = 1; T < Threads; T++) Workers.emplace_back([this, T] { Work(*Parsers[T]); });
    }

    ~Encoder()
    {
        {
            std::lock_guard<std::mutex> Guard(Lock);
            Stopping = true;
        }
        WorkReady.notify_all();
        for (std::thread& W : Workers) W.join();
    }

    bool Run(uint32_t EntryCount)
    {
        for (uint32_t I = 0; I < EntryCount; I++)
            if (!AddEntry(I)) return false;
        if (!FinalizeBefore(NextItem)) return false;
        return !HavePending || Flush();
    }

private:
    // ---- reading and cutting ----

    bool AddEntry(uint32_t Index)
    {
        // The decision uses what the entry's first chunk will be parsed with.
        if (!FinalizeBefore(int64_t(NextItem) + 1 - Lag)) return false;
        bool Forced = Index < Settings.ForceStore.size() && Settings.ForceStore[Index];
        size_t Got = 0;
        if (!Forced) {
            Probe.resize(ProbeSize);
            if (!Io.ReadEntry(Index, 0, Probe.data(), ProbeSize, &Got)) return false;
        }
        bool Ended = Got < ProbeSize;
        if (Forced || Got == 0 || ShouldStore(Probe.data(), Got, Ended)) return AddItem(true, true, Index);

        uint32_t EntryStart = History.End();
        History.Append(Probe.data(), Got);
        uint64_t Offset = Got;
        for (uint32_t Start = EntryStart;;) {
            // The chunk and the bytes its last positions hash (or the entry's
            // end) are read, and inserted in large batches: the finder's
            // tables stay in the cache while it inserts.
            uint32_t End = Start + Config.ChunkSize;
            if (Finder.InsertedCount() < End) {
                while (!Ended && History.End() < Start + InsertBatch + HashReach) {
                    Piece.resize(ReadPiece);
                    if (!Io.ReadEntry(Index, Offset, Piece.data(), ReadPiece, &Got)) return false;
                    History.Append(Piece.data(), Got);
                    Offset += Got;
                    Ended = Got < ReadPiece;
                }
                Finder.InsertUpTo(Ended ? History.End() : History.End() - HashReach,
                                  Ended ? History.End() : UINT32_MAX);
            }
            End = std::min(End, History.End());
            bool Last = Ended && End == History.End();
            if (!AddItem(false, Last, Index, Start, End, EntryStart)) return false;
            if (Last) return true;
            Start = End;
        }
    }

    // Whether an entry is better stored, judged from its head (all of it when
    // Whole) before it enters the stream, with the costs its first chunk will
    // be parsed with. The writer checks the real outcome and has the stream
    // made again should an entry still come out larger than stored.
    bool ShouldStore(const uint8_t* Bytes, size_t Count, bool Whole)
    {
        const ParseContext& Context = SnapshotFor(NextItem);
        uint64_t Raw = uint64_t(Count) * 8;
        ProbeBytes = Bytes;
        ProbeCount = Count;
        ProbeLinked = 0;
        SelfLinks.assign(size_t(1) << SelfHashBits, 0);
        if (Whole && Count < SmallEntry) {
            // A small entry joins the open block if that is LZ (below
            // SmallChunk it always does), else it needs a table of its own:
            // its bits in each case as a greedy parse.
            bool CanShare = Context.Costs.FromTable && Context.PendingMode == ModeLz;
            float OwnLiteral[256];
            OwnLiteralBits(Bytes, Count, OwnLiteral);
            double Shared = 0, Own = double(NewTableBits);
            for (size_t P = 0; P < Count;) {
                uint32_t Len = ProbeMatch(P);
                if (Len >= MinMatchProbed) {
                    Shared += MatchBits;
                    Own += MatchBits;
                    P += Len;
                } else {
                    Shared += Context.Costs.Literal[Bytes[P]];
                    Own += OwnLiteral[Bytes[P++]];
                }
            }
            double Bits = !CanShare ? Own : Count < SmallChunk ? Shared : std::min(Shared, Own);
            return Bits >= double(Raw);
        }
        // A large entry gets tables of its own: its order-0 bits, less what
        // the matches found at every ProbeStep-th position save. It has the
        // rest of its bytes to make up for a head that gains a little: only
        // one that gains next to nothing is stored.
        uint64_t Estimate = Order0Bits(Bytes, Count);
        uint64_t Matched = 0, Probed = 0;
        for (size_t P = 0; P < Count; P += ProbeStep) {
            uint32_t Span = uint32_t(std::min<size_t>(ProbeStep, Count - P));
            uint32_t Len = ProbeMatch(P);
            Matched += Len >= MinMatchProbed ? std::min(Len, Span) : 0;
            Probed += Span;
        }
        Estimate -= Estimate * Matched / Probed;
        return Estimate * 100 >= Raw * 98;
    }

    // The longest match for the bytes at P of an entry not yet in the stream:
    // in the stream, or earlier in the entry (one link per hash suffices here).
    uint32_t ProbeMatch(size_t P)
    {
        if (P + MinMatchProbed > ProbeCount) return 0;
        auto Hash = [this](size_t At) {
            uint32_t Value;
            memcpy(&Value, ProbeBytes + At, 4);
            return (Value * 2654435761u) >> (32 - SelfHashBits);
        };
        for (; ProbeLinked < P; ProbeLinked++) SelfLinks[Hash(ProbeLinked)] = uint32_t(ProbeLinked) + 1;
        uint32_t MaxLen = uint32_t(std::min<size_t>(MaxMatchLength, ProbeCount - P));
        uint32_t Len = Finder.LongestMatchOf(ProbeBytes + P, MaxLen, 8);
        if (uint32_t Earlier = SelfLinks[Hash(P)])
            Len = std::max(Len, CommonLength(ProbeBytes + P, ProbeBytes + Earlier - 1, MaxLen));
        return Len;
    }

    // Bits of each byte value under the entry's own order-0 code.
    static void OwnLiteralBits(const uint8_t* Bytes, size_t Count, float* Bits)
    {
        uint32_t Counts[256] = {};
        for (size_t I = 0; I < Count; I++) Counts[Bytes[I]]++;
        for (int B = 0; B < 256; B++) Bits[B] = Counts[B] ? float(-std::log2(Counts[B] / double(Count))) : 16.0f;
    }

    // ---- items and threads ----

    const ParseContext& SnapshotFor(uint64_t Item) const
    {
        return Item < uint64_t(Lag) ? Initial : Snapshots[(Item - Lag) % Snapshots.size()];
    }

    // Adds a chunk to parse, or (Stored) the entry stored at this point.
    bool AddItem(bool Stored, bool LastOfEntry, uint32_t Entry, uint32_t Start = 0, uint32_t End = 0,
                 uint32_t EntryStart = 0)
    {
        if (!FinalizeBefore(int64_t(NextItem) + 1 - Lag)) // frees the slot
            return false;
        Items[NextItem % Lag] = {Stored, LastOfEntry, Entry, Start, End, EntryStart, Stored, ChunkPlan()};
        if (!Stored) {
            std::lock_guard<std::mutex> Guard(Lock);
            Queue.push_back(NextItem);
        }
        NextItem++;
        WorkReady.notify_one();
        return true;
    }

    void Work(ChunkParser& Parser)
    {
        std::unique_lock<std::mutex> Guard(Lock);
        for (;;) {
            WorkReady.wait(Guard, [this] { return Stopping || !Queue.empty(); });
            if (Stopping) return;
            ParseQueued(Guard, Parser);
        }
    }

    // Parses the first queued chunk, the lock released meanwhile.
    void ParseQueued(std::unique_lock<std::mutex>& Guard, ChunkParser& Parser)
    {
        uint64_t Number = Queue.front();
        Queue.pop_front();
        Guard.unlock();
        Item& It = Items[Number % Lag];
        std::exception_ptr Failed;
        try {
            It.Plan = ChunkPlan();
            Parser.Run(SnapshotFor(Number), It.Start, It.End, It.EntryStart, &It.Plan);
        } catch (...) {
            Failed = std::current_exception();
        }
        Guard.lock();
        if (Failed && !Failure) Failure = Failed;
        It.Done = true;
        JobDone.notify_all();
    }

    // Waits for the item to be parsed, parsing queued ones meanwhile.
    void WaitFor(Item& It)
    {
        std::unique_lock<std::mutex> Guard(Lock);
        while (!It.Done) {
            if (!Queue.empty())
                ParseQueued(Guard, *Parsers[0]);
            else
                JobDone.wait(Guard);
        }
        if (Failure) std::rethrow_exception(Failure);
    }

    // Finalises every item before Limit, in order.
    bool FinalizeBefore(int64_t Limit)
    {
        while (int64_t(Finalized) < Limit) {
            Item& It = Items[Finalized % Lag];
            WaitFor(It);
            if (!Finalize(It)) return false;
            Snapshots[Finalized % Snapshots.size()] = Live;
            Finalized++;
        }
        return true;
    }

    // ---- choosing the mode ----

    bool Finalize(Item& It)
    {
        if (It.Stored) return AddMarker(SymEntryStored, It.Entry);
        ChunkPlan& Plan = It.Plan;
        int N = Plan.AudioMode;
        int Channel = Live.Channel;
        uint64_t LeadBits = 0;
        uint32_t Shift = N ? AudioLead(N, Channel, It.Start, It.EntryStart, Live.LastMode, LeadBits) : 0;
        uint64_t LzCost = UINT64_MAX;
        if (Plan.HaveLz) {
            LzCost = Plan.LzBits;
            if (Live.LastMode != ModeLz) { // the table a switch to LZ costs
                uint8_t Lengths[MaxTableSize];
                BuildTableLengths(ModeLz, Plan.Lz.Freq.data(), Lengths);
                LzCost += TableBits(ModeLz, Lengths);
            }
        }
        uint64_t AudioCost =
            N ? Plan.AudioBits + (Live.LastMode != N ? Plan.AudioTableBits : 0) + LeadBits : UINT64_MAX;
        bool Fed = true;
        if (LzCost <= AudioCost) {
            Live.LastMode = ModeLz;
            Fed = Feed(std::move(Plan.Lz));
        } else {
            // The audio bytes, coded from the predictor's real state; a few
            // bytes as LZ literals first when the channels are out of line.
            if (Shift > 0) {
                Chunk Lead;
                for (uint32_t P = It.Start; P < It.Start + Shift; P++) Lead.Tokens.push_back({0, 1, History[P]});
                Lead.CountLz();
                Live.LastMode = ModeLz;
                Fed = Feed(std::move(Lead));
            }
            Chunk Audio;
            uint8_t Lengths[MaxTableSize];
            CodeAudio(History, It.Start + Shift, It.End, N, Channel, Live.Audio, Lengths, &Audio);
            Live.Channel = Channel;
            Live.LastMode = N;
            Fed = Fed && Feed(std::move(Audio));
        }
        return Fed && (!It.LastOfEntry || AddMarker(SymEntryEnd, It.Entry));
    }

    // ---- blocks ----

    bool Feed(Chunk&& C)
    {
        if (!HavePending) {
            Pending = std::move(C);
            HavePending = true;
            RefreshPending();
            return true;
        }
        bool Merge;
        bool Known = false; // the open block's bits and lengths, when the decision found them
        if (Pending.ByteTokens == 0) {
            Pending.Mode = C.Mode; // entry markers only: no table yet to keep
            Merge = true;
        } else if (Pending.Mode != C.Mode || Pending.Tokens.size() + C.Tokens.size() > MaxBlockTokens) {
            Merge = false;
        } else if (C.ByteTokens < SmallChunk) {
            Merge = true;
        } else {
            uint32_t Merged[MaxTableSize];
            for (int I = 0; I < MaxTableSize; I++) Merged[I] = Pending.Freq[I] + C.Freq[I];
            uint8_t MergedLengths[MaxTableSize], OwnLengths[MaxTableSize];
            uint64_t MergedBits = SelfBits(C.Mode, Merged, MergedLengths);
            uint64_t OwnBits = SelfBits(C.Mode, C.Freq.data(), OwnLengths);
            uint64_t Separate = PendingBits + OwnBits + TableBits(C.Mode, OwnLengths);
            Merge = MergedBits <= Separate;
            PendingBits = Merge ? MergedBits : OwnBits;
            memcpy(PendingLengths, Merge ? MergedLengths : OwnLengths, sizeof PendingLengths);
            Known = true;
        }
        if (Merge) {
            Pending.Tokens.insert(Pending.Tokens.end(), C.Tokens.begin(), C.Tokens.end());
            for (int I = 0; I < MaxTableSize; I++) Pending.Freq[I] += C.Freq[I];
            Pending.ExtraBits += C.ExtraBits;
            Pending.ByteTokens += C.ByteTokens;
        } else {
            if (!Flush()) return false;
            Pending = std::move(C);
            HavePending = true;
        }
        RefreshPending(Known);
        return true;
    }

    // Known: PendingBits and PendingLengths are the open block's already.
    void RefreshPending(bool Known = false)
    {
        if (!Known) PendingBits = SelfBits(Pending.Mode, Pending.Freq.data(), PendingLengths);
        if (Pending.Mode == ModeLz && Pending.ByteTokens > 0) Live.Costs.Update(Pending.Freq.data(), PendingLengths);
        Live.PendingMode = Pending.Mode;
    }

    bool AddMarker(uint16_t Marker, uint32_t Entry)
    {
        if (!HavePending) {
            Pending = Chunk();
            HavePending = true;
        }
        Pending.Tokens.push_back({Entry, 0, Marker});
        return true;
    }

    bool Flush()
    {
        bool Emitted = Emitter.EmitBlock(Pending.Mode, Pending.Freq.data(), Pending.Tokens);
        HavePending = false;
        Pending = Chunk();
        return Emitted;
    }

    const EncoderSettings& Settings;
    const LevelConfig& Config;
    EncoderIo& Io;
    StreamHistory History;
    MatchFinder Finder;
    StreamEmitter Emitter;
    std::vector<uint8_t> Probe, Piece;
    // The store decision's look at an entry's head.
    const uint8_t* ProbeBytes = nullptr;
    size_t ProbeCount = 0, ProbeLinked = 0;
    std::vector<uint32_t> SelfLinks; // hash -> latest earlier position in the head + 1

    std::vector<Item> Items; // item n in slot n % Lag
    uint64_t NextItem = 0, Finalized = 0;
    ParseContext Live; // the state after the last item finalised
    ParseContext Initial;
    std::vector<ParseContext> Snapshots; // Live after item n, in slot n % (Lag + 1)

    Chunk Pending;
    bool HavePending = false;
    uint8_t PendingLengths[MaxTableSize] = {};
    uint64_t PendingBits = 0;

    std::vector<std::unique_ptr<ChunkParser>> Parsers; // [0] for the main thread
    std::vector<std::thread> Workers;
    std::mutex Lock;
    std::condition_variable WorkReady, JobDone;
    std::deque<uint64_t> Queue;
    bool Stopping = false;
    std::exception_ptr Failure;
};

} // namespace

bool EncodeSolidStream(uint32_t EntryCount, const EncoderSettings& Settings, EncoderIo& Io, EncoderReport* Report)
{
    Encoder Coder(Settings, Io, Report);
    return Coder.Run(EntryCount);
}
