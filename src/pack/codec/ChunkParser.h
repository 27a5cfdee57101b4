// The parse of one chunk of the stream (a part of one entry), the work the
// encoder hands to its threads. A parse reads only the history, the match
// finder and a snapshot of the encoder's state (ParseContext), and starts with
// no recent distances of its own: so its result does not depend on what
// other threads do at the time. It tries the audio mode and parses the bytes
// as LZ with the level's strategy (greedy, lazy or optimal); the encoder
// then chooses, knowing the state the chunk really follows.
#pragma once

#include "MatchFinder.h"
#include "Rar20Blocks.h"
#include "StreamHistory.h"

#include <cstdint>
#include <vector>

namespace Rar20 {

// Bits of each symbol under a block's code, which the parse minimises.
struct SymbolCosts {
    float Literal[LiteralCount];
    float Dist[DistCount];
    float RepLen[RepLenCount];
    float AvgLiteral; // of the bytes, weighted by their use
    bool FromTable;   // taken from a real block (not the defaults)

    void SetDefaults();
    void Update(const uint32_t* Freq, const uint8_t* Lengths);
};

// A chunk's tokens, one mode, with their symbol counts (laid out like a
// table read) and extra bits.
struct Chunk {
    int Mode = ModeLz;
    std::vector<Token> Tokens;
    std::vector<uint32_t> Freq = std::vector<uint32_t>(MaxTableSize, 0);
    uint64_t ExtraBits = 0;
    uint64_t ByteTokens = 0; // tokens that make bytes (not entry markers)

    // Counts the tokens of an LZ chunk (no entry markers yet).
    void CountLz();
};

// What the encoder knew when it handed out a chunk.
struct ParseContext {
    SymbolCosts Costs;
    int PendingMode = ModeLz; // of the open block
    int LastMode = -1;        // of the chunk before
    AudioState Audio = {};    // the audio predictor
    int Channel = 0;          // of the next audio byte
};

// What a parse found.
struct ChunkPlan {
    int AudioMode = 0;           // channel count audio would use; 0: not worth it
    uint64_t AudioBits = 0;      // its bits, estimated with the snapshot's predictor, tables aside
    uint64_t AudioTableBits = 0; // a table read for it
    bool HaveLz = false;         // false when audio wins clearly and LZ was not tried
    Chunk Lz;
    uint64_t LzBits = 0; // under its own code, extra bits included
};

// How a level parses: its strategy and the limits of its match search.
class ChunkParser;
using ParseFunction = void (ChunkParser::*)(uint32_t Start, uint32_t End, Chunk* C);
struct LevelConfig {
    ParseFunction Parse; // greedy, lazy or optimal
    int SearchDepth;     // hash-chain steps per match search
    uint32_t NiceLength; // a match this long ends the search (optimal: and is taken at once)
    uint32_t GoodLength; // lazy: a match this long is taken without looking one byte on
    uint32_t ChunkSize;  // unit of parsing and of the choice between LZ and audio (smaller: finer choices)
};
constexpr uint32_t MaxChunkSize = 128 * 1024;
// Levels 1..5.
const LevelConfig& LevelConfigOf(int Level);

// Bits of a table read for Lengths, the switch symbol included.
uint64_t TableBits(int Mode, const uint8_t* Lengths);
// Bits of Freq under its own code (whose lengths go to Lengths).
uint64_t SelfBits(int Mode, const uint32_t* Freq, uint8_t* Lengths);
// Codes the bytes from Start to End in audio mode with Channels channels from
// channel Channel on, advancing State and Channel; with Coded given, keeps the
// tokens. Returns the bits under the chunk's own code (Lengths filled).
uint64_t CodeAudio(const StreamHistory& History, uint32_t Start, uint32_t End, int Channels, int& Channel,
                   AudioState& State, uint8_t* Lengths, Chunk* Coded);
// Audio of Channels channels lines up with the entry's start (sample frames
// usually do): the bytes before the first one of channel Channel (that of the
// next audio byte; 0 when past the mode's channels, which Channel is then set
// to) go as LZ literals. Returns how many; LeadBits gets about what they cost
// after a block of LastMode.
uint32_t AudioLead(int Channels, int& Channel, uint32_t Start, uint32_t EntryStart, int LastMode, uint64_t& LeadBits);
// Bits of the bytes under an ideal order-0 code.
uint64_t Order0Bits(const uint8_t* Bytes, size_t Count);

class ChunkParser {
public:
    ChunkParser(const LevelConfig& Config, const StreamHistory& History, const MatchFinder& Finder);

    // Parses the chunk from Start to End; EntryStart is where its entry began.
    void Run(const ParseContext& Context, uint32_t Start, uint32_t End, uint32_t EntryStart, ChunkPlan* Plan);

    // The strategies, chosen by the level table.
    void ParseGreedy(uint32_t Start, uint32_t End, Chunk* C);
    void ParseLazy(uint32_t Start, uint32_t End, Chunk* C);
    void ParseOptimal(uint32_t Start, uint32_t End, Chunk* C);

private:
    struct Candidate {
        float Score = 0; // bits saved against coding the bytes as literals
        uint32_t Length = 0, Distance = 0;
        uint16_t Sym = 0;
    };
    // The recent distances a path has set (the decoder's, from the chunk's start).
    struct RepState {
        uint32_t Rep[4] = {};
        uint32_t Counter = 0;
        uint32_t LastLength = 0, LastDistance = 0;
        void Push(uint32_t Length, uint32_t Distance);
    };
    // A position of the cheapest-path search: how it is best reached.
    struct PathNode {
        float Cost;
        uint32_t From;
        uint32_t Dist;
        uint16_t Len;
        uint16_t Sym;
        RepState Reps;
    };

    void Consider(Candidate* Best, uint32_t Length, uint32_t Distance, uint16_t Sym, float Cost) const;
    Candidate FindCandidate(uint32_t Pos, uint32_t End) const;
    void PushMatch(Chunk* C, const Candidate& Match);
    void Relax(uint32_t From, uint32_t To, float Cost, uint32_t Len, uint32_t Dist, uint16_t Sym);
    bool RepeatsEarlierData(uint32_t Start, uint32_t End) const;
    int AudioCandidates(uint32_t Start, uint32_t End) const;

    const LevelConfig& Config;
    const StreamHistory& History;
    const MatchFinder& Finder;
    const ParseContext* Context = nullptr;
    SymbolCosts Costs;
    RepState Reps;
    std::vector<PathNode> Nodes;
};

} // namespace Rar20
